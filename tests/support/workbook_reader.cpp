#include "support/workbook_reader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <tuple>

#include "support/paths.h"

namespace tabvert::test {

namespace {

bool Before(const ReadCell& a, const ReadCell& b) {
    return std::tie(a.row, a.column) < std::tie(b.row, b.column);
}

std::filesystem::path ReaderScript() { return SourceDir() / "tests" / "tools" / "read_workbook.py"; }

ReadWorkbook BookFromJson(const QJsonObject& root) {
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
        const QJsonObject widths = s["widths"].toObject();
        for (auto it = widths.begin(); it != widths.end(); ++it)
            sheet.widths[it.key().toLong()] = it.value().toDouble();
        sheet.freeze = s["freeze"].toString().toStdString();
        if (!std::is_sorted(sheet.cells.begin(), sheet.cells.end(), Before))
            std::stable_sort(sheet.cells.begin(), sheet.cells.end(), Before);
        book.sheets.push_back(std::move(sheet));
    }
    return book;
}

std::optional<QJsonObject> ParseReaderOutput(const QByteArray& json, std::string* error) {
    QJsonParseError parseError;
    const auto doc = QJsonDocument::fromJson(json, &parseError);
    if (doc.isNull()) {
        if (error) *error = "unreadable reader output: " + parseError.errorString().toStdString();
        return std::nullopt;
    }
    return doc.object();
}

}  // namespace

// The cells are in row, then column order (BookFromJson sees to it), so a look-up is a binary search:
// tests that check every cell of a sheet of tens of thousands would otherwise take quadratic time.
const ReadCell* ReadSheet::Find(long row, long column) const {
    ReadCell key;
    key.row = row;
    key.column = column;
    const auto it = std::lower_bound(cells.begin(), cells.end(), key, Before);
    return it != cells.end() && it->row == row && it->column == column ? &*it : nullptr;
}

std::vector<std::string> ReadWorkbook::SheetNames() const {
    std::vector<std::string> names;
    for (const auto& s : sheets) names.push_back(s.name);
    return names;
}

std::optional<ReadWorkbook> ReadWorkbookFile(const std::filesystem::path& path, std::string* error) {
    std::string output;
    const int status = RunCommand(std::string(SystemPython()) + " " + ShellQuote(ReaderScript().string()) +
                                      " " + ShellQuote(path.string()) + " 2>&1",
                                  &output);
    if (status != 0) {
        if (error) *error = "reader failed (" + std::to_string(status) + "): " + output;
        return std::nullopt;
    }
    const auto root = ParseReaderOutput(QByteArray::fromStdString(output), error);
    if (!root) return std::nullopt;
    return BookFromJson(*root);
}

std::vector<std::optional<ReadWorkbook>> ReadWorkbookFiles(const std::vector<std::filesystem::path>& paths,
                                                           std::vector<std::string>* errors) {
    std::vector<std::optional<ReadWorkbook>> books(paths.size());
    std::vector<std::string> messages(paths.size());
    std::string command =
        std::string(SystemPython()) + " " + ShellQuote(ReaderScript().string()) + " --lines";
    for (const auto& path : paths) command += " " + ShellQuote(path.string());
    std::string output;
    const int status = paths.empty() ? 0 : RunCommand(command, &output);
    const QList<QByteArray> lines = QByteArray::fromStdString(output).split('\n');
    for (std::size_t i = 0; i < paths.size(); ++i) {
        // The reader's own complaints went to standard error, which the test's log shows.
        if (status != 0 || i >= static_cast<std::size_t>(lines.size())) {
            messages[i] = "reader failed (" + std::to_string(status) + "), see its messages above";
            continue;
        }
        const auto root = ParseReaderOutput(lines[static_cast<qsizetype>(i)], &messages[i]);
        if (!root) continue;
        if (root->contains("error")) {
            messages[i] = "reader failed: " + (*root)["error"].toString().toStdString();
            continue;
        }
        books[i] = BookFromJson(*root);
    }
    if (errors) *errors = std::move(messages);
    return books;
}

}  // namespace tabvert::test
