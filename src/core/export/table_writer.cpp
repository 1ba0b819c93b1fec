#include "core/export/table_writer.h"

#include <algorithm>
#include <optional>

#include "core/provider/ado.h"
#include "core/value/value_text.h"
#include "core/workbook/excel.h"

namespace tabvert::exporting {

namespace {

void Note(CaughtFailures& failures, const NumberedError& e, long row = 0, long column = 0) {
    if (failures.count++ > 0) return;
    failures.firstDescription = e.Description();
    failures.firstRow = row;
    failures.firstColumn = column;
}

// The tally of the field at `index`, opened on its first failure (in the record being written).
CaughtFailures& UnreadOf(WriteTally& tally, ado::Recordset& table, std::int16_t index) {
    std::string name = "#" + std::to_string(index + 1);
    try {
        name = table.GetFields().Item(index).Name();
    } catch (const ado::ProviderError&) {
    }
    for (UnreadField& field : tally.unreadValues)
        if (field.field == name) return field.failures;
    return tally.unreadValues.emplace_back(UnreadField{std::move(name), {}, tally.record}).failures;
}

template <typename Setter>
void FormatHeader(excel::Worksheet& sheet, WriteTally& tally, Setter&& set) {
    try {
        excel::Font font = sheet.GetRange(kHeaderFirstCell, kHeaderLastCell).GetFont();
        set(font);
    } catch (const excel::ExcelError& e) {
        Note(tally.refusedFormats, e);
    }
}

}  // namespace

std::string HeaderText(const std::string& fieldName) {
    std::string text = fieldName;
    text.erase(std::remove(text.begin(), text.end(), '_'), text.end());
    return text;
}

void WriteHeaderRow(excel::Worksheet& sheet, ado::Recordset& table, std::int16_t lastFieldIndex,
                    WriteTally& tally) {
    // Before any cell: the file holds the column widths and the frozen header ahead of the rows.
    try {
        sheet.FitColumnWidths();
        sheet.FreezeTopRow();
    } catch (const excel::ExcelError& e) {
        Note(tally.refusedFormats, e);
    }
    for (std::int16_t i = 0; i <= lastFieldIndex; ++i) {
        std::string text;
        try {
            const ado::Field& field = table.GetFields().Item(i);
            text = HeaderText(field.Name());
            const bool noted = std::any_of(tally.fieldNotes.begin(), tally.fieldNotes.end(),
                                           [&](const FieldNote& n) { return n.field == field.Name(); });
            if (!field.Note().empty() && !noted) tally.fieldNotes.push_back({field.Name(), field.Note()});
        } catch (const ado::ProviderError& e) {
            Note(UnreadOf(tally, table, i), e, kHeaderRow, i + 1L);
        }
        try {
            sheet.Cells(kHeaderRow, i + 1L).SetValue(text);
        } catch (const excel::ExcelError& e) {
            Note(tally.refusedCells[e.Reason()], e, kHeaderRow, i + 1L);
        }
    }
    FormatHeader(sheet, tally, [](excel::Font& font) { font.SetBold(true); });
    FormatHeader(sheet, tally, [](excel::Font& font) { font.SetSize(kHeaderFontSize); });
    FormatHeader(sheet, tally, [](excel::Font& font) { font.SetUnderline(true); });
}

void WriteRecordRow(excel::Worksheet& sheet, long row, ado::Recordset& table, std::int16_t lastFieldIndex,
                    const ValueCells& cells, WriteTally& tally, const CellTextOverride* override) {
    for (std::int16_t i = 0; i <= lastFieldIndex; ++i) {
        std::string text;
        std::optional<NumberCell> number;
        std::string link;
        try {
            const ado::Variant& value = table.GetFields().Item(i).Value();
            std::optional<FileCell> given;
            if (override && !value.IsNull()) given = (*override)(i, value);
            if (given) {
                text = std::move(given->text);
                link = std::move(given->link);
            } else if (!(number = cells.Classify(value)) && !value.IsNull()) {
                text = text::ValueToText(value, cells.Locale());
            }
        } catch (const ado::ProviderError& e) {
            Note(UnreadOf(tally, table, i), e, row, i + 1L);
        }
        try {
            excel::Range cell = sheet.Cells(row, i + 1L);
            number ? cell.SetNumber(number->number, number->format) : cell.SetValue(text);
            if (!link.empty()) sheet.SetHyperlink(row, i + 1L, link);
        } catch (const excel::ExcelError& e) {
            Note(tally.refusedCells[e.Reason()], e, row, i + 1L);
        }
    }
}

}  // namespace tabvert::exporting
