// The one rule for a workbook name's extension and format, as the guard, the save and the dialog use it.

#include <gtest/gtest.h>

#include "core/workbook/file_format.h"

namespace tabvert::excel {
namespace {

TEST(WorkbookName, OneRuleForExtensionFormatAndName) {
    const struct {
        const char* typed;
        const char* extension;
        const char* saved;  // "" when refused
        bool xlsx;
    } cases[] = {
        {"a.xlsx", "xlsx", "a.xlsx", true},
        {"a.XLSX", "XLSX", "a.XLSX", true},
        {"a.xls", "xls", "a.xls", false},
        {"a.txt", "txt", "a.txt", false},
        {"a", "", "a.xls", false},
        {"x.xlsx ", "xlsx", "x.xlsx", true},  // trailing blanks and dots are not part of a name
        {"x.xlsx. .", "xlsx", "x.xlsx", true},
        {"x.", "", "x.xls", false},
        {".hid", "", ".hid.xls", false},  // a leading dot starts a hidden name, not an extension
        {".hid.xls", "xls", ".hid.xls", false},
        {"dir.v2/book", "", "dir.v2/book.xls", false},
        {"/tmp/.cfg/.xlsx", "", "/tmp/.cfg/.xlsx.xls", false},
        {".", "", "", false},
        {"..", "", "", false},
        {"out/", "", "", false},
        {"out/ . ", "", "", false},
        {"", "", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.typed + "\"");
        EXPECT_EQ(WorkbookExtension(c.typed), c.extension);
        const WorkbookTarget target = ResolveWorkbookTarget(c.typed);
        EXPECT_EQ(target.path, c.saved);
        EXPECT_EQ(target.refusal.empty(), *c.saved != '\0') << target.refusal;
        EXPECT_TRUE(!*c.saved || target.xlsx == c.xlsx);
    }
}

TEST(WorkbookName, ForcedFormatAndTheDialogsDefaultExtension) {
    EXPECT_EQ(ResolveWorkbookTarget("a", WorkbookFormat::Xlsx).path, "a.xlsx");
    EXPECT_FALSE(ResolveWorkbookTarget("a.xlsx", WorkbookFormat::Xls).xlsx);
    EXPECT_TRUE(ResolveWorkbookTarget("a.xls", WorkbookFormat::Xlsx).xlsx);
    EXPECT_EQ(WithDefaultExtension("report", "xlsx"), "report.xlsx");
    EXPECT_EQ(WithDefaultExtension("/home/u/.hid", "xlsx"), "/home/u/.hid.xlsx");
    EXPECT_EQ(WithDefaultExtension("report.xls ", "xlsx"), "report.xls");
    EXPECT_EQ(WithDefaultExtension("out/", "xlsx"), "out/");
}

}  // namespace
}  // namespace tabvert::excel
