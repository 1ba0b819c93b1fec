// The catalogue run without any window: which schema rows become nodes, with which keys, and what has been
// reported when the provider fails.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/database/catalogue.h"
#include "core/text/strings.h"
#include "core/value/provider_error.h"
#include "fixtures/fixture_set.h"
#include "support/paths.h"

namespace tabvert::database {
namespace {

namespace fx = tabvert::fixtures;

// Records every report in order: "root <path>" and "table <key> <name>".
class Recorder : public CatalogueSink {
  public:
    void RootAdded(const std::string& dbpath) override { events.push_back("root " + dbpath); }
    void TableFound(const CatalogueEntry& e) override { events.push_back("table " + e.key + " " + e.name); }
    std::vector<std::string> events;
};

TEST(CatalogueNames, HiddenAndKeyed) {
    // MSys hides a table in any position, but only in that case.
    for (const char* name : {"MSysObjects", "tblMSysCopy", "OldMSys"})
        EXPECT_TRUE(IsHiddenTableName(name)) << name;
    for (const char* name : {"msysnotes", "MSYSData", "MSy s", "  Padded Name  ", ""})
        EXPECT_FALSE(IsHiddenTableName(name)) << name;

    TableKeys keys;
    EXPECT_EQ(keys.Take("Dup"), "T_Dup");
    EXPECT_EQ(keys.Take("Dup"), "T_Dup#2");
    EXPECT_EQ(keys.Take("Dup"), "T_Dup#3");
    EXPECT_EQ(keys.Take("Dup#2"), "T_Dup#2#2");  // a table really named "Dup#2" gets a key of its own
    EXPECT_EQ(keys.Take("dup"), "T_dup");        // case-sensitive, like the names
}

// Against mdbtools' own list of the fixture's user tables: names with MSys anywhere left out, blanks
// around names removed, two names that trim alike both listed under distinct keys; the root first.
TEST(CatalogueRun, CatalogueFixtureMatchesMdbToolsFilteredAndTrimmed) {
    QTemporaryDir dir;
    const std::string path = fx::WriteFixtureInto("catalogue", dir.path().toStdString()).string();
    std::string out;
    ASSERT_EQ(test::RunCommand("mdb-tables -1 " + test::ShellQuote(path), &out), 0);
    std::vector<std::string> expected;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.find("MSys") == std::string::npos)
            expected.emplace_back(text::TrimBlanks(line));
    }
    ASSERT_EQ(std::count(expected.begin(), expected.end(), "Dup"), 2);  // the fixture holds the hard cases
    ASSERT_NE(std::find(expected.begin(), expected.end(), "Padded Name"), expected.end());

    Recorder recorder;
    RunCatalogue(DatabaseChoice{path, false, ""}, recorder);
    ASSERT_FALSE(recorder.events.empty());
    EXPECT_EQ(recorder.events.front(), "root " + path);
    std::vector<std::string> names;
    std::set<std::string> keys;
    for (const CatalogueEntry& e : ListTables(DatabaseChoice{path, false, ""})) {
        names.push_back(e.name);
        keys.insert(e.key);
    }
    EXPECT_EQ(recorder.events.size(), names.size() + 1);
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    EXPECT_EQ(keys.size(), names.size());
    EXPECT_TRUE(keys.contains("T_Padded Name") && keys.contains("T_Dup") && keys.contains("T_Dup#2"));
}

// After a failure the root stays reported and nothing else; the password flag and text decide between
// the provider's authentication failure and a listing.
TEST(CatalogueRun, ReportsTheRootAloneUnlessTheOpenSucceeds) {
    QTemporaryDir dir;
    const std::string locked = fx::WriteFixtureInto("password", dir.path().toStdString()).string();
    const std::string empty = fx::WriteFixtureInto("empty", dir.path().toStdString()).string();
    const std::string pw = fx::kFixturePassword;
    const std::tuple<std::string, bool, std::string, long> cases[] = {
        // path, flag, password, error
        {empty, false, "", 0},
        {dir.filePath("missing.mdb").toStdString(), false, "", ado::kErrUnspecified},
        {"   ", false, "", ado::kErrUnspecified},
        {locked, false, "", ado::kErrAuthentication},
        {locked, true, "wrong", ado::kErrAuthentication},
        {locked, false, pw, ado::kErrAuthentication},  // a password without the flag plays no part
        {locked, true, pw, 0},
        {locked, true, "  " + pw + " ", 0},  // sent trimmed
    };
    for (const auto& [path, passwordProtected, password, expectedError] : cases) {
        SCOPED_TRACE("'" + path + "' " + std::to_string(passwordProtected) + " '" + password + "'");
        Recorder recorder;
        long error = 0;
        try {
            RunCatalogue(DatabaseChoice{path, passwordProtected, password}, recorder);
        } catch (const ado::ProviderError& e) {
            error = e.Number();
            EXPECT_FALSE(e.Description().empty());
            if (error == ado::kErrAuthentication) {
                EXPECT_EQ(e.Description(), "Not a valid password.");
            }
        }
        EXPECT_EQ(error, expectedError);
        ASSERT_FALSE(recorder.events.empty());
        EXPECT_EQ(recorder.events.front(), "root " + path);
        // The empty fixture lists nothing either way; the protected one has a table once open.
        EXPECT_EQ(recorder.events.size(), (expectedError != 0 || path == empty) ? 1u : 2u);
    }
}

}  // namespace
}  // namespace tabvert::database
