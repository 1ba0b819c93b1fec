// The open-database dialog and the catalogue as the user drives them: buttons, keys, Browse, the Open
// command, the tree after success and failures, and the password retry through a second showing.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <functional>

#include "core/database/catalogue.h"
#include "fixtures/fixture_set.h"
#include "gui/catalogue_tree.h"
#include "gui/main_window.h"
#include "gui/open_database_dialog.h"
#include "gui/platform/prompts.h"
#include "gui/windows.h"
#include "support/paths.h"

namespace tabvert::database {
namespace {

namespace fx = tabvert::fixtures;
using shell::Windows;
using Window = Windows::Window;

const QString kNoPath = QStringLiteral(
    "Please Select Required Access Database file from your computer and then click on OK button");

// Runs `onShow(n)` shortly after the n-th showing of a widget, once the showing (and a modal loop) is
// under way.
struct ShowHook : QObject {
    ShowHook(QWidget& widget, std::function<void(int)> onShow) : onShow_(std::move(onShow)) {
        widget.installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) QTimer::singleShot(0, this, [this, n = ++shows] { onShow_(n); });
        return QObject::eventFilter(watched, event);
    }
    std::function<void(int)> onShow_;
    int shows = 0;
};

class OpenDatabaseDialogTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    OpenDatabaseDialog& Dialog() { return windows.OpenDatabaseDialog(); }
    shell::MainWindow& window() { return windows.mainWindow(); }
    QTreeWidget& Tree() { return *window().tableTree(); }

    // The tree as lines "key|text", children indented by two blanks.
    QStringList TreeLines() {
        QStringList lines;
        for (QTreeWidgetItemIterator it(&Tree()); *it; ++it)
            lines << QString((*it)->parent() ? "  " : "") + NodeKey(**it) + "|" + (*it)->text(0);
        return lines;
    }

    void PressOk(const QString& path) {
        Dialog().DatabasePathBox()->setText(path);
        Dialog().OkButton()->click();
    }

    QStringList MessageTexts() const {
        QStringList texts;
        for (const auto& m : prompts.Messages()) texts << m.text;
        return texts;
    }

    void WrongThenRightPassword(const QString& path, const QString& right);

    QTemporaryDir dir;
    ui::ScriptedPrompts prompts;
    Windows windows{prompts};
};

// The password box follows the check box and empties when unchecked.
TEST_F(OpenDatabaseDialogTest, PasswordBoxFollowsTheCheckBoxAndEmptiesWhenUnchecked) {
    OpenDatabaseDialog& s = Dialog();
    EXPECT_FALSE(s.PasswordBox()->isEnabled());
    s.PasswordCheck()->setChecked(true);
    EXPECT_TRUE(s.PasswordBox()->isEnabled());
    EXPECT_TRUE(ReadDatabaseChoice(s).passwordProtected);
    s.PasswordBox()->setText(" secret ");
    EXPECT_EQ(ReadDatabaseChoice(s).password, " secret ");  // trimmed only when used

    s.PasswordCheck()->setChecked(false);
    EXPECT_FALSE(s.PasswordBox()->isEnabled());
    EXPECT_TRUE(s.PasswordBox()->text().isEmpty());
    EXPECT_FALSE(ReadDatabaseChoice(s).passwordProtected);

    s.PasswordCheck()->click();  // as the user does it
    EXPECT_TRUE(s.PasswordBox()->isEnabled());
    EXPECT_TRUE(s.PasswordBox()->text().isEmpty());
}

TEST_F(OpenDatabaseDialogTest, EscapeAndEnterPressNeitherButtonAndOkWithNoPathAsksForOne) {
    OpenDatabaseDialog& s = Dialog();
    s.show();
    for (QWidget* target :
         std::initializer_list<QWidget*>{s.DatabasePathBox(), s.OkButton(), s.CancelButton()}) {
        for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
            for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
                QKeyEvent event(type, key, Qt::NoModifier);
                QCoreApplication::sendEvent(target, &event);
            }
        }
    }
    EXPECT_TRUE(windows.IsLoaded(Window::OpenDatabaseDialog));
    EXPECT_TRUE(s.isVisible());
    EXPECT_TRUE(prompts.Messages().empty());  // OK with the empty path says so:

    s.OkButton()->click();
    EXPECT_EQ(MessageTexts(), QStringList{kNoPath});
    EXPECT_TRUE(s.isVisible());
    EXPECT_EQ(Tree().topLevelItemCount(), 0);
}

TEST_F(OpenDatabaseDialogTest, BrowseCopiesTheCommonDialogsNameAlsoOnCancelAndCancelDiscardsAll) {
    OpenDatabaseDialog& s = Dialog();
    s.DatabasePathBox()->setText("typed by hand");
    prompts.QueueFile(std::nullopt);  // cancel before any choice
    prompts.QueueFile(QStringLiteral("/data/first.mdb"));
    prompts.QueueFile(std::nullopt);  // cancel keeps the earlier choice

    s.BrowseButton()->click();
    EXPECT_TRUE(s.DatabasePathBox()->text().isEmpty());
    s.BrowseButton()->click();
    EXPECT_EQ(s.DatabasePathBox()->text(), "/data/first.mdb");
    s.DatabasePathBox()->setText("/elsewhere.mdb");
    s.BrowseButton()->click();
    EXPECT_EQ(s.DatabasePathBox()->text(), "/data/first.mdb");

    ASSERT_EQ(prompts.FileDialogs().size(), 3u);
    EXPECT_EQ(prompts.FileDialogs()[0].fileName, "");
    EXPECT_EQ(prompts.FileDialogs()[2].fileName, "/data/first.mdb");  // opens with the last choice

    // Cancel discards the choice: a later read loads an empty dialog.
    s.PasswordCheck()->setChecked(true);
    s.PasswordBox()->setText("pw");
    s.CancelButton()->click();
    EXPECT_FALSE(windows.IsLoaded(Window::OpenDatabaseDialog));
    const DatabaseChoice later = ReadDatabaseChoice(windows);
    EXPECT_EQ(std::tie(later.path, later.passwordProtected, later.password), std::tuple("", false, ""));
}

// OK fills the tree with what the catalogue run lists, in its order, under the expanded root. A failed open
// shows the provider's text and leaves the root alone: the tree is emptied first, also by a successful open.
TEST_F(OpenDatabaseDialogTest, OkListsTheCatalogueAndAFailedOpenLeavesTheRootAlone) {
    const std::string path = fx::WriteFixtureInto("catalogue", dir.path().toStdString()).string();
    const QString qpath = QString::fromStdString(path);
    Dialog().show();
    PressOk(qpath);
    EXPECT_TRUE(prompts.Messages().empty()) << MessageTexts().join('\n').toStdString();
    EXPECT_FALSE(Dialog().isVisible());  // hidden, yet loaded and holding the choice
    EXPECT_EQ(ReadDatabaseChoice(windows).path, path);
    EXPECT_EQ(window().databasePath, qpath);

    QStringList expected{"NorrinT|" + qpath};
    for (const CatalogueEntry& e : ListTables(DatabaseChoice{path, false, ""}))
        expected << "  " + QString::fromStdString(e.key) + "|" + QString::fromStdString(e.name);
    EXPECT_EQ(TreeLines(), expected);
    EXPECT_TRUE(expected.contains("  T_Dup#2|Dup"));
    EXPECT_TRUE(Tree().topLevelItem(0)->isExpanded());

    for (const QString& bad : {dir.filePath("missing.mdb"), QStringLiteral("   ")}) {
        SCOPED_TRACE(bad.toStdString());
        const size_t before = prompts.Messages().size();
        ShowHook hook(Dialog(), [](int) {});
        PressOk(bad);
        ASSERT_EQ(prompts.Messages().size(), before + 1);
        const QString text = prompts.Messages().back().text;
        EXPECT_FALSE(text.isEmpty() || text == kNoPath || text == "Not a valid password.")
            << text.toStdString();
        EXPECT_EQ(TreeLines(), QStringList{"NorrinT|" + bad});
        EXPECT_EQ(window().databasePath, bad);
        EXPECT_EQ(hook.shows, 0);  // the dialog is not shown again
        EXPECT_FALSE(Dialog().isVisible());
        PressOk(qpath);
        ASSERT_EQ(TreeLines(), expected);
    }
}

// The dialog is shown again after a wrong password, and the right one typed there lists the tables.
void OpenDatabaseDialogTest::WrongThenRightPassword(const QString& path, const QString& right) {
    QStringList atRetry;  // the tree, the path, the password and the modality at the second showing

    OpenDatabaseDialog& s = Dialog();
    ShowHook hook(s, [&](int n) {
        if (n == 1) {
            s.DatabasePathBox()->setText(path);
            s.PasswordCheck()->setChecked(true);
            s.PasswordBox()->setText("wrong");
            s.OkButton()->click();
        } else if (n == 2) {
            atRetry = TreeLines() << s.DatabasePathBox()->text() << s.PasswordBox()->text()
                                  << (s.isModal() ? "modal" : "");
            s.PasswordBox()->setText(right);
            s.OkButton()->click();
        } else {
            ADD_FAILURE() << "shown " << n << " times";
            s.CancelButton()->click();
        }
    });
    QTimer::singleShot(20000, &window(), [&] {
        ADD_FAILURE() << "the dialog is still waiting";
        windows.Unload(Window::OpenDatabaseDialog);
    });

    window().OpenFileAction()->trigger();  // the Open command returns once the dialog is hidden for good

    EXPECT_EQ(hook.shows, 2);
    EXPECT_EQ(MessageTexts(), QStringList{"Not a valid password."});
    EXPECT_EQ(atRetry, (QStringList{"NorrinT|" + path, path, "wrong", "modal"}));
    ASSERT_TRUE(windows.IsLoaded(Window::OpenDatabaseDialog));
    EXPECT_FALSE(s.isVisible());
    EXPECT_EQ(ReadDatabaseChoice(s).password, right.toStdString());
    ASSERT_EQ(Tree().topLevelItemCount(), 1);
    EXPECT_GT(Tree().topLevelItem(0)->childCount(), 0);
}

TEST_F(OpenDatabaseDialogTest, WrongPasswordShowsTheDialogAgainAndARightOneListsTheTables) {
    WrongThenRightPassword(
        QString::fromStdString(fx::WriteFixtureInto("password", dir.path().toStdString()).string()),
        QString::fromLatin1(fx::kFixturePassword));
}

// An Access 2007+ file with Office encryption takes the same road.
TEST_F(OpenDatabaseDialogTest, WrongPasswordOnAnEncryptedAccdbShowsTheDialogAgain) {
    if (tabvert::test::SamplesDir().empty()) GTEST_SKIP() << "no sample databases";
    WrongThenRightPassword(
        QString::fromStdString((tabvert::test::SamplesDir() / "db2013-enc.accdb").string()), "1234");
}

// The menu's Open command is driven above; the toolbar's waits for the dialog the same way.
TEST_F(OpenDatabaseDialogTest, ToolbarOpenWaitsForTheModalDialog) {
    bool modal = false;
    bool returned = false;
    OpenDatabaseDialog& s = Dialog();
    ShowHook hook(s, [&](int) {
        modal = s.windowModality() == Qt::ApplicationModal && s.isVisible();
        EXPECT_FALSE(returned);
        s.CancelButton()->click();
    });
    window().ToolbarButton(1)->click();
    returned = true;
    EXPECT_EQ(hook.shows, 1);
    EXPECT_TRUE(modal);
    EXPECT_FALSE(windows.IsLoaded(Window::OpenDatabaseDialog));
}

}  // namespace
}  // namespace tabvert::database
