#include "core/worksheet_writer.h"

#include <algorithm>
#include <optional>

#include "core/provider/ado.h"
#include "core/provider/value_text.h"
#include "core/workbook/excel.h"

namespace tabvert::exporting {

namespace {

void NoteRefusal(WriteTally& tally, const excel::ExcelError& e) {
    if (tally.refusedCells++ == 0) tally.firstRefusal = e.description();
}

void NoteUnread(WriteTally& tally, const ado::ProviderError& e) {
    if (tally.unreadValues++ == 0) tally.firstUnread = e.description();
}

template <typename Setter>
void FormatHeader(excel::Worksheet& sheet, WriteTally& tally, Setter&& set) {
    try {
        excel::Font font = sheet.GetRange(kHeaderFirstCell, kHeaderLastCell).GetFont();
        set(font);
    } catch (const excel::ExcelError& e) {
        if (tally.refusedFormats++ == 0) tally.formatRefusal = e.description();
    }
}

}  // namespace

std::string HeaderText(const std::string& fieldName) {
    std::string text = fieldName;
    text.erase(std::remove(text.begin(), text.end(), '_'), text.end());
    return text;
}

void writeheaderrow(excel::Worksheet& sheet, ado::Recordset& table, std::int16_t lastFieldIndex,
                    WriteTally& tally) {
    for (std::int16_t i = 0; i <= lastFieldIndex; ++i) {
        std::string text;
        try {
            text = HeaderText(table.GetFields().Item(i).Name());
        } catch (const ado::ProviderError& e) {
            NoteUnread(tally, e);
        }
        try {
            sheet.Cells(kHeaderRow, i + 1L).SetValue(text);
        } catch (const excel::ExcelError& e) {
            NoteRefusal(tally, e);
        }
    }
    FormatHeader(sheet, tally, [](excel::Font& font) { font.SetBold(true); });
    FormatHeader(sheet, tally, [](excel::Font& font) { font.SetSize(kHeaderFontSize); });
    FormatHeader(sheet, tally, [](excel::Font& font) { font.SetUnderline(true); });
}

void writerecordrow(excel::Worksheet& sheet, long row, ado::Recordset& table, std::int16_t lastFieldIndex,
                    const ValueCells& cells, WriteTally& tally) {
    for (std::int16_t i = 0; i <= lastFieldIndex; ++i) {
        std::string text;
        std::optional<NumberCell> number;
        try {
            const ado::Variant& value = table.GetFields().Item(i).Value();
            number = cells.Classify(value);
            if (!number && !value.isNull()) text = ado::ValueToText(value, cells.locale());
        } catch (const ado::ProviderError& e) {
            NoteUnread(tally, e);
        }
        try {
            excel::Range cell = sheet.Cells(row, i + 1L);
            number ? cell.SetNumber(number->number, number->format) : cell.SetValue(text);
        } catch (const excel::ExcelError& e) {
            NoteRefusal(tally, e);
        }
    }
}

}  // namespace tabvert::exporting
