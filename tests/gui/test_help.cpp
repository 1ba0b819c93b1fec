// The help path rule, .chm reading, the help window and the Help command (run beside a copy of the built help
// file).
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include "gui/main_window.h"
#include "gui/main_window_commands.h"
#include "gui/platform/htmlhelp/chm_file.h"
#include "gui/platform/htmlhelp/contents.h"
#include "gui/platform/htmlhelp/help_window.h"
#include "gui/platform/htmlhelp/html_help.h"
#include "gui/platform/prompts.h"
#include "gui/windows.h"

namespace tabvert::htmlhelp {
namespace {

QString BuiltHelpFile() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/norrintabvert.chm");
}

QByteArray Record(quint16 code, const QByteArray& data) {
    QByteArray record;
    record.append(char(code & 0xff)).append(char(code >> 8));
    record.append(char(data.size() & 0xff)).append(char(data.size() >> 8));
    return record + data;
}

TEST(HelpFilePath, IsTheProgramFolderFollowedByTheHelpFileName) {
    const struct {
        const char* folder;
        const char* path;
    } cases[] = {
        {"/opt/norrin", "/opt/norrin/norrintabvert.chm"},
        {"/opt/norrin/", "/opt/norrin/norrintabvert.chm"},
        {"/", "//norrintabvert.chm"},  // the root folder: two separators in a row, used as they are
        {"/home/jürgen/Tabvert 4", "/home/jürgen/Tabvert 4/norrintabvert.chm"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shell::HelpFilePath(QString::fromUtf8(c.folder)), QString::fromUtf8(c.path)) << c.folder;
}

TEST(ChmSystemInfo, ReadsTheRecordsItKnowsAndStopsAtDamage) {
    QByteArray system("\x03\x00\x00\x00", 4);
    system += Record(9, "HHA Version 4.74");
    system += Record(2, QByteArray("start.html\0", 11));
    system += Record(3, QByteArray("Guide\0", 6));
    system += Record(0, QByteArray("/toc.hhc", 8));  // no terminating NUL
    const SystemInfo info = ParseSystemInfo(system);
    EXPECT_EQ(info.defaultTopic, QStringLiteral("/start.html"));
    EXPECT_EQ(info.title, QStringLiteral("Guide"));
    EXPECT_EQ(info.contentsFile, QStringLiteral("/toc.hhc"));

    // A record claiming more bytes than there are is not read; the ones before it are.
    QByteArray damaged("\x03\x00\x00\x00", 4);
    damaged += Record(3, QByteArray("Kept\0", 5));
    damaged += QByteArray("\x02\x00\x40\x00x", 5);  // code 2, 64 bytes announced, 1 there
    const SystemInfo partial = ParseSystemInfo(damaged);
    EXPECT_EQ(partial.title, QStringLiteral("Kept"));
    EXPECT_TRUE(partial.defaultTopic.isEmpty());
    EXPECT_TRUE(ParseSystemInfo(QByteArray("\x03\x00", 2)).title.isEmpty());
}

TEST(ChmContents, NestsEntriesByTheirLists) {
    const QString sitemap = QStringLiteral(R"(<html><body>
<object type="text/site properties"><param name="ImageType" value="Folder"></object>
<ul>
  <li><object type="text/sitemap"><param name="Name" value="Start"><param name="Local" value="start.html"></object>
  <ul>
    <li><OBJECT type="text/sitemap"><PARAM name="Name" value="Fish &amp; Chips"><param name=Local value=fish.html></OBJECT>
  </ul>
  <li><object type="text/sitemap"><param name="Name" value="End"><param name="Local" value="end.html"></object>
</ul></body></html>)");
    const std::vector<ContentsEntry> top = ParseContents(sitemap);
    ASSERT_EQ(top.size(), 2u);
    ASSERT_EQ(top[0].children.size(), 1u);
    EXPECT_EQ(std::pair(top[0].name, top[0].local),
              std::pair(QStringLiteral("Start"), QStringLiteral("start.html")));
    EXPECT_EQ(std::pair(top[0].children[0].name, top[0].children[0].local),
              std::pair(QStringLiteral("Fish & Chips"), QStringLiteral("fish.html")));
    EXPECT_EQ(top[1].name, QStringLiteral("End"));
    EXPECT_TRUE(top[1].children.empty());
    // Unbalanced lists neither crash nor lose the entries.
    EXPECT_EQ(ParseContents(QStringLiteral("</ul></ul>") + sitemap + QStringLiteral("<ul><ul>")).size(), 2u);
}

TEST(ChmFile, ReadsTheBuiltHelpFileAndRefusesWhatIsNone) {
    const auto file = ChmFile::Open(QFile::encodeName(BuiltHelpFile()));
    ASSERT_TRUE(file.has_value()) << BuiltHelpFile().toStdString();
    const auto picture = file->Read(QStringLiteral("images/toolbar.png"));  // no leading separator
    ASSERT_TRUE(picture.has_value());
    EXPECT_TRUE(picture->startsWith("\x89PNG"));
    EXPECT_FALSE(file->Read(QStringLiteral("/missing.html")).has_value());

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString text = dir.filePath(QStringLiteral("notes.chm")),
                  empty = dir.filePath(QStringLiteral("empty.chm"));
    for (const auto& [path, content] :
         {std::pair{text, "ITSF but not really a compiled help file"}, {empty, ""}}) {
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(content);
    }
    for (const QString& path :
         {dir.filePath(QStringLiteral("missing.chm")), text, empty, dir.path(), QString()})
        EXPECT_FALSE(ChmFile::Open(QFile::encodeName(path)).has_value()) << path.toStdString();
}

TEST(HtmlHelp, ShowsNothingForAMissingFileOrAnUnknownCommand) {
    QWidget caller;
    const auto windowsBefore = QApplication::topLevelWidgets().size();
    EXPECT_EQ(HtmlHelpA(&caller, "/nowhere/norrintabvert.chm", HH_DISPLAY_TOPIC, 0), nullptr);
    EXPECT_EQ(HtmlHelpA(&caller, nullptr, HH_DISPLAY_TOPIC, 0), nullptr);
    const QByteArray built = QFile::encodeName(BuiltHelpFile());
    EXPECT_EQ(HtmlHelpA(&caller, built.constData(), 0x12, 0), nullptr);
    EXPECT_EQ(HtmlHelpA(&caller, (built + "::/missing.html").constData(), HH_DISPLAY_TOPIC, 0), nullptr);
    EXPECT_TRUE(caller.findChildren<HelpWindow*>().isEmpty());
    EXPECT_EQ(QApplication::topLevelWidgets().size(), windowsBefore);
}

TEST(HtmlHelp, OpensTheDefaultTopicWithItsPictureAndContentsAndReusesTheWindow) {
    QWidget caller;
    // A folder path with a doubled separator, as the root folder produces, is used as it is.
    const QByteArray built = "/" + QFile::encodeName(BuiltHelpFile());
    QWidget* shown = HtmlHelpA(&caller, built.constData(), HH_DISPLAY_TOPIC, 0);
    auto* help = qobject_cast<HelpWindow*>(shown);
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->windowTitle(), QStringLiteral("Norrin Tabvert 4.0 Help"));
    EXPECT_EQ(help->Browser()->source(), TopicUrl(QStringLiteral("/welcome.html")));
    EXPECT_EQ(help->Browser()->documentTitle(), QStringLiteral("Welcome to Norrin Tabvert"));
    const QVariant picture = help->Browser()->document()->resource(
        QTextDocument::ImageResource, TopicUrl(QStringLiteral("/images/toolbar.png")));
    EXPECT_TRUE(picture.isValid()) << "the page's picture came out of the help file";
    ASSERT_EQ(help->Contents()->topLevelItemCount(), 6);
    EXPECT_EQ(help->Contents()->topLevelItem(1)->text(0), QStringLiteral("Opening a database"));

    // A link resolves inside the help file; the contents open their page.
    emit help->Browser()->anchorClicked(QUrl(QStringLiteral("export.html")));
    EXPECT_EQ(help->Browser()->documentTitle(), QStringLiteral("Exporting to Excel"));
    EXPECT_EQ(help->Browser()->source(), TopicUrl(QStringLiteral("/export.html")));
    emit help->Contents()->itemClicked(help->Contents()->topLevelItem(4), 0);
    EXPECT_EQ(help->Browser()->documentTitle(), QStringLiteral("What the messages mean"));

    // The same file again: the same window, back on the topic asked for.
    EXPECT_EQ(HtmlHelpA(&caller, (built + "::/settings.html").constData(), HH_DISPLAY_TOPIC, 0), help);
    EXPECT_EQ(help->Browser()->documentTitle(), QStringLiteral("Column settings of the preview"));
    EXPECT_EQ(caller.findChildren<HelpWindow*>().size(), 1);
}

TEST(HelpCommand, ToolbarButtonThreeAndHelpContentOpenTheDefaultTopic) {
    ui::ScriptedPrompts prompts;
    shell::Windows windows(prompts);
    shell::MainWindow& window = windows.mainWindow();
    ASSERT_TRUE(QFile::exists(window.helpFilePath())) << window.helpFilePath().toStdString();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QTest::mouseClick(window.ToolbarButton(3), Qt::LeftButton);
    const QList<HelpWindow*> opened = window.findChildren<HelpWindow*>();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.front()->Browser()->source(), TopicUrl(QStringLiteral("/welcome.html")));

    opened.front()->Browser()->setSource(TopicUrl(QStringLiteral("/preview.html")));
    window.HelpContentAction()->trigger();
    EXPECT_EQ(window.findChildren<HelpWindow*>().size(), 1) << "one help window per program";
    EXPECT_EQ(opened.front()->Browser()->source(), TopicUrl(QStringLiteral("/welcome.html")));
    EXPECT_TRUE(prompts.Messages().empty());
}

}  // namespace
}  // namespace tabvert::htmlhelp
