// What a desktop user expects of the windows beyond their layout: the window stays painted during an
// export and a close request then asks whether to stop it, whole table names in the tree, previews from
// the keyboard, message boxes wide enough for their title, file filters that show their patterns once,
// dialogs kept with the main window, lists that keep their own colours, a new database's tree shown
// from its root, a main window of fixed size that no window manager offers to maximise.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>
#include <filesystem>
#include <memory>

#include "core/export/export_run.h"
#include "core/export/export_target.h"
#include "gui/app_title.h"
#include "gui/common_dialog.h"
#include "gui/list_view.h"
#include "gui/main_window.h"
#include "gui/open_database_dialog.h"
#include "gui/platform/centre.h"
#include "gui/platform/prompts.h"
#include "gui/windows.h"
#include "support/export_test_support.h"

namespace tabvert::shell {
namespace {

namespace fs = std::filesystem;
using exporting::test::NumberedTable;

// Counts the paint events a widget receives while the export frame is showing.
class PaintsDuringRun : public QObject {
  public:
    PaintsDuringRun(QWidget& watched, const QWidget& frame) : frame_(frame) {
        watched.installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && frame_.isVisible()) ++count;
        return false;
    }
    int count = 0;

  private:
    const QWidget& frame_;
};

class WindowConventions : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        windows_ = std::make_unique<Windows>(prompts_);
        Window().show();
    }
    MainWindow& Window() { return windows_->mainWindow(); }
    fs::path Root() const { return dir_.path().toStdString(); }

    // Three tables whose long names differ only at the end, of 1, 2 and 3 rows.
    void OpenLongNames() {
        fixtures::Database db;
        for (int i = 1; i <= 3; ++i)
            db.tables.push_back(NumberedTable(LongName(i), static_cast<std::size_t>(i)));
        const fs::path path = exporting::test::WriteDb(db, Root() / "long.mdb");
        windows_->OpenDatabaseDialog().DatabasePathBox()->setText(QString::fromStdString(path.string()));
        Window().OpenDatabase();
        ASSERT_EQ(Window().tableTree()->topLevelItem(0)->childCount(), 3);
    }
    static std::string LongName(int i) {
        return "Quarterly_sales_by_region_and_product_line_" + std::to_string(2020 + i);
    }

    QTemporaryDir dir_;
    ui::ScriptedPrompts prompts_;
    std::unique_ptr<Windows> windows_;
};

TEST_F(WindowConventions, ExportKeepsThePaintingGoingAndAClosingRequestAsksWhetherToStopIt) {
    OpenLongNames();
    Window().ClickTreeNode(Window().tableTree()->topLevelItem(0)->child(2));  // rows the run clears
    ASSERT_EQ(Window().PreviewList()->ItemCount(), 3);
    QApplication::processEvents();
    PaintsDuringRun paints(*Window().PreviewList()->viewport(), *Window().ExportFrame());
    // A close request from the window manager that arrives once the run has begun.
    QCoreApplication::postEvent(&Window(), new QCloseEvent);
    prompts_.QueueFile(QString::fromStdString((Root() / "out.xlsx").string()));
    prompts_.QueueAnswer(ui::Answer::No);  // "Stop the export?": no, go on
    Window().ClickExport();

    // The preview the run emptied was repainted while the run went on.
    EXPECT_GT(paints.count, 0);
    // The close asked whether to stop the run, in the middle of it; No let it finish and keeps the
    // window, with no exit question after it.
    ASSERT_EQ(prompts_.Messages().size(), 2u);
    EXPECT_EQ(prompts_.Messages()[0].text, "Stop the export? Nothing will be written.");
    EXPECT_EQ(prompts_.Messages()[1].text.toStdString().rfind(exporting::kCompletedText, 0), 0u);
    EXPECT_TRUE(prompts_.AllAnswersUsed());
    EXPECT_TRUE(Window().isVisible());
    EXPECT_TRUE(windows_->IsLoaded(Windows::Window::OpenDatabaseDialog));
    EXPECT_TRUE(fs::exists(Root() / "out.xlsx"));
}

TEST_F(WindowConventions, TreeShowsWholeNamesAndScrollsSideways) {
    OpenLongNames();
    QTreeWidget& tree = *Window().tableTree();
    QApplication::processEvents();
    const QTreeWidgetItem& first = *tree.topLevelItem(0)->child(0);
    for (int i = 0; i < 3; ++i) {
        const QTreeWidgetItem& node = *tree.topLevelItem(0)->child(i);
        EXPECT_EQ(node.toolTip(0), node.text(0));
        const int textWidth = tree.fontMetrics().horizontalAdvance(node.text(0));
        EXPECT_GE(tree.visualItemRect(&node).width(), textWidth) << node.text(0).toStdString();
    }
    EXPECT_GT(tree.horizontalScrollBar()->maximum(), 0);
    EXPECT_GT(tree.visualItemRect(&first).right(), tree.viewport()->width());
}

TEST_F(WindowConventions, ANewDatabaseIsShownFromItsRoot) {
    QTreeWidget& tree = *Window().tableTree();
    auto open = [&](const std::string& file) {
        fixtures::Database db;
        for (int i = 1; i <= 60; ++i) db.tables.push_back(NumberedTable(LongName(i), 1));
        const fs::path path = exporting::test::WriteDb(db, Root() / file);
        windows_->OpenDatabaseDialog().DatabasePathBox()->setText(QString::fromStdString(path.string()));
        Window().OpenDatabase();
        QApplication::processEvents();
        ASSERT_EQ(tree.topLevelItem(0)->childCount(), 60);
    };
    open("first.mdb");
    ASSERT_GT(tree.verticalScrollBar()->maximum(), 0);
    ASSERT_GT(tree.horizontalScrollBar()->maximum(), 0);
    tree.verticalScrollBar()->setValue(tree.verticalScrollBar()->maximum());
    tree.horizontalScrollBar()->setValue(tree.horizontalScrollBar()->maximum());
    QApplication::processEvents();
    ASSERT_LT(tree.visualItemRect(tree.topLevelItem(0)).bottom(), 0) << "the root scrolled out of view";

    open("second.mdb");
    EXPECT_EQ(tree.verticalScrollBar()->value(), 0);
    EXPECT_EQ(tree.horizontalScrollBar()->value(), 0);
    const QRect root = tree.visualItemRect(tree.topLevelItem(0));
    EXPECT_EQ(root.top(), 0);
    EXPECT_TRUE(tree.viewport()->rect().contains(root.topLeft()));
    EXPECT_TRUE(tree.topLevelItem(0)->text(0).endsWith(QStringLiteral("second.mdb")));
}

TEST_F(WindowConventions, MainWindowHasAFixedSizeSoNoWindowManagerOffersToMaximiseIt) {
    MainWindow& w = Window();
    const QSize designed = w.size();
    EXPECT_EQ(designed.width(), 688);
    EXPECT_EQ(w.minimumSize(), designed);
    EXPECT_EQ(w.maximumSize(), designed);
    // The hints the window manager is given.
    ASSERT_NE(w.windowHandle(), nullptr);
    EXPECT_EQ(w.windowHandle()->minimumSize(), w.windowHandle()->maximumSize());
    EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    w.resize(900, 700);
    QApplication::processEvents();
    EXPECT_EQ(w.size(), designed);
}

TEST_F(WindowConventions, KeyboardPreviewsTheNodeItLandsOn) {
    OpenLongNames();
    QTreeWidget& tree = *Window().tableTree();
    ListView& list = *Window().PreviewList();
    tree.setFocus();
    tree.setCurrentItem(tree.topLevelItem(0));
    QTest::keyClick(&tree, Qt::Key_Down);
    EXPECT_EQ(list.ItemCount(), 1);  // the first table
    QTest::keyClick(&tree, Qt::Key_Down);
    EXPECT_EQ(list.ItemCount(), 2);
    for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return}) {
        list.ClearItems();
        QTest::keyClick(&tree, key);
        EXPECT_EQ(list.ItemCount(), 2) << "read again on key " << key;
    }
    // Held down, the arrow passes the third table without reading it; letting go previews it.
    list.ClearItems();
    QKeyEvent repeatedPress(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier, QString(), true);
    QKeyEvent repeatedRelease(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(&tree, &repeatedPress);
    QApplication::sendEvent(&tree, &repeatedRelease);
    EXPECT_EQ(list.ItemCount(), 0);
    QTest::keyRelease(&tree, Qt::Key_Down);
    EXPECT_EQ(list.ItemCount(), 3);
    EXPECT_TRUE(prompts_.Messages().empty());
}

TEST_F(WindowConventions, ListsKeepTheirOwnColoursBesideTheirContent) {
    ListView& list = *Window().PreviewList();
    list.AddColumn(QStringLiteral("Narrow"));
    list.SetColumnWidthAt(1, 40);
    for (int i = 0; i < 200; ++i) list.AddItem(QStringLiteral("row"));
    list.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QApplication::processEvents();
    const QImage shot = list.grab().toImage();
    const QColor green(202, 255, 126);
    // The header beyond the only column, and the corner between the two scroll bars.
    const QPoint headerEnd(list.header()->width() - 5, list.header()->height() / 2 + list.header()->y());
    const QPoint corner(list.width() - list.verticalScrollBar()->width() / 2 - 2,
                        list.height() - list.horizontalScrollBar()->height() / 2 - 2);
    EXPECT_NE(shot.pixelColor(headerEnd), green);
    EXPECT_NE(shot.pixelColor(corner), green);
    // The window itself is still green where nothing covers it.
    EXPECT_EQ(Window().palette().color(QPalette::Window), green);
}

TEST_F(WindowConventions, OpenDialogIsAFixedDialogKeptWithTheMainWindow) {
    database::OpenDatabaseDialog& dialog = windows_->OpenDatabaseDialog();
    dialog.show();
    QApplication::processEvents();
    ASSERT_NE(dialog.windowHandle(), nullptr);
    EXPECT_EQ(dialog.windowHandle()->transientParent(), Window().windowHandle());
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint) && flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint) ||
                 flags.testFlag(Qt::WindowMinimizeButtonHint));
    dialog.hide();
}

TEST(WindowPlacement, TheFrameIsCentredWhetherTheWindowManagerHasFramedTheWindowOrNot) {
    const QRect screen(0, 0, 1024, 768);
    const QSize client(515, 225);
    const QMargins frame(1, 20, 1, 1);
    const QPoint placed = ui::CentredClientPosition(client, frame, screen);
    const QRect frameRect(placed - QPoint(frame.left(), frame.top()), client.grownBy(frame));
    EXPECT_LE((frameRect.center() - screen.center()).manhattanLength(), 1);
    // Without a frame the client itself is centred.
    EXPECT_EQ(QRect(ui::CentredClientPosition(client, {}, screen), client).center(), screen.center());
}

TEST(MessageBoxes, AreWideEnoughForTheirTitleAndStayWithTheirWindow) {
    QWidget owner;
    owner.show();
    auto prompts = ui::MakeQtPrompts();
    int width = 0;
    bool keptWithOwner = false;
    Qt::WindowFlags flags;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        width = box->width();
        keptWithOwner = box->windowHandle() && box->windowHandle()->transientParent() == owner.windowHandle();
        flags = box->windowFlags();
        static_cast<QMessageBox*>(box)->accept();
    });
    const QString title = QString::fromUtf8(AppTitle);
    prompts->Message(&owner,
                     ui::MessageRequest{QStringLiteral("Done."), title, ui::Buttons::Ok, ui::Icon::None, {}});
    QFont bold = QApplication::font();
    bold.setBold(true);
    // The title, and room beside it for a window icon and at least three title-bar buttons.
    EXPECT_GE(width, QFontMetrics(bold).horizontalAdvance(title) + 4 * 16);
    EXPECT_TRUE(keptWithOwner);
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint) ||
                 flags.testFlag(Qt::WindowMinimizeButtonHint));
}

TEST(FileDialogFilters, ShowEachPatternOnceAndAllFilesMatchEveryFile) {
    const struct {
        const char* filter;
        QStringList expected;
    } cases[] = {
        {"Select Access Database (*.mdb)|*.mdb| Access Database(*.mde)|*.mde| Access Database 2007-2010 "
         "(*.accdb)|*.accdb| All files (*.*)|*.*  ",
         {"Select Access Database (*.mdb)", "Access Database (*.mde)", "Access Database 2007-2010 (*.accdb)",
          "All files (*)"}},
        {exporting::kSaveDialogFilter,
         {"Select excel file (*.xls)", "Excel 2007-2010 (*.xlsx)", "All files (*)"}},
        {"Text|*.txt;*.csv|Other (*.dat)|*.bin", {"Text (*.txt *.csv)", "Other (*.dat) (*.bin)"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ui::ToQtFilters(QString::fromUtf8(c.filter)), c.expected) << c.filter;

    // The extension of the chosen type, for the name typed without one.
    ui::ScriptedPrompts prompts;
    CommonDialog dialog(prompts, nullptr);
    dialog.Filter = QString::fromUtf8(exporting::kSaveDialogFilter);
    const std::pair<int, const char*> chosen[] = {{1, "xls"}, {2, "xlsx"}, {3, ""}, {4, ""}};
    for (const auto& [index, extension] : chosen) {
        dialog.FilterIndex = index;
        EXPECT_EQ(dialog.FilterExtension(), extension) << index;
    }
}

}  // namespace
}  // namespace tabvert::shell
