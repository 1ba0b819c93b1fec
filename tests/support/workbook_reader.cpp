#include "support/workbook_reader.h"

#include "support/paths.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tabvert::test {

const ReadCell* ReadSheet::Find(long row, long column) const {
    for (const auto& c : cells) {
        if (c.row == row && c.column == column) return &c;
    }
    return nullptr;
}

std::vector<std::string> ReadWorkbook::SheetNames() const {
    std::vector<std::string> names;
    for (const auto& s : sheets) names.push_back(s.name);
    return names;
}

std::optional<ReadWorkbook> ReadWorkbookFile(const std::filesystem::path& path, std::string* error) {
    const auto script = SourceDir() / "tests" / "tools" / "read_workbook.py";
    std::string output;
    const int status = RunCommand(std::string(SystemPython()) + " " + ShellQuote(script.string()) + " " +
                                      ShellQuote(path.string()) + " 2>&1",
                                  &output);
    if (status != 0) {
        if (error) *error = "reader failed (" + std::to_string(status) + "): " + output;
        return std::nullopt;
    }
    QJsonParseError parseError;
    const auto doc = QJsonDocument::fromJson(QByteArray::fromStdString(output), &parseError);
    if (doc.isNull()) {
        if (error) *error = "unreadable reader output: " + parseError.errorString().toStdString();
        return std::nullopt;
    }
    const QJsonObject root = doc.object();
    ReadWorkbook book;
    book.format = root["format"].toString().toStdString();
    book.active = root["active"].toInt();
    for (const auto& sheetValue : root["sheets"].toArray()) {
        const QJsonObject s = sheetValue.toObject();
        ReadSheet sheet;
        sheet.name = s["name"].toString().toStdString();
        for (const auto& cellValue : s["cells"].toArray()) {
            const QJsonObject c = cellValue.toObject();
            ReadCell cell;
            cell.row = c["row"].toInt();
            cell.column = c["col"].toInt();
            cell.type = c["type"].toString().toStdString();
            if (c["value"].isString()) cell.text = c["value"].toString().toStdString();
            if (c["value"].isDouble()) cell.number = c["value"].toDouble();
            if (c["value"].isBool()) cell.number = c["value"].toBool() ? 1 : 0;
            cell.numberFormat = c["number_format"].toString().toStdString();
            cell.bold = c["bold"].toBool();
            cell.underline = c["underline"].toBool();
            cell.fontSize = c["font_size"].toDouble();
            sheet.cells.push_back(std::move(cell));
        }
        book.sheets.push_back(std::move(sheet));
    }
    return book;
}

}  // namespace tabvert::test
