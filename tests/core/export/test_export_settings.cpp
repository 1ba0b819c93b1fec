// The [Export] section of the per-user settings file, as the window and tabvert-cli read it.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "core/export/export_settings.h"

namespace tabvert::exporting {
namespace {

ExportSettings ReadFrom(const QByteArray& ini) {
    QTemporaryDir root;
    const settings::SettingsStore store(root.path());
    const QString file = store.FileFor("Norrin Tabvert");
    EXPECT_TRUE(QDir().mkpath(QFileInfo(file).absolutePath()));
    QFile out(file);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(ini);
    out.close();
    return ReadExportSettings(store);
}

TEST(ExportSettings, ReadsTheExportSection) {
    QTemporaryDir empty;
    const ExportSettings none = ReadExportSettings(settings::SettingsStore(empty.path()));
    EXPECT_FALSE(none.continueSheets);
    EXPECT_EQ(none.attachmentsFolder, "");

    const ExportSettings both = ReadFrom("[Export]\nContinueSheets=1\nAttachmentsFolder = pictures \n");
    EXPECT_TRUE(both.continueSheets);
    EXPECT_EQ(both.attachmentsFolder, "pictures");

    struct Case {
        const char* value;
        bool on;
    } cases[] = {{"1", true},  {"-1", true}, {"2", true},   {" 1 ", true},  {"yes", true}, {"TRUE", true},
                 {"0", false}, {"", false},  {"no", false}, {"off", false}, {"1x", false}};
    for (const Case& c : cases)
        EXPECT_EQ(ReadFrom(QByteArray("[export]\ncontinuesheets=") + c.value + "\n").continueSheets, c.on)
            << "'" << c.value << "'";

    // The keys belong to their section: the same key elsewhere does not count.
    const ExportSettings elsewhere = ReadFrom("[Settings]\nContinueSheets=1\nAttachmentsFolder=x\n");
    EXPECT_FALSE(elsewhere.continueSheets);
    EXPECT_EQ(elsewhere.attachmentsFolder, "");
}

TEST(ExportSettings, AFolderIsTakenFromTheWorkbooksFolderUnlessAbsolute) {
    EXPECT_EQ(AttachmentsFolderFor("", "/data/out.xlsx"), "");
    EXPECT_EQ(AttachmentsFolderFor("files", "/data/out.xlsx"), "/data/files");
    EXPECT_EQ(AttachmentsFolderFor("../files", "/data/books/out.xls"), "/data/books/../files");
    EXPECT_EQ(AttachmentsFolderFor("files", "out.xlsx"), "files");
    EXPECT_EQ(AttachmentsFolderFor("/srv/files", "/data/out.xlsx"), "/srv/files");
    EXPECT_EQ(AttachmentsFolderFor("~/files", "/data/out.xlsx"), QDir::homePath().toStdString() + "/files");
}

}  // namespace
}  // namespace tabvert::exporting
