// The open-database dialog and the catalogue as the user drives them: buttons, keys, Browse through the
// main window's common dialog, the Open command, the tree after success and after each kind of failure,
// and the password retry through a second showing of the dialog.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <functional>

#include "database/catalogue.h"
#include "database/catalogue_tree.h"
#include "database/start.h"
#include "fixtures/fixture_set.h"
#include "platform/ui/prompts.h"
#include "shell/forms.h"
#include "shell/tabvert.h"

namespace tabvert::database {
namespace {

namespace fx = tabvert::fixtures;
using shell::Forms;

const QString kNoPath = QStringLiteral(
    "Please Select Required Access Database file from your computer and then click on OK button");

// Runs `onShow(n)` shortly after the n-th showing of a widget, once the showing (and a modal loop) is
// under way.
class ShowHook : public QObject {
public:
    ShowHook(QWidget& widget, std::function<void(int)> onShow) : onShow_(std::move(onShow)) {
        widget.installEventFilter(this);
    }
    int shows() const { return shows_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            const int n = ++shows_;
            QTimer::singleShot(0, this, [this, n] { onShow_(n); });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(int)> onShow_;
    int shows_ = 0;
};

class StartTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    Start& start() { return forms.start(); }
    shell::Tabvert& window() { return forms.tabvert(); }
    QTreeWidget& tree() { return *window().TreeView1(); }

    // The tree as lines "key|text", children indented by two blanks.
    QStringList treeLines() {
        QStringList lines;
        for (int i = 0; i < tree().topLevelItemCount(); ++i) {
            const QTreeWidgetItem* root = tree().topLevelItem(i);
            lines << NodeKey(*root) + "|" + root->text(0);
            for (int j = 0; j < root->childCount(); ++j)
                lines << "  " + NodeKey(*root->child(j)) + "|" + root->child(j)->text(0);
        }
        return lines;
    }

    void pressOk(const QString& path) {
        start().txtDB()->setText(path);
        start().OKButton()->click();
    }

    QStringList messageTexts() const {
        QStringList texts;
        for (const auto& m : prompts.messages()) texts << m.text;
        return texts;
    }

    QTemporaryDir dir;
    ui::ScriptedPrompts prompts;
    Forms forms{prompts};
};

// Other forms and the runs find the controls by name; a fresh dialog holds an empty choice.
TEST_F(StartTest, LoadsEmptyUncheckedDisabledAndLightGreen) {
    Start& s = start();
    for (const char* name : {"OKButton", "CancelButton", "Frame1", "Label1", "txtDB", "Command1", "pwdcheck",
                             "Label2", "Label3", "password"})
        EXPECT_NE(s.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    const DatabaseChoice fresh = ReadDatabaseChoice(s);
    EXPECT_EQ(fresh.path, "");
    EXPECT_EQ(fresh.pwdcheck, 0);
    EXPECT_FALSE(s.password()->isEnabled());

    const QColor green(202, 255, 126);
    for (QWidget* w :
         std::initializer_list<QWidget*>{&s, s.Frame1(), s.Label1(), s.Label2(), s.Label3(), s.pwdcheck()}) {
        EXPECT_EQ(w->palette().color(QPalette::Window), green) << w->objectName().toStdString();
        EXPECT_TRUE(w->autoFillBackground()) << w->objectName().toStdString();
    }
    EXPECT_EQ(s.password()->palette().color(QPalette::Base), QColor(218, 235, 194));
}

TEST_F(StartTest, PasswordBoxFollowsTheCheckBoxAndEmptiesWhenUnchecked) {
    Start& s = start();
    s.pwdcheck()->setChecked(true);
    EXPECT_TRUE(s.password()->isEnabled());
    EXPECT_EQ(s.password()->palette().color(QPalette::Base), QColor(243, 247, 236));
    EXPECT_EQ(ReadDatabaseChoice(s).pwdcheck, 1);
    s.password()->setText(" secret ");
    EXPECT_EQ(ReadDatabaseChoice(s).password, " secret ");  // trimmed only when used

    s.pwdcheck()->setChecked(false);
    EXPECT_FALSE(s.password()->isEnabled());
    EXPECT_TRUE(s.password()->text().isEmpty());
    EXPECT_EQ(s.password()->palette().color(QPalette::Base), QColor(218, 235, 194));
    EXPECT_EQ(ReadDatabaseChoice(s).pwdcheck, 0);

    s.pwdcheck()->click();  // as the user does it
    EXPECT_TRUE(s.password()->isEnabled());
    EXPECT_TRUE(s.password()->text().isEmpty());
}

TEST_F(StartTest, EscapeAndEnterPressNeitherButton) {
    Start& s = start();
    s.show();
    for (QWidget* target : std::initializer_list<QWidget*>{s.txtDB(), s.OKButton(), s.CancelButton()}) {
        for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &press);
            QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &release);
        }
    }
    EXPECT_TRUE(forms.isLoaded(Forms::Form::start));
    EXPECT_TRUE(s.isVisible());
    EXPECT_TRUE(prompts.messages().empty());  // OK with the empty path would have said so
}

TEST_F(StartTest, OkWithEmptyPathAsksForAFileAndStays) {
    Start& s = start();
    s.show();
    s.OKButton()->click();
    ASSERT_EQ(prompts.messages().size(), 1u);
    const ui::MessageRequest& m = prompts.messages().front();
    EXPECT_EQ(m.text, kNoPath);
    EXPECT_EQ(m.title, "Norrin Tabvert 4.0");
    EXPECT_EQ(m.buttons, ui::Buttons::Ok);
    EXPECT_EQ(m.icon, ui::Icon::None);
    EXPECT_TRUE(s.isVisible());
    EXPECT_EQ(tree().topLevelItemCount(), 0);
}

TEST_F(StartTest, BrowseCopiesTheCommonDialogsNameAlsoOnCancel) {
    Start& s = start();
    s.txtDB()->setText("typed by hand");
    prompts.queueFile(std::nullopt);  // cancel before any choice
    prompts.queueFile(QStringLiteral("/data/first.mdb"));
    prompts.queueFile(std::nullopt);  // cancel keeps the earlier choice

    s.Command1()->click();
    EXPECT_TRUE(s.txtDB()->text().isEmpty());
    s.Command1()->click();
    EXPECT_EQ(s.txtDB()->text(), "/data/first.mdb");
    s.txtDB()->setText("/elsewhere.mdb");
    s.Command1()->click();
    EXPECT_EQ(s.txtDB()->text(), "/data/first.mdb");
    EXPECT_EQ(s.fileName(), "/data/first.mdb");

    ASSERT_EQ(prompts.fileDialogs().size(), 3u);
    for (const auto& request : prompts.fileDialogs()) {
        EXPECT_EQ(request.kind, ui::FileDialogKind::Open);
        EXPECT_EQ(request.filter,
                  "Select Access Database (*.mdb)|*.mdb| Access Database(*.mde)|*.mde| Access Database "
                  "2007-2010 (*.accdb)|*.accdb| All files (*.*)|*.*  ");
    }
    EXPECT_EQ(prompts.fileDialogs()[0].fileName, "");
    EXPECT_EQ(prompts.fileDialogs()[2].fileName, "/data/first.mdb");  // opens with the last choice
}

TEST_F(StartTest, CancelDiscardsTheChoiceAndALaterReadLoadsAnEmptyDialog) {
    Start& s = start();
    s.txtDB()->setText("/data/a.mdb");
    s.pwdcheck()->setChecked(true);
    s.password()->setText("pw");
    s.CancelButton()->click();
    EXPECT_FALSE(forms.isLoaded(Forms::Form::start));
    const DatabaseChoice later = ReadDatabaseChoice(forms);
    EXPECT_EQ(later.path, "");
    EXPECT_EQ(later.pwdcheck, 0);
    EXPECT_EQ(later.password, "");
}

// OK fills the tree with what the catalogue run lists, in its order, under the expanded root.
TEST_F(StartTest, OkListsTheCatalogueUnderTheRootAndKeepsTheChoice) {
    const std::string path = fx::WriteFixtureInto("catalogue", dir.path().toStdString()).string();
    const QString qpath = QString::fromStdString(path);
    start().show();
    pressOk(qpath);
    EXPECT_TRUE(prompts.messages().empty()) << messageTexts().join('\n').toStdString();
    EXPECT_FALSE(start().isVisible());  // hidden, yet loaded and holding the choice
    EXPECT_EQ(ReadDatabaseChoice(forms).path, path);
    EXPECT_EQ(window().dbpath, qpath);

    QStringList expected{"NorrinT|" + qpath};
    for (const CatalogueEntry& e : ListTables(DatabaseChoice{path, 0, ""}))
        expected << "  " + QString::fromStdString(e.key) + "|" + QString::fromStdString(e.name);
    EXPECT_GT(expected.size(), 10);
    EXPECT_EQ(treeLines(), expected);
    const QTreeWidgetItem* root = FindNodeByKey(tree(), "NorrinT");
    ASSERT_NE(root, nullptr);
    EXPECT_TRUE(root->isExpanded());
    EXPECT_FALSE(root->icon(0).isNull());
    const QTreeWidgetItem* dup2 = FindNodeByKey(tree(), "T_Dup#2");
    ASSERT_NE(dup2, nullptr);
    EXPECT_EQ(dup2->text(0), "Dup");
    EXPECT_EQ(dup2->parent(), root);
    EXPECT_FALSE(dup2->icon(0).isNull());
}

TEST_F(StartTest, FailedOpensShowTheProviderTextAndLeaveTheRootAlone) {
    // First a database with tables, so that each failure also shows the tree was emptied first.
    const QString good =
        QString::fromStdString(fx::WriteFixtureInto("northwind-lite", dir.path().toStdString()).string());
    for (const QString& path : {dir.filePath("missing.mdb"), QStringLiteral("   ")}) {
        SCOPED_TRACE(path.toStdString());
        pressOk(good);
        ASSERT_EQ(tree().topLevelItemCount(), 1);
        ASSERT_GT(tree().topLevelItem(0)->childCount(), 0);

        const size_t before = prompts.messages().size();
        ShowHook hook(start(), [](int) {});
        pressOk(path);
        ASSERT_EQ(prompts.messages().size(), before + 1);
        const ui::MessageRequest& m = prompts.messages().back();
        EXPECT_FALSE(m.text.isEmpty());
        EXPECT_NE(m.text, kNoPath);
        EXPECT_NE(m.text, "Not a valid password.");
        EXPECT_EQ(m.title, "Norrin Tabvert 4.0");
        EXPECT_EQ(m.buttons, ui::Buttons::Ok);
        EXPECT_EQ(m.icon, ui::Icon::None);
        EXPECT_EQ(treeLines(), QStringList{"NorrinT|" + path});
        EXPECT_EQ(window().dbpath, path);
        EXPECT_EQ(hook.shows(), 0);  // the dialog is not shown again
        EXPECT_FALSE(start().isVisible());
    }
}

TEST_F(StartTest, WrongPasswordShowsTheDialogAgainAndARightOneListsTheTables) {
    const auto path =
        QString::fromStdString(fx::WriteFixtureInto("password", dir.path().toStdString()).string());
    const QString right = QString::fromLatin1(fx::kFixturePassword);
    QStringList treeAtRetry;
    QString pathAtRetry;
    QString passwordAtRetry;
    bool modalAtRetry = false;

    Start& s = start();
    ShowHook hook(s, [&](int n) {
        if (n == 1) {
            s.txtDB()->setText(path);
            s.pwdcheck()->setChecked(true);
            s.password()->setText("wrong");
            s.OKButton()->click();
        } else if (n == 2) {
            treeAtRetry = treeLines();
            pathAtRetry = s.txtDB()->text();
            passwordAtRetry = s.password()->text();
            modalAtRetry = s.isModal();
            s.password()->setText(right);
            s.OKButton()->click();
        } else {
            ADD_FAILURE() << "shown " << n << " times";
            s.CancelButton()->click();
        }
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        ADD_FAILURE() << "the dialog is still waiting";
        forms.unload(Forms::Form::start);
    });
    watchdog.start(20000);

    window().openfile()->trigger();  // the Open command returns once the dialog is hidden for good

    EXPECT_EQ(hook.shows(), 2);
    EXPECT_EQ(messageTexts(), QStringList{"Not a valid password."});
    EXPECT_EQ(treeAtRetry, QStringList{"NorrinT|" + path});
    EXPECT_EQ(pathAtRetry, path);
    EXPECT_EQ(passwordAtRetry, "wrong");
    EXPECT_TRUE(modalAtRetry);
    ASSERT_TRUE(forms.isLoaded(Forms::Form::start));
    EXPECT_FALSE(s.isVisible());
    EXPECT_EQ(ReadDatabaseChoice(s).password, right.toStdString());
    ASSERT_EQ(tree().topLevelItemCount(), 1);
    EXPECT_GT(tree().topLevelItem(0)->childCount(), 0);
}

TEST_F(StartTest, OpenCommandFromMenuAndToolbarWaitsForTheDialog) {
    const std::function<void()> commands[] = {
        [&] { window().openfile()->trigger(); },
        [&] { window().Toolbar1Button(1)->click(); },
    };
    for (const auto& command : commands) {
        bool modal = false;
        bool returned = false;
        Start& s = start();
        ShowHook hook(s, [&](int) {
            modal = s.windowModality() == Qt::ApplicationModal && s.isVisible();
            EXPECT_FALSE(returned);
            s.CancelButton()->click();
        });
        command();
        returned = true;
        EXPECT_EQ(hook.shows(), 1);
        EXPECT_TRUE(modal);
        EXPECT_FALSE(forms.isLoaded(Forms::Form::start));
    }
}

}  // namespace
}  // namespace tabvert::database
