#include <gtest/gtest.h>

#include "core/database/connection_rule.h"
#include "core/provider/connection_string.h"

namespace tabvert::database {
namespace {

TEST(GetExtName, TakesTheTextBehindTheLastFullStopTrimmed) {
    const struct {
        const char* path;
        const char* ext;
    } cases[] = {
        {"C:\\data\\sales.mdb", "mdb"},
        {"C:\\data\\sales.MDB", "MDB"},
        {"C:\\data\\sales.accdb", "accdb"},
        {"C:\\data\\sales", ""},
        {"C:\\my.data\\sales", "data\\sales"},
        {"C:\\data\\sales.mdb ", "mdb"},
        {"C:\\data\\sales.  mde  ", "mde"},
        {"archive.tar.mdb", "mdb"},
        {"ends with dot.", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(GetExtName(c.path), c.ext) << c.path;
}

TEST(BuildConnectionString, GivesTheFourFormsToTheCharacter) {
    const struct {
        const char* path;
        bool passwordProtected;
        const char* password;
        const char* expected;
    } cases[] = {
        {"C:\\db\\a.mdb", true, "secret",
         "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\db\\a.mdb;Persist Security Info=False;"
         "Jet OLEDB:Database Password=secret"},
        {"C:\\db\\a.mde", false, "ignored", "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=C:\\db\\a.mde; "},
        {"C:\\db\\a.accdb", true, "secret",
         "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=C:\\db\\a.accdb; Jet OLEDB:Database Password=secret; "
         "Persist Security Info=False;"},
        {"C:\\db\\a.accdb", false, "secret",
         "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=C:\\db\\a.accdb; Persist Security Info=False;"},
        // Case matters: MDB is not mdb.
        {"C:\\db\\a.MDB", false, "",
         "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=C:\\db\\a.MDB; Persist Security Info=False;"},
        // No extension, or a full stop only in a folder name: ACE.
        {"C:\\my.data\\sales", false, "",
         "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=C:\\my.data\\sales; Persist Security Info=False;"},
        // Blanks around the password go, blanks inside stay.
        {"x.mdb", true, "  two words  ",
         "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x.mdb;Persist Security Info=False;"
         "Jet OLEDB:Database Password=two words"},
        // Flag set, password box empty.
        {"x.mdb", true, "",
         "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x.mdb;Persist Security Info=False;"
         "Jet OLEDB:Database Password="},
        {"x.accdb", true, "   ",
         "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=x.accdb; Jet OLEDB:Database Password=; "
         "Persist Security Info=False;"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BuildConnectionString(c.path, c.passwordProtected, c.password), c.expected)
            << c.path << " / " << c.password;
}

// A path or password holding ";", quotes or outer blanks is quoted, so the provider gets it back
// unchanged and nothing in it can add keys to the string.
TEST(BuildConnectionString, AwkwardValuesArriveIntact) {
    const struct {
        const char* path;
        const char* password;
    } cases[] = {
        {"C:\\a;b\\db.mdb", "p;Provider=Evil"},
        {"C:\\it's\\db.accdb", "say \"hi\""},
        {"C:\\both'\"\\db.mdb", "both ' and \""},
        {"C:\\data\\db.mdb ", "plain"},
        {" C:\\lead.accdb", "x"},
    };
    for (const auto& c : cases) {
        for (bool passwordProtected : {false, true}) {
            const auto parsed =
                ado::ConnectionString::Parse(BuildConnectionString(c.path, passwordProtected, c.password));
            EXPECT_EQ(parsed.Get("Data Source"), std::string(c.path));
            if (passwordProtected) {
                EXPECT_EQ(parsed.Get("Jet OLEDB:Database Password"), std::string(c.password));
            }
            EXPECT_NE(parsed.Get("Provider"), std::string("Evil"));
        }
    }
    // The trailing blank after "mdb" still selects Jet, and stays in the Data Source.
    EXPECT_EQ(BuildConnectionString("C:\\data\\db.mdb ", 0, ""),
              "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"C:\\data\\db.mdb \"; ");
}

}  // namespace
}  // namespace tabvert::database
