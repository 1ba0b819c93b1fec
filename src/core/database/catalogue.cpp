#include "core/database/catalogue.h"

#include "core/database/connection_rule.h"
#include "core/provider/ado.h"
#include "core/text/strings.h"
#include "core/value/value_text.h"

namespace tabvert::database {

bool IsHiddenTableName(std::string_view schemaName) {
    return schemaName.find("MSys") != std::string_view::npos;
}

std::string TableKeys::Take(std::string_view trimmedName) {
    const std::string base = "T_" + std::string(trimmedName);
    std::string key = base;
    for (int n = 2; used_.contains(key); ++n) key = base + "#" + std::to_string(n);
    used_.insert(key);
    return key;
}

namespace {

std::string NameText(const ado::Variant& value) {
    if (value.type() == ado::Variant::Type::Text) return value.text();
    return text::ValueToText(value, text::Locale::EnUS());
}

class Collector : public CatalogueSink {
  public:
    void RootAdded(const std::string&) override {}
    void TableFound(const CatalogueEntry& entry) override { entries.push_back(entry); }
    std::vector<CatalogueEntry> entries;
};

}  // namespace

void RunCatalogue(const DatabaseChoice& choice, CatalogueSink& sink) {
    const std::string& dbpath = choice.path;
    sink.RootAdded(dbpath);

    ado::Connection connection;
    connection.Open(BuildConnectionString(dbpath, choice.passwordProtected, choice.password));
    std::unique_ptr<ado::Recordset> schema = connection.OpenSchema(ado::kSchemaTables);

    TableKeys keys;
    while (!schema->Eof()) {
        const std::string schemaName = NameText(schema->GetFields().Item(ado::kTableNameField).Value());
        if (!IsHiddenTableName(schemaName)) {
            std::string name(text::TrimBlanks(schemaName));
            std::string key = keys.Take(name);
            sink.TableFound(CatalogueEntry{std::move(key), std::move(name), schemaName});
        }
        schema->MoveNext();
    }
    schema->Close();
    connection.Close();
}

std::vector<CatalogueEntry> ListTables(const DatabaseChoice& choice) {
    Collector collector;
    RunCatalogue(choice, collector);
    return std::move(collector.entries);
}

}  // namespace tabvert::database
