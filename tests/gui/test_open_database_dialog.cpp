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

    OpenDatabaseDialog& dialog() { return windows.openDatabaseDialog(); }
    shell::MainWindow& window() { return windows.mainWindow(); }
    QTreeWidget& tree() { return *window().tableTree(); }

    // The tree as lines "key|text", children indented by two blanks.
    QStringList treeLines() {
        QStringList lines;
        for (QTreeWidgetItemIterator it(&tree()); *it; ++it)
            lines << QString((*it)->parent() ? "  " : "") + NodeKey(**it) + "|" + (*it)->text(0);
        return lines;
    }

    void pressOk(const QString& path) {
        dialog().databasePathBox()->setText(path);
        dialog().okButton()->click();
    }

    QStringList messageTexts() const {
        QStringList texts;
        for (const auto& m : prompts.messages()) texts << m.text;
        return texts;
    }

    void wrongThenRightPassword(const QString& path, const QString& right);

    QTemporaryDir dir;
    ui::ScriptedPrompts prompts;
    Windows windows{prompts};
};

// The password box follows the check box and empties when unchecked.
TEST_F(OpenDatabaseDialogTest, PasswordBoxFollowsTheCheckBoxAndEmptiesWhenUnchecked) {
    OpenDatabaseDialog& s = dialog();
    EXPECT_FALSE(s.passwordBox()->isEnabled());
    s.passwordCheck()->setChecked(true);
    EXPECT_TRUE(s.passwordBox()->isEnabled());
    EXPECT_TRUE(ReadDatabaseChoice(s).passwordProtected);
    s.passwordBox()->setText(" secret ");
    EXPECT_EQ(ReadDatabaseChoice(s).password, " secret ");  // trimmed only when used

    s.passwordCheck()->setChecked(false);
    EXPECT_FALSE(s.passwordBox()->isEnabled());
    EXPECT_TRUE(s.passwordBox()->text().isEmpty());
    EXPECT_FALSE(ReadDatabaseChoice(s).passwordProtected);

    s.passwordCheck()->click();  // as the user does it
    EXPECT_TRUE(s.passwordBox()->isEnabled());
    EXPECT_TRUE(s.passwordBox()->text().isEmpty());
}

TEST_F(OpenDatabaseDialogTest, EscapeAndEnterPressNeitherButtonAndOkWithNoPathAsksForOne) {
    OpenDatabaseDialog& s = dialog();
    s.show();
    for (QWidget* target :
         std::initializer_list<QWidget*>{s.databasePathBox(), s.okButton(), s.cancelButton()}) {
        for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
            for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
                QKeyEvent event(type, key, Qt::NoModifier);
                QCoreApplication::sendEvent(target, &event);
            }
        }
    }
    EXPECT_TRUE(windows.isLoaded(Window::OpenDatabaseDialog));
    EXPECT_TRUE(s.isVisible());
    EXPECT_TRUE(prompts.messages().empty());  // OK with the empty path says so:

    s.okButton()->click();
    EXPECT_EQ(messageTexts(), QStringList{kNoPath});
    EXPECT_TRUE(s.isVisible());
    EXPECT_EQ(tree().topLevelItemCount(), 0);
}

TEST_F(OpenDatabaseDialogTest, BrowseCopiesTheCommonDialogsNameAlsoOnCancelAndCancelDiscardsAll) {
    OpenDatabaseDialog& s = dialog();
    s.databasePathBox()->setText("typed by hand");
    prompts.queueFile(std::nullopt);  // cancel before any choice
    prompts.queueFile(QStringLiteral("/data/first.mdb"));
    prompts.queueFile(std::nullopt);  // cancel keeps the earlier choice

    s.browseButton()->click();
    EXPECT_TRUE(s.databasePathBox()->text().isEmpty());
    s.browseButton()->click();
    EXPECT_EQ(s.databasePathBox()->text(), "/data/first.mdb");
    s.databasePathBox()->setText("/elsewhere.mdb");
    s.browseButton()->click();
    EXPECT_EQ(s.databasePathBox()->text(), "/data/first.mdb");

    ASSERT_EQ(prompts.fileDialogs().size(), 3u);
    EXPECT_EQ(prompts.fileDialogs()[0].fileName, "");
    EXPECT_EQ(prompts.fileDialogs()[2].fileName, "/data/first.mdb");  // opens with the last choice

    // Cancel discards the choice: a later read loads an empty dialog.
    s.passwordCheck()->setChecked(true);
    s.passwordBox()->setText("pw");
    s.cancelButton()->click();
    EXPECT_FALSE(windows.isLoaded(Window::OpenDatabaseDialog));
    const DatabaseChoice later = ReadDatabaseChoice(windows);
    EXPECT_EQ(std::tie(later.path, later.passwordProtected, later.password), std::tuple("", false, ""));
}

// OK fills the tree with what the catalogue run lists, in its order, under the expanded root. A failed open
// shows the provider's text and leaves the root alone: the tree is emptied first, also by a successful open.
TEST_F(OpenDatabaseDialogTest, OkListsTheCatalogueAndAFailedOpenLeavesTheRootAlone) {
    const std::string path = fx::WriteFixtureInto("catalogue", dir.path().toStdString()).string();
    const QString qpath = QString::fromStdString(path);
    dialog().show();
    pressOk(qpath);
    EXPECT_TRUE(prompts.messages().empty()) << messageTexts().join('\n').toStdString();
    EXPECT_FALSE(dialog().isVisible());  // hidden, yet loaded and holding the choice
    EXPECT_EQ(ReadDatabaseChoice(windows).path, path);
    EXPECT_EQ(window().databasePath, qpath);

    QStringList expected{"NorrinT|" + qpath};
    for (const CatalogueEntry& e : ListTables(DatabaseChoice{path, false, ""}))
        expected << "  " + QString::fromStdString(e.key) + "|" + QString::fromStdString(e.name);
    EXPECT_EQ(treeLines(), expected);
    EXPECT_TRUE(expected.contains("  T_Dup#2|Dup"));
    EXPECT_TRUE(tree().topLevelItem(0)->isExpanded());

    for (const QString& bad : {dir.filePath("missing.mdb"), QStringLiteral("   ")}) {
        SCOPED_TRACE(bad.toStdString());
        const size_t before = prompts.messages().size();
        ShowHook hook(dialog(), [](int) {});
        pressOk(bad);
        ASSERT_EQ(prompts.messages().size(), before + 1);
        const QString text = prompts.messages().back().text;
        EXPECT_FALSE(text.isEmpty() || text == kNoPath || text == "Not a valid password.")
            << text.toStdString();
        EXPECT_EQ(treeLines(), QStringList{"NorrinT|" + bad});
        EXPECT_EQ(window().databasePath, bad);
        EXPECT_EQ(hook.shows, 0);  // the dialog is not shown again
        EXPECT_FALSE(dialog().isVisible());
        pressOk(qpath);
        ASSERT_EQ(treeLines(), expected);
    }
}

// The dialog is shown again after a wrong password, and the right one typed there lists the tables.
void OpenDatabaseDialogTest::wrongThenRightPassword(const QString& path, const QString& right) {
    QStringList atRetry;  // the tree, the path, the password and the modality at the second showing

    OpenDatabaseDialog& s = dialog();
    ShowHook hook(s, [&](int n) {
        if (n == 1) {
            s.databasePathBox()->setText(path);
            s.passwordCheck()->setChecked(true);
            s.passwordBox()->setText("wrong");
            s.okButton()->click();
        } else if (n == 2) {
            atRetry = treeLines() << s.databasePathBox()->text() << s.passwordBox()->text()
                                  << (s.isModal() ? "modal" : "");
            s.passwordBox()->setText(right);
            s.okButton()->click();
        } else {
            ADD_FAILURE() << "shown " << n << " times";
            s.cancelButton()->click();
        }
    });
    QTimer::singleShot(20000, &window(), [&] {
        ADD_FAILURE() << "the dialog is still waiting";
        windows.unload(Window::OpenDatabaseDialog);
    });

    window().openFileAction()->trigger();  // the Open command returns once the dialog is hidden for good

    EXPECT_EQ(hook.shows, 2);
    EXPECT_EQ(messageTexts(), QStringList{"Not a valid password."});
    EXPECT_EQ(atRetry, (QStringList{"NorrinT|" + path, path, "wrong", "modal"}));
    ASSERT_TRUE(windows.isLoaded(Window::OpenDatabaseDialog));
    EXPECT_FALSE(s.isVisible());
    EXPECT_EQ(ReadDatabaseChoice(s).password, right.toStdString());
    ASSERT_EQ(tree().topLevelItemCount(), 1);
    EXPECT_GT(tree().topLevelItem(0)->childCount(), 0);
}

TEST_F(OpenDatabaseDialogTest, WrongPasswordShowsTheDialogAgainAndARightOneListsTheTables) {
    wrongThenRightPassword(
        QString::fromStdString(fx::WriteFixtureInto("password", dir.path().toStdString()).string()),
        QString::fromLatin1(fx::kFixturePassword));
}

// An Access 2007+ file with Office encryption takes the same road.
TEST_F(OpenDatabaseDialogTest, WrongPasswordOnAnEncryptedAccdbShowsTheDialogAgain) {
    if (tabvert::test::SamplesDir().empty()) GTEST_SKIP() << "no sample databases";
    wrongThenRightPassword(
        QString::fromStdString((tabvert::test::SamplesDir() / "db2013-enc.accdb").string()), "1234");
}

// The menu's Open command is driven above; the toolbar's waits for the dialog the same way.
TEST_F(OpenDatabaseDialogTest, ToolbarOpenWaitsForTheModalDialog) {
    bool modal = false;
    bool returned = false;
    OpenDatabaseDialog& s = dialog();
    ShowHook hook(s, [&](int) {
        modal = s.windowModality() == Qt::ApplicationModal && s.isVisible();
        EXPECT_FALSE(returned);
        s.cancelButton()->click();
    });
    window().toolbarButton(1)->click();
    returned = true;
    EXPECT_EQ(hook.shows, 1);
    EXPECT_TRUE(modal);
    EXPECT_FALSE(windows.isLoaded(Window::OpenDatabaseDialog));
}

}  // namespace
}  // namespace tabvert::database
