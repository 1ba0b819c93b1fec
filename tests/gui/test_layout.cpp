// The main window as created (controls by name, states, menus, toolbar, layout under resizing), the
// window registry, and the small components the main window owns.

#include <gtest/gtest.h>

#include <QAction>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>

#include "gui/auto_size_label.h"
#include "gui/image_list.h"
#include "gui/list_view.h"
#include "gui/main_window.h"
#include "gui/pictures.h"
#include "gui/platform/prompts.h"
#include "gui/splash_screen.h"
#include "gui/windows.h"

namespace tabvert::shell {
namespace {

using Window = Windows::Window;

class MainWindowLayout : public ::testing::Test {
  protected:
    ui::ScriptedPrompts prompts;
    Windows windows{prompts};
    MainWindow& w = windows.mainWindow();
};

TEST_F(MainWindowLayout, EveryControlIsFoundByItsName) {
    const std::pair<const char*, QObject*> controls[] = {
        {"Toolbar1", w.Toolbar()},
        {"TreeView1", w.tableTree()},
        {"ListView1", w.PreviewList()},
        {"Label1", w.TableTreeHeading()},
        {"Label2", w.PreviewHeading()},
        {"Frame1", w.ExportFrame()},
        {"Label3", w.CurrentTableCaption()},
        {"Label4", w.CurrentRecordCaption()},
        {"Label5", w.CurrentTableLabel()},
        {"Label6", w.CurrentRecordLabel()},
        {"ProgressBar1", w.ProgressBar()},
        {"txtEXL", w.TargetPathBox()},
        {"Picture1", w.ToolbarPicture()},
        {"StatusBar1", w.statusBar()},
        {"File", w.FileMenu()},
        {"help", w.HelpMenu()},
        {"openfile", w.OpenFileAction()},
        {"ExporttoExcel", w.ExportAction()},
        {"Exit", w.ExitAction()},
        {"helpcontent", w.HelpContentAction()},
        {"aboutus", w.AboutAction()},
    };
    for (const auto& [name, control] : controls) {
        ASSERT_NE(control, nullptr) << name;
        EXPECT_EQ(w.findChild<QObject*>(QString::fromUtf8(name)), control) << name;
    }
    EXPECT_EQ(w.objectName(), "tabvert");
    // The progress labels live inside the frame, so the frame clips and hides them with it.
    for (QWidget* label : std::initializer_list<QWidget*>{w.CurrentTableCaption(), w.CurrentRecordCaption(),
                                                          w.CurrentTableLabel(), w.CurrentRecordLabel()})
        EXPECT_EQ(label->parentWidget(), w.ExportFrame()) << label->objectName().toStdString();
}

TEST_F(MainWindowLayout, StartsEmptyWithHelpersHiddenAndTheRestShown) {
    EXPECT_EQ(w.tableTree()->topLevelItemCount(), 0);
    EXPECT_EQ(w.PreviewList()->ItemCount(), 0);
    EXPECT_EQ(w.PreviewList()->ColumnCount(), 0);
    EXPECT_EQ(w.ProgressBar()->minimum(), 0);
    EXPECT_EQ(w.ProgressBar()->maximum(), 100);
    EXPECT_EQ(w.ProgressBar()->value(), 0);
    EXPECT_TRUE(w.TargetPathBox()->text().isEmpty());
    EXPECT_TRUE(w.databasePath.isEmpty());

    w.show();
    EXPECT_TRUE(w.TargetPathBox()->isHidden());
    EXPECT_TRUE(w.ToolbarPicture()->isHidden());
    for (QWidget* shown :
         std::initializer_list<QWidget*>{w.tableTree(), w.PreviewList(), w.TableTreeHeading(),
                                         w.PreviewHeading(), w.ProgressBar(), w.statusBar(), w.Toolbar()})
        EXPECT_TRUE(shown->isVisibleTo(&w)) << shown->objectName().toStdString();
    // The status text stays while a temporary message (a menu tip) is shown.
    w.statusBar()->showMessage(QStringLiteral("a passing tip"));
    EXPECT_TRUE(w.StatusText()->isVisibleTo(&w));
}

TEST_F(MainWindowLayout, MenusHaveAccessKeysButNoShortcuts) {
    const QList<QAction*> menus = w.menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->menu(), w.FileMenu());
    EXPECT_EQ(menus[1]->menu(), w.HelpMenu());
    for (QMenu* menu : {w.FileMenu(), w.HelpMenu()})
        for (QAction* item : menu->actions())
            EXPECT_TRUE(item->shortcut().isEmpty()) << item->text().toStdString();
    // In the File menu, E is the access key of two items and O of one.
    auto accessKeyCount = [&](char key) {
        return std::ranges::count_if(w.FileMenu()->actions(), [key](QAction* item) {
            return QKeySequence::mnemonic(item->text()) == QKeySequence(Qt::ALT | QChar(key).unicode());
        });
    };
    EXPECT_EQ(accessKeyCount('E'), 2);
    EXPECT_EQ(accessKeyCount('O'), 1);
}

TEST_F(MainWindowLayout, ToolbarButtonsShowTheirOwnPictureLeftToRightByIndex) {
    ASSERT_EQ(w.ToolbarButtonCount(), 3);
    EXPECT_THROW(w.ToolbarButton(0), std::out_of_range);
    EXPECT_THROW(w.ToolbarButton(4), std::out_of_range);
    w.show();
    QCoreApplication::processEvents();
    int previousRight = -1;
    for (int index = 1; index <= 3; ++index) {
        QToolButton* button = w.ToolbarButton(index);
        EXPECT_TRUE(w.Toolbar()->rect().contains(button->geometry())) << "button " << index << " is cut off";
        EXPECT_GT(button->x(), previousRight);
        previousRight = button->geometry().right();
        const QImage shown =
            button->icon().pixmap(QSize(66, 63)).toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage listed =
            w.ToolbarIcons().Picture(index).toImage().convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(shown, listed) << "button " << index;
    }
}

TEST_F(MainWindowLayout, ResizingMovesOnlyTheToolbarAndTheStatusBar) {
    w.show();
    QCoreApplication::processEvents();
    // The progress frame lies in front of the list it covers.
    w.ExportFrame()->show();
    QWidget* hit = w.centralWidget()->childAt(w.ExportFrame()->geometry().center());
    EXPECT_TRUE(hit == w.ExportFrame() || w.ExportFrame()->isAncestorOf(hit))
        << "the list must not be on top";

    const QWidget* fixed[] = {w.tableTree(),      w.PreviewList(),  w.TableTreeHeading(),
                              w.PreviewHeading(), w.ExportFrame(),  w.CurrentTableLabel(),
                              w.ProgressBar(),    w.TargetPathBox()};
    std::vector<QRect> before;
    for (const QWidget* c : fixed) before.push_back(c->geometry());
    // The window's size is fixed, but a window manager may impose another one all the same.
    w.setMinimumSize(0, 0);
    w.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    for (const QSize size : {QSize(900, 700), QSize(400, 300)}) {
        w.resize(size);
        QCoreApplication::processEvents();
        EXPECT_EQ(w.Toolbar()->width(), size.width());
        EXPECT_EQ(w.statusBar()->width(), size.width());
        EXPECT_EQ(w.statusBar()->geometry().bottom(), size.height() - 1);
        for (size_t i = 0; i < std::size(fixed); ++i)
            EXPECT_EQ(fixed[i]->geometry(), before[i]) << fixed[i]->objectName().toStdString();
    }
}

TEST_F(MainWindowLayout, ProgressLabelsFollowTheirCaptionsAndKeepTheirCorner) {
    AutoSizeLabel* label = w.CurrentTableLabel();
    const QPoint corner = label->pos();
    const int shortWidth = label->width();
    label->setText(QStringLiteral(": A table with a remarkably long name that runs past the frame"));
    EXPECT_EQ(label->size(), label->sizeHint());
    EXPECT_GT(label->geometry().right(), w.ExportFrame()->width()) << "a long caption runs past the frame";
    EXPECT_EQ(label->pos(), corner);
    label->setText(QStringLiteral(": 7"));
    EXPECT_LT(label->width(), shortWidth);
    EXPECT_EQ(label->pos(), corner);
}

TEST(ImageList, MaskColourBecomesTransparentAndIndexesStartAtOne) {
    ImageList list(QSize(4, 2), QColor(192, 192, 192));
    QImage picture(4, 2, QImage::Format_RGB32);
    picture.fill(QColor(192, 192, 192));
    picture.setPixel(1, 0, qRgb(10, 20, 30));
    picture.setPixel(2, 1, qRgb(192, 192, 191));  // near the mask colour is not the mask colour
    EXPECT_EQ(list.Add(picture), 1);
    const QImage stored = list.Picture(1).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(stored.pixel(0, 0)), 0);
    EXPECT_EQ(stored.pixel(1, 0), qRgba(10, 20, 30, 255));
    EXPECT_EQ(stored.pixel(2, 1), qRgba(192, 192, 191, 255));
    EXPECT_THROW(list.Picture(0), std::out_of_range);
    EXPECT_THROW(list.Picture(2), std::out_of_range);
}

TEST(Pictures, LoadAtTheirSizesAndTheMaskedOnesAreDrawnOnTheirMaskColour) {
    pictures::Register();
    const QColor magenta(255, 0, 255), grey(192, 192, 192);
    const struct {
        const char* path;
        QSize size;
        std::optional<QColor> mask;
    } cases[] = {
        {pictures::kIcon, {32, 32}, {}},
        {pictures::kSplash, {350, 214}, {}},
        {pictures::kAbout, {311, 304}, {}},
        {pictures::kToolbarOpen, {66, 63}, magenta},
        {pictures::kToolbarExport, {66, 63}, magenta},
        {pictures::kToolbarHelp, {66, 63}, magenta},
        {pictures::kNodeDatabase, {16, 16}, grey},
        {pictures::kNodeTable, {16, 16}, grey},
        {pictures::kToolbarBackground, {688, 66}, {}},
    };
    for (const auto& c : cases) {
        const QImage image(QString::fromUtf8(c.path));
        ASSERT_FALSE(image.isNull()) << c.path;
        EXPECT_EQ(image.size(), c.size) << c.path;
        if (!c.mask) continue;
        // The corner is background, and enough else is drawn to be seen.
        EXPECT_EQ(image.pixelColor(0, 0).rgb(), c.mask->rgb()) << c.path;
        const QImage masked = ImageList::ApplyMask(image, *c.mask);
        int opaque = 0;
        for (int y = 0; y < masked.height(); ++y)
            for (int x = 0; x < masked.width(); ++x) opaque += qAlpha(masked.pixel(x, y)) == 255;
        EXPECT_GT(opaque, masked.width() * masked.height() / 8) << c.path;
    }
    // The toolbar background is tiled: its last column must join its first without a seam.
    const QImage background(QString::fromUtf8(pictures::kToolbarBackground));
    for (int y = 0; y < background.height(); ++y) {
        const QColor left = background.pixelColor(0, y),
                     right = background.pixelColor(background.width() - 1, y);
        const int step = std::abs(left.red() - right.red()) + std::abs(left.green() - right.green()) +
                         std::abs(left.blue() - right.blue());
        EXPECT_LE(step, 12) << "row " << y;
    }
}

TEST(WindowRegistry, LoadOnFirstUseUnloadReleasesAndARefusedCloseKeepsTheWindow) {
    ui::ScriptedPrompts prompts;
    QPointer<MainWindow> mainWindow;
    {
        Windows windows(prompts);
        EXPECT_FALSE(windows.IsLoaded(Window::SplashScreen));
        QPointer<SplashScreen> first = &windows.splashScreen();
        EXPECT_TRUE(windows.IsLoaded(Window::SplashScreen));
        EXPECT_EQ(&windows.splashScreen(), first.data()) << "one instance per name";

        EXPECT_TRUE(windows.Unload(Window::SplashScreen));
        EXPECT_FALSE(windows.IsLoaded(Window::SplashScreen));
        EXPECT_TRUE(windows.Unload(Window::SplashScreen)) << "unloading what is not loaded does nothing";
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(first.isNull()) << "released once control is back in the event loop";
        EXPECT_TRUE(windows.splashScreen().HandOverTimer()->isActive())
            << "a fresh window starts its timer again";

        // A close event left unaccepted keeps the main window, whatever the closing sequence decides.
        mainWindow = &windows.mainWindow();
        mainWindow->show();
        struct Refuser : QObject {
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() != QEvent::Close) return false;
                e->ignore();
                return true;
            }
        } refuser;
        mainWindow->installEventFilter(&refuser);
        EXPECT_FALSE(windows.Unload(Window::MainWindow));
        EXPECT_TRUE(windows.IsLoaded(Window::MainWindow));
        EXPECT_TRUE(mainWindow->isVisible());
        mainWindow->removeEventFilter(&refuser);
        // Pumping events by hand is not the program's loop: unloading everything must not end anything.
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(mainWindow.isNull()) << "the registry releases what is still loaded";
}

TEST(ListView, ColumnsMoveAndItemsKeepTheirSubItemsByColumnIndex) {
    ListView list;
    for (const char* title : {"ID", "Name", "Price"}) list.AddColumn(title);
    list.SetColumnPosition(3, 1);  // Price moves to the front; the others shift right
    EXPECT_EQ(list.ColumnPosition(3), 1);
    EXPECT_EQ(list.ColumnPosition(1), 2);
    EXPECT_EQ(list.ColumnPosition(2), 3);
    EXPECT_THROW(list.SetColumnPosition(1, 4), std::out_of_range);
    EXPECT_THROW(list.SetColumnPosition(0, 1), std::out_of_range);
    EXPECT_THROW(list.ColumnWidthAt(4), std::out_of_range);

    const int row = list.AddItem("1");
    list.SetSubItem(row, 2, "9.99");  // sub-item 1 left unset
    const int nullFirst = list.AddItem(QString());
    EXPECT_EQ(list.ItemText(row, 2), "");
    EXPECT_EQ(list.ItemText(row, 3), "9.99");
    EXPECT_EQ(list.ItemText(nullFirst, 1), "");
    EXPECT_EQ(list.model()->data(list.model()->index(row, 2)).toString(), "9.99");
    EXPECT_THROW(list.SetSubItem(5, 1, "x"), std::out_of_range);
    EXPECT_THROW(list.SetSubItem(row, 0, "x"), std::out_of_range);

    // Clearing the items keeps the columns as arranged; clearing the columns removes them.
    list.ClearItems();
    EXPECT_EQ(list.ItemCount(), 0);
    EXPECT_EQ(list.ColumnPosition(3), 1);
    list.ClearColumns();
    EXPECT_EQ(list.ColumnCount(), 0);
    EXPECT_EQ(list.model()->columnCount(), 0);
}

TEST(ListView, BatchShowsItsRowsWhenItEnds) {
    ListView list;
    list.AddColumn("A");
    list.AddColumn("B");
    list.AddItem("shown before");
    {
        ListView::Batch batch(list);
        for (int i = 0; i < 1000; ++i)
            list.SetSubItem(list.AddItem(QString::number(i)), 1, QString::number(i * 2));
        list.SetSubItem(0, 1, "changed");  // a row already shown changes at once
        EXPECT_EQ(list.model()->rowCount(), 1) << "the view hears of the new rows only at the end";
        EXPECT_EQ(list.model()->data(list.model()->index(0, 1)).toString(), "changed");
    }
    EXPECT_EQ(list.model()->rowCount(), 1001);
    EXPECT_EQ(list.model()->data(list.model()->index(1000, 1)).toString(), "1998");
    // Clearing inside a batch drops shown and pending rows alike.
    {
        ListView::Batch batch(list);
        list.AddItem("pending");
        list.ClearItems();
        list.AddItem("only");
    }
    EXPECT_EQ(list.model()->rowCount(), 1);
    EXPECT_EQ(list.ItemText(0, 1), "only");
}

}  // namespace
}  // namespace tabvert::shell
