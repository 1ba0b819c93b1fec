#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/settings/settings_store.h"

using tabvert::settings::SettingsStore;

namespace {

void WriteFile(const QString& path, const QByteArray& content) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

}  // namespace

TEST(SettingsStore, FileIsPerApplicationUnderTheRoot) {
    SettingsStore store("/some/root");
    EXPECT_EQ(store.fileFor("Norrin Tabvert"), "/some/root/Norrin Tabvert/Norrin Tabvert.ini");

    // Without a root of its own the store follows the user's configuration folder.
    QTemporaryDir home;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    const QString file = SettingsStore().fileFor("App");
    qputenv("XDG_CONFIG_HOME", saved);
    EXPECT_EQ(file, home.path() + "/App/App.ini");
}

TEST(SettingsStore, ReadsValuesWithDefaults) {
    QTemporaryDir root;
    const SettingsStore store(root.path());
    WriteFile(store.fileFor("Norrin Tabvert"),
              "[Settings]\n"
              "ColWidth1=3000\n"
              "Col2 = 1 \n"
              "colwidth3=1,5\n"
              "Empty=\n"
              "[Other]\n"
              "ColWidth2=99\n");

    struct Case {
        const char* app;
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"Norrin Tabvert", "Settings", "ColWidth1", "3000"},
        {"Norrin Tabvert", "Settings", "Col2", "1"},         // blanks around the value are not part of it
        {"Norrin Tabvert", "Settings", "ColWidth3", "1,5"},  // case-insensitive key, commas kept as text
        {"Norrin Tabvert", "SETTINGS", "colwidth1", "3000"},
        {"Norrin Tabvert", "Settings", "Empty", ""},          // present but empty is not absent
        {"Norrin Tabvert", "Settings", "ColWidth2", "dflt"},  // only in another section
        {"Norrin Tabvert", "Other", "ColWidth2", "99"},
        {"Norrin Tabvert", "Missing", "ColWidth1", "dflt"},
        {"Other App", "Settings", "ColWidth1", "dflt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(store.GetSetting(c.app, c.section, c.key, "dflt"), QString(c.expected))
            << c.app << "/" << c.section << "/" << c.key;
    }
    // A stored empty text is a value; only a missing key is absent.
    EXPECT_EQ(store.value("Norrin Tabvert", "Settings", "Empty"), std::optional<QString>(""));
    EXPECT_EQ(store.value("Norrin Tabvert", "Settings", "Col3"), std::nullopt);
}

TEST(SettingsStore, ExactSpellingWinsOverOtherCase) {
    QTemporaryDir root;
    const SettingsStore store(root.path());
    WriteFile(store.fileFor("A"), "[S]\nkey=lower\nKEY=upper\n");
    EXPECT_EQ(store.GetSetting("A", "S", "KEY", ""), "upper");
    EXPECT_EQ(store.GetSetting("A", "S", "key", ""), "lower");
}

TEST(SettingsStore, ReadingNeverCreatesAnything) {
    QTemporaryDir root;
    const SettingsStore store(root.path());
    EXPECT_EQ(store.GetSetting("Norrin Tabvert", "Settings", "Col1", "1"), "1");
    EXPECT_TRUE(QDir(root.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());

    WriteFile(store.fileFor("Norrin Tabvert"), "[Settings]\nCol1=2\n");
    const QDateTime before = QFileInfo(store.fileFor("Norrin Tabvert")).lastModified();
    EXPECT_EQ(store.GetSetting("Norrin Tabvert", "Settings", "Col1", "1"), "2");
    QFile file(store.fileFor("Norrin Tabvert"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "[Settings]\nCol1=2\n");
    EXPECT_EQ(QFileInfo(store.fileFor("Norrin Tabvert")).lastModified(), before);
}

TEST(SettingsStore, EveryReadSeesTheFileAsItIsNow) {
    QTemporaryDir root;
    const SettingsStore store(root.path());
    const QString file = store.fileFor("A");
    WriteFile(file, "[S]\nk=1\n");
    EXPECT_EQ(store.GetSetting("A", "S", "k", ""), "1");
    WriteFile(file, "[S]\nk=22\n");  // a different size, so the change shows even within one second
    EXPECT_EQ(store.GetSetting("A", "S", "k", ""), "22");
    QFile::remove(file);
    EXPECT_EQ(store.GetSetting("A", "S", "k", "gone"), "gone");
}
