// The main window's construction: its menus, toolbar, panes, progress frame and status bar, each control
// in its fixed place, and the wiring of the menu items and toolbar buttons to their commands.
#include "gui/main_window.h"

#include <QAction>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <stdexcept>
#include <string>

#include "core/common/twips.h"
#include "gui/app_title.h"
#include "gui/auto_size_label.h"
#include "gui/list_view.h"
#include "gui/look.h"
#include "gui/pictures.h"
#include "gui/platform/centre.h"
#include "gui/table_tree.h"
#include "gui/windows.h"

namespace tabvert::shell {

namespace {

// The window was designed in twips.
constexpr int Px(int twips) { return TwipsToPixels(twips); }

constexpr int kClientWidth = Px(10320);              // 688
constexpr int kClientHeight = Px(7800);              // 520
constexpr int kToolbarHeight = Px(1035);             // 69
constexpr int kStatusBarHeight = Px(375);            // 25
constexpr QSize kToolbarButton{Px(1095), Px(1035)};  // 73 x 69
constexpr QSize kToolbarIcon{66, 63};

// Places a child of the central widget, given its design rectangle relative to the window's client area
// (the central widget begins below the toolbar).
void PlaceInClient(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(Px(left), Px(top) - kToolbarHeight, Px(width), Px(height));
}

// Places a child of the export frame, given its design rectangle relative to the frame.
void PlaceInFrame(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(Px(left), Px(top), Px(width), Px(height));
}

QFont SansSerif(bool bold) { return WindowFont(bold); }

}  // namespace

MainWindow::MainWindow(Windows& windows, QWidget* parent)
    : QMainWindow(parent),
      windows_(&windows),
      treeIcons_(QSize(16, 16), QColor(192, 192, 192)),
      toolbarIcons_(kToolbarIcon, QColor(255, 0, 255)),
      saveDialog_(windows.Prompts(), this),
      openDialog_(windows.Prompts(), this) {
    pictures::Register();
    setObjectName(QStringLiteral("tabvert"));
    setWindowTitle(QString::fromUtf8(AppTitle));
    setWindowIcon(QIcon(QString::fromUtf8(pictures::kIcon)));
    // A minimise box but no maximise box; the size is fixed below, so that a window manager that
    // offers maximising whatever the hints say (openbox) does not offer it either.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(SansSerif(false));

    treeIcons_.AddFiles({pictures::kNodeDatabase, pictures::kNodeTable});
    toolbarIcons_.AddFiles({pictures::kToolbarOpen, pictures::kToolbarExport, pictures::kToolbarHelp});

    BuildMenus();
    BuildToolbar();
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    BuildPanes(client);
    BuildProgressFrame(client);
    BuildStatusBar();
    ConnectMenus();

    setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    ui::CentreOnScreen(*this);

    LoadSetUp();
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildMenus() {
    auto addItem = [this](QMenu* menu, const char* name, const char* caption) {
        QAction* action = menu->addAction(QString::fromUtf8(caption));
        action->setObjectName(QString::fromUtf8(name));
        return action;
    };
    fileMenu_ = menuBar()->addMenu(QStringLiteral("&File"));
    fileMenu_->setObjectName(QStringLiteral("File"));
    openFileAction_ = addItem(fileMenu_, "openfile", "&Open File");
    exportAction_ = addItem(fileMenu_, "ExporttoExcel", "&Export to Excel");
    exitAction_ = addItem(fileMenu_, "Exit", "&Exit");

    helpMenu_ = menuBar()->addMenu(QStringLiteral("&Help"));
    helpMenu_->setObjectName(QStringLiteral("help"));
    helpContentAction_ = addItem(helpMenu_, "helpcontent", "&Help Content");
    aboutAction_ = addItem(helpMenu_, "aboutus", "&About Us");
}

void MainWindow::BuildToolbar() {
    toolbar_ = new QToolBar(this);
    toolbar_->setObjectName(QStringLiteral("Toolbar1"));
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->toggleViewAction()->setEnabled(false);
    toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
    toolbar_->setContentsMargins(0, 0, 0, 0);
    toolbar_->setIconSize(kToolbarIcon);
    toolbar_->setFixedHeight(kToolbarHeight);
    for (int i = 0; i < kToolbarButtons; ++i) {
        auto* button = new QToolButton(toolbar_);
        const int index = i + 1;
        button->setObjectName(QStringLiteral("Toolbar1_Button%1").arg(index));
        button->setIcon(toolbarIcons_.Icon(index));
        button->setIconSize(kToolbarIcon);
        button->setFixedSize(kToolbarButton);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        connect(button, &QToolButton::clicked, this, [this, index] { ClickToolbarButton(index); });
        // Placed by hand, edge to edge from the top-left corner: the toolbar's own layout would add
        // the style's margins, and the buttons are exactly as high as the bar.
        button->move(i * kToolbarButton.width(), 0);
        toolbarButtons_[i] = button;
    }
    addToolBar(Qt::TopToolBarArea, toolbar_);
}

void MainWindow::BuildPanes(QWidget* client) {
    tableTreeHeading_ = new QLabel(QStringLiteral("Access Database Table"), client);
    tableTreeHeading_->setObjectName(QStringLiteral("Label1"));
    tableTreeHeading_->setFont(SansSerif(true));
    PlaceInClient(tableTreeHeading_, 120, 1200, 2175, 255);

    auto* tree = new TableTree(client);
    tableTree_ = tree;
    tableTree_->setObjectName(QStringLiteral("TreeView1"));
    tableTree_->setHeaderHidden(true);
    tableTree_->setColumnCount(1);
    tableTree_->setRootIsDecorated(true);
    tableTree_->setIconSize(treeIcons_.ImageSize());
    tableTree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Whole names, however long: the column is as wide as its longest name and scrolls sideways, so
    // tables whose names differ only at the end can be told apart.
    tableTree_->setTextElideMode(Qt::ElideNone);
    tableTree_->header()->setStretchLastSection(false);
    tableTree_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    tableTree_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    tableTree_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    PlaceInClient(tableTree_, 120, 1440, 3255, 5535);
    connect(tableTree_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* node) { ClickTreeNode(node); });
    connect(tree, &TableTree::NodeChosenByKey, this, [this](QTreeWidgetItem* node) { ClickTreeNode(node); });

    previewList_ = new ListView(client);
    previewList_->setObjectName(QStringLiteral("ListView1"));
    PlaceInClient(previewList_, 3480, 1440, 6735, 5535);

    previewHeading_ = new QLabel(QStringLiteral("Table Preview"), client);
    previewHeading_->setObjectName(QStringLiteral("Label2"));
    previewHeading_->setFont(SansSerif(true));
    PlaceInClient(previewHeading_, 3480, 1200, 5655, 255);

    toolbarPicture_ = new QLabel(client);
    toolbarPicture_->setObjectName(QStringLiteral("Picture1"));
    const QPixmap background(QString::fromUtf8(pictures::kToolbarBackground));
    if (background.isNull()) throw std::runtime_error("cannot read the toolbar background picture");
    toolbarPicture_->setPixmap(background);
    toolbarPicture_->setFrameShape(QFrame::NoFrame);
    toolbarPicture_->setGeometry(0, Px(3600) - kToolbarHeight, background.width(), background.height());
    toolbarPicture_->hide();

    progressBar_ = new QProgressBar(client);
    progressBar_->setObjectName(QStringLiteral("ProgressBar1"));
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    progressBar_->setTextVisible(false);
    PlaceInClient(progressBar_, 120, 7080, 10095, 255);

    targetPathBox_ = new QLineEdit(client);
    targetPathBox_->setObjectName(QStringLiteral("txtEXL"));
    PlaceInClient(targetPathBox_, 4200, 6480, 2655, 375);
    targetPathBox_->hide();

    // Labels have no window of their own: they lie beneath the windowed controls they touch (the preview
    // heading's last pixel row lies under the list's top edge).
    tableTreeHeading_->lower();
    previewHeading_->lower();

    setTabOrder(tableTree_, previewList_);
    setTabOrder(previewList_, targetPathBox_);
}

void MainWindow::BuildProgressFrame(QWidget* client) {
    exportFrame_ = new QGroupBox(QStringLiteral("Export Access Database to Excel Process"), client);
    exportFrame_->setObjectName(QStringLiteral("Frame1"));
    exportFrame_->setFont(SansSerif(true));
    // Until the load set-up repaints it, the frame is filled with the platform's window colour (the
    // colour of text boxes and lists), not the dialog grey behind it.
    QPalette framePalette = exportFrame_->palette();
    framePalette.setColor(QPalette::Window, framePalette.color(QPalette::Base));
    framePalette.setColor(QPalette::WindowText, framePalette.color(QPalette::Text));
    exportFrame_->setPalette(framePalette);
    exportFrame_->setAutoFillBackground(true);
    PlaceInClient(exportFrame_, 3600, 2880, 6495, 2295);

    auto makeLabel = [this](const char* name, const char* caption, bool bold, int left, int top, int width,
                            int height) {
        auto* label = new AutoSizeLabel(QString::fromUtf8(caption), exportFrame_);
        label->setObjectName(QString::fromUtf8(name));
        PlaceInFrame(label, left, top, width, height);
        label->setFont(SansSerif(bold));  // also sizes the label to its caption
        label->adjustSize();
        return label;
    };
    currentTableCaption_ = makeLabel("Label3", "Export Current Table Name", true, 360, 1200, 2310, 195);
    currentRecordCaption_ = makeLabel("Label4", "Current Record", true, 360, 1680, 1305, 195);
    currentTableLabel_ = makeLabel("Label5", ":   ....", false, 3240, 1200, 360, 195);
    currentRecordLabel_ = makeLabel("Label6", ": ...", false, 3240, 1680, 225, 195);

    // In front of the list: while shown it covers the middle of the preview and takes its clicks.
    exportFrame_->raise();
}

void MainWindow::BuildStatusBar() {
    statusBar_ = new QStatusBar(this);
    statusBar_->setObjectName(QStringLiteral("StatusBar1"));
    statusBar_->setFixedHeight(kStatusBarHeight);
    statusText_ = new QLabel(QString::fromUtf8(AppTitle), statusBar_);
    statusText_->setObjectName(QStringLiteral("StatusBar1Text"));
    statusText_->setFont(SansSerif(true));
    // A permanent widget is never covered by temporary messages, so the text stays at all times.
    statusBar_->addPermanentWidget(statusText_, 1);
    setStatusBar(statusBar_);
}

QToolButton* MainWindow::ToolbarButton(int index) const {
    if (index < 1 || index > kToolbarButtons)
        throw std::out_of_range("toolbar button " + std::to_string(index) + " outside 1..3");
    return toolbarButtons_[index - 1];
}

// Every menu item's click is connected here.
void MainWindow::ConnectMenus() {
    connect(openFileAction_, &QAction::triggered, this, [this] { ClickOpenFile(); });
    connect(exitAction_, &QAction::triggered, this, &MainWindow::ClickExit);
    connect(helpContentAction_, &QAction::triggered, this, &MainWindow::ClickHelpContent);
    connect(aboutAction_, &QAction::triggered, this, &MainWindow::ClickAbout);
    connect(exportAction_, &QAction::triggered, this, [this] { ClickExport(); });
}

void MainWindow::ClickToolbarButton(int index) {
    switch (index) {
        case 1:  // open a database
            ClickOpenFile();
            break;
        case 2:  // export to Excel
            ClickExport();
            break;
        case 3:  // help
            ClickHelpContent();
            break;
        default:
            break;
    }
}

}  // namespace tabvert::shell
