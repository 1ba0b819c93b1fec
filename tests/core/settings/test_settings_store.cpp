#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "core/settings/settings_store.h"

using tabvert::settings::SettingsStore;

namespace {

void WriteFile(const QString& path, const QByteArray& content) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

TEST(SettingsStore, OneFilePerApplicationInTheConfigurationFolder) {
    EXPECT_EQ(SettingsStore("/r").FileFor("Norrin Tabvert"), "/r/Norrin Tabvert/Norrin Tabvert.ini");
    QTemporaryDir home;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    const QString file = SettingsStore().FileFor("App");
    qputenv("XDG_CONFIG_HOME", saved);
    EXPECT_EQ(file, home.path() + "/App/App.ini");
}

TEST(SettingsStore, ReadsValuesWithDefaults) {
    QTemporaryDir root;
    const SettingsStore store(root.path());
    WriteFile(store.FileFor("Norrin Tabvert"),
              "[Settings]\nColWidth1=3000\nCol2 = 1 \ncolwidth3=1,5\nEmpty=\nkey=lower\nKEY=upper\n"
              "[Other]\nColWidth2=99\n");
    struct Case {
        const char* app;
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"Norrin Tabvert", "Settings", "ColWidth1", "3000"},
        {"Norrin Tabvert", "Settings", "Col2", "1"},         // blanks around the value are not part of it
        {"Norrin Tabvert", "Settings", "ColWidth3", "1,5"},  // any case; commas stay text
        {"Norrin Tabvert", "SETTINGS", "colwidth1", "3000"},
        {"Norrin Tabvert", "Settings", "KEY", "upper"},  // the exact spelling wins
        {"Norrin Tabvert", "Settings", "key", "lower"},
        {"Norrin Tabvert", "Settings", "Empty", ""},          // present but empty is not absent
        {"Norrin Tabvert", "Settings", "ColWidth2", "dflt"},  // only in another section
        {"Norrin Tabvert", "Missing", "ColWidth1", "dflt"},
        {"Other App", "Settings", "ColWidth1", "dflt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(store.GetSetting(c.app, c.section, c.key, "dflt"), QString(c.expected))
            << c.app << "/" << c.section << "/" << c.key;
    }
    EXPECT_EQ(store.Value("Norrin Tabvert", "Settings", "Col3"), std::nullopt);
}

// Reading creates and changes nothing, and every read sees the file as it is now.
TEST(SettingsStore, ReadsOnlyAndAfresh) {
    QTemporaryDir root;
    const SettingsStore store(root.path());
    EXPECT_EQ(store.GetSetting("A", "S", "k", "none"), "none");
    EXPECT_TRUE(QDir(root.path()).isEmpty());

    const QString file = store.FileFor("A");
    WriteFile(file, "[S]\nk=1\n");
    const QDateTime written = QFileInfo(file).lastModified();
    EXPECT_EQ(store.GetSetting("A", "S", "k", ""), "1");
    EXPECT_EQ(QFileInfo(file).lastModified(), written);
    WriteFile(file, "[S]\nk=22\n");  // another size, so the change shows even within one second
    EXPECT_EQ(store.GetSetting("A", "S", "k", ""), "22");
    QFile::remove(file);
    EXPECT_EQ(store.GetSetting("A", "S", "k", "gone"), "gone");
}

}  // namespace
