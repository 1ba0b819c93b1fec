// The catalogue run without any window: which schema rows become nodes, in which order, with which keys,
// and what has been reported when the provider fails.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <string>
#include <vector>

#include "database/catalogue.h"
#include "fixtures/access_writer.h"
#include "fixtures/fixture_set.h"
#include "platform/provider/provider_error.h"

namespace tabvert::database {
namespace {

namespace fx = tabvert::fixtures;

// Records every report in order: "root <path>" and "table <key> <name>".
class Recorder : public CatalogueSink {
public:
    void rootAdded(const std::string& dbpath) override { events.push_back("root " + dbpath); }
    void tableFound(const CatalogueEntry& entry) override {
        events.push_back("table " + entry.key + " " + entry.name);
    }
    std::vector<std::string> events;
};

fx::Table OneColumnTable(std::string name, bool system = false) {
    fx::Table table;
    table.name = std::move(name);
    table.columns = {fx::Column{"ID", fx::ColumnType::Long}};
    table.rows = {{std::int64_t{1}}};
    table.system = system;
    return table;
}

std::string WriteDb(const QTemporaryDir& dir, const std::string& file, const fx::Database& db) {
    const std::string path = dir.filePath(QString::fromStdString(file)).toStdString();
    fx::WriteDatabase(db, path);
    return path;
}

TEST(CatalogueNames, HiddenAndTrimmed) {
    struct Case {
        const char* schemaName;
        bool hidden;
        const char* trimmed;
    };
    const Case cases[] = {
        {"MSysObjects", true, "MSysObjects"},
        {"tblMSysCopy", true, "tblMSysCopy"},
        {"OldMSys", true, "OldMSys"},
        {"msysnotes", false, "msysnotes"},
        {"MSYSData", false, "MSYSData"},
        {"MSy s", false, "MSy s"},
        {"  Padded Name  ", false, "Padded Name"},
        {"   ", false, ""},
        {"\tTabbed\t", false, "\tTabbed\t"},  // only blanks are trimmed
        {"", false, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsHiddenTableName(c.schemaName), c.hidden) << c.schemaName;
        EXPECT_EQ(TrimBlanks(c.schemaName), c.trimmed) << c.schemaName;
    }
}

TEST(CatalogueKeys, EqualTrimmedNamesGetDistinctKeys) {
    TableKeys keys;
    EXPECT_EQ(keys.take("Orders"), "T_Orders");
    EXPECT_EQ(keys.take("Dup"), "T_Dup");
    EXPECT_EQ(keys.take("Dup"), "T_Dup#2");
    EXPECT_EQ(keys.take("Dup"), "T_Dup#3");
    // A table really named "Dup#2" must not take the key already given to the second "Dup".
    EXPECT_EQ(keys.take("Dup#2"), "T_Dup#2#2");
    EXPECT_EQ(keys.take("dup"), "T_dup");  // keys compare case-sensitively, like the names
}

TEST(CatalogueRun, ListsSchemaOrderFilteredTrimmedWithUniqueKeys) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    fx::Database db;
    db.tables = {
        OneColumnTable("Customers"),   OneColumnTable("MSysExtra", true), OneColumnTable("  Padded Name  "),
        OneColumnTable("tblMSysCopy"), OneColumnTable("msysnotes"),       OneColumnTable("Dup"),
        OneColumnTable(" Dup ")};
    const std::string path = WriteDb(dir, "names.mdb", db);

    Recorder recorder;
    RunCatalogue(DatabaseChoice{path, 0, ""}, recorder);

    // The provider's schema order decides the node order; compare the user tables as a set of events
    // after checking that the root comes first.
    ASSERT_FALSE(recorder.events.empty());
    EXPECT_EQ(recorder.events.front(), "root " + path);
    std::vector<std::string> tables(recorder.events.begin() + 1, recorder.events.end());
    for (const std::string& e : tables) EXPECT_EQ(e.find("MSys"), std::string::npos) << e;
    std::vector<std::string> sorted = tables;
    std::sort(sorted.begin(), sorted.end());
    const std::vector<std::string> expected = {"table T_Customers Customers", "table T_Dup Dup",
                                               "table T_Dup#2 Dup", "table T_Padded Name Padded Name",
                                               "table T_msysnotes msysnotes"};
    EXPECT_EQ(sorted, expected);

    // ListTables gives the same entries in the same order.
    std::vector<std::string> listed;
    for (const CatalogueEntry& e : ListTables(DatabaseChoice{path, 0, ""}))
        listed.push_back("table " + e.key + " " + e.name);
    EXPECT_EQ(listed, tables);
}

// After a failure the root stays reported and nothing else; the password flag and text decide between
// the provider's authentication failure and a listing.
TEST(CatalogueRun, ReportsTheRootAloneUnlessTheOpenSucceeds) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string protectedDb = fx::WriteFixtureInto("password", dir.path().toStdString()).string();
    const std::string empty = fx::WriteFixtureInto("empty", dir.path().toStdString()).string();
    const std::string pw = fx::kFixturePassword;
    struct Case {
        std::string path;
        int pwdcheck;
        std::string password;
        long error;  // 0: opens
    };
    const Case cases[] = {
        {empty, 0, "", 0},
        {dir.filePath("missing.mdb").toStdString(), 0, "", ado::kErrUnspecified},
        {"   ", 0, "", ado::kErrUnspecified},
        {protectedDb, 0, "", ado::kErrAuthentication},
        {protectedDb, 1, "wrong", ado::kErrAuthentication},
        {protectedDb, 0, pw, ado::kErrAuthentication},  // a password without the flag plays no part
        {protectedDb, 1, pw, 0},
        {protectedDb, 1, "  " + pw + " ", 0},  // sent trimmed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("'" + c.path + "' " + std::to_string(c.pwdcheck) + " '" + c.password + "'");
        Recorder recorder;
        long error = 0;
        try {
            RunCatalogue(DatabaseChoice{c.path, c.pwdcheck, c.password}, recorder);
        } catch (const ado::ProviderError& e) {
            error = e.number();
            EXPECT_FALSE(e.description().empty());
            if (error == ado::kErrAuthentication) {
                EXPECT_EQ(e.description(), "Not a valid password.");
            }
        }
        EXPECT_EQ(error, c.error);
        ASSERT_FALSE(recorder.events.empty());
        EXPECT_EQ(recorder.events.front(), "root " + c.path);
        // The empty fixture lists nothing either way; the protected one has a table once open.
        const size_t expected = (c.error != 0 || c.path == empty) ? 1u : 2u;
        EXPECT_EQ(recorder.events.size(), expected);
    }
}

}  // namespace
}  // namespace tabvert::database
