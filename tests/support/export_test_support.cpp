#include "support/export_test_support.h"

#include <fstream>
#include <iterator>

#include "core/database/connection_rule.h"
#include "core/provider/ado.h"
#include "core/value/value_text.h"

namespace tabvert::exporting::test {

namespace {

ado::Connection Open(const std::string& dbpath, const std::string& password) {
    ado::Connection c;
    c.Open(database::BuildConnectionString(dbpath, !password.empty(), password));
    return c;
}

}  // namespace

fixtures::Table NumberedTable(const std::string& name, std::size_t rows) {
    fixtures::Table t;
    t.name = name;
    t.columns = {{"ID", fixtures::ColumnType::Long}, {"Label", fixtures::ColumnType::Text, 40}};
    t.rowCount = rows;
    t.generate = [](std::size_t i) {
        return fixtures::Row{static_cast<std::int64_t>(i + 1), "Row " + std::to_string(i + 1)};
    };
    return t;
}

std::filesystem::path WriteDb(const fixtures::Database& db, const std::filesystem::path& path) {
    fixtures::WriteDatabase(db, path);
    return path;
}

std::vector<std::string> SchemaNames(const std::string& dbpath, const std::string& password) {
    ado::Connection c = Open(dbpath, password);
    std::vector<std::string> names;
    auto rs = c.OpenSchema(ado::kSchemaTables);
    for (; !rs->Eof(); rs->MoveNext()) names.push_back(rs->GetFields().Item("table_name").Value().text());
    return names;
}

std::vector<std::vector<std::string>> TableTexts(const std::string& dbpath, const std::string& table,
                                                 const std::string& password) {
    ado::Connection c = Open(dbpath, password);
    ado::Recordset rs;
    rs.Open(TableQuery(table), c);
    std::vector<std::vector<std::string>> rows;
    for (; !rs.Eof(); rs.MoveNext()) {
        auto& row = rows.emplace_back();
        for (long i = 0; i < rs.GetFields().Count(); ++i)
            row.push_back(text::ValueToText(rs.GetFields().Item(i).Value(), text::Locale::EnUS()));
    }
    return rows;
}

std::vector<std::string> FieldNames(const std::string& dbpath, const std::string& table,
                                    const std::string& password) {
    ado::Connection c = Open(dbpath, password);
    ado::Recordset rs;
    rs.Open(TableQuery(table), c);
    std::vector<std::string> names;
    for (long i = 0; i < rs.GetFields().Count(); ++i) names.push_back(rs.GetFields().Item(i).Name());
    return names;
}

ExportRequest Request(const std::string& dbpath, const std::string& target) {
    ExportRequest r;
    r.database.path = dbpath;
    r.target = target;
    r.locale = text::Locale::EnUS();
    return r;
}

std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace tabvert::exporting::test
