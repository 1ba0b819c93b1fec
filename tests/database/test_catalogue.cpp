// The catalogue run without any window: which schema rows become nodes, in which order, with which keys,
// and what has been reported when the provider fails.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "database/catalogue.h"
#include "fixtures/fixture_set.h"
#include "platform/provider/provider_error.h"
#include "support/paths.h"

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

// Against mdbtools' own list of the fixture's user tables: names with MSys anywhere left out, blanks
// around names removed, two names that trim alike both listed under distinct keys; the root first.
TEST(CatalogueRun, CatalogueFixtureMatchesMdbToolsFilteredAndTrimmed) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = fx::WriteFixtureInto("catalogue", dir.path().toStdString()).string();
    std::string out;
    ASSERT_EQ(test::RunCommand("mdb-tables -1 " + test::ShellQuote(path), &out), 0);
    std::vector<std::string> expected;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.find("MSys") == std::string::npos) expected.push_back(TrimBlanks(line));
    }
    ASSERT_EQ(std::count(expected.begin(), expected.end(), "Dup"), 2);
    ASSERT_NE(std::find(expected.begin(), expected.end(), "Padded Name"), expected.end());

    Recorder recorder;
    RunCatalogue(DatabaseChoice{path, 0, ""}, recorder);
    ASSERT_FALSE(recorder.events.empty());
    EXPECT_EQ(recorder.events.front(), "root " + path);
    std::vector<std::string> names;
    std::set<std::string> keys;
    for (const CatalogueEntry& e : ListTables(DatabaseChoice{path, 0, ""})) {
        names.push_back(e.name);
        keys.insert(e.key);
    }
    EXPECT_EQ(recorder.events.size(), names.size() + 1);
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    EXPECT_EQ(keys.size(), names.size());
    EXPECT_TRUE(keys.contains("T_Padded Name"));
    EXPECT_TRUE(keys.contains("T_Dup") && keys.contains("T_Dup#2"));
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
