#include "gui/tabvert.h"
#include "gui/platform/centre.h"

#include "gui/app_title.h"
#include "gui/auto_size_label.h"
#include "gui/forms.h"
#include "gui/list_view.h"
#include "gui/look.h"
#include "gui/pictures.h"

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

namespace tabvert::shell {

namespace {

// The window was designed in twips; at 96 dots per inch 15 twips make a pixel.
constexpr int Px(int twips) { return twips / 15; }

constexpr int kClientWidth = Px(10320);     // 688
constexpr int kClientHeight = Px(7800);     // 520
constexpr int kToolbarHeight = Px(1035);    // 69
constexpr int kStatusBarHeight = Px(375);   // 25
constexpr QSize kToolbarButton{Px(1095), Px(1035)};  // 73 x 69
constexpr QSize kToolbarIcon{66, 63};

// Places a child of the central widget, given its design rectangle relative to the window's client area
// (the central widget begins below the toolbar).
void PlaceInClient(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(Px(left), Px(top) - kToolbarHeight, Px(width), Px(height));
}

// Places a child of Frame1, given its design rectangle relative to the frame.
void PlaceInFrame(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(Px(left), Px(top), Px(width), Px(height));
}

QFont SansSerif(bool bold) { return WindowFont(bold); }

}  // namespace

Tabvert::Tabvert(Forms& forms, QWidget* parent)
    : QMainWindow(parent),
      forms_(&forms),
      imageList1_(QSize(16, 16), QColor(192, 192, 192)),
      imlToolbarIcons_(kToolbarIcon, QColor(255, 0, 255)),
      savedlg_(forms.prompts(), this),
      cdg1_(forms.prompts(), this) {
    pictures::Register();
    setObjectName(QStringLiteral("tabvert"));
    setWindowTitle(QString::fromUtf8(AppTitle));
    setWindowIcon(QIcon(QString::fromUtf8(pictures::kIcon)));
    // Sizable border and a minimise box, but no maximise box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(SansSerif(false));

    imageList1_.addFiles({pictures::kNodeDatabase, pictures::kNodeTable});
    imlToolbarIcons_.addFiles({pictures::kToolbarOpen, pictures::kToolbarExport, pictures::kToolbarHelp});

    buildMenus();
    buildToolbar();
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    buildPanes(client);
    buildProgressFrame(client);
    buildStatusBar();
    connectMenus();

    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    ui::CentreOnScreen(*this, size());

    Form_Load();
}

Tabvert::~Tabvert() = default;

void Tabvert::buildMenus() {
    auto addItem = [this](QMenu* menu, const char* name, const char* caption) {
        QAction* action = menu->addAction(QString::fromUtf8(caption));
        action->setObjectName(QString::fromUtf8(name));
        return action;
    };
    fileMenu_ = menuBar()->addMenu(QStringLiteral("&File"));
    fileMenu_->setObjectName(QStringLiteral("File"));
    openfile_ = addItem(fileMenu_, "openfile", "&Open File");
    exporttoExcel_ = addItem(fileMenu_, "ExporttoExcel", "&Export to Excel");
    exit_ = addItem(fileMenu_, "Exit", "&Exit");

    helpMenu_ = menuBar()->addMenu(QStringLiteral("&Help"));
    helpMenu_->setObjectName(QStringLiteral("help"));
    helpcontent_ = addItem(helpMenu_, "helpcontent", "&Help Content");
    aboutus_ = addItem(helpMenu_, "aboutus", "&About Us");
}

void Tabvert::buildToolbar() {
    toolbar1_ = new QToolBar(this);
    toolbar1_->setObjectName(QStringLiteral("Toolbar1"));
    toolbar1_->setMovable(false);
    toolbar1_->setFloatable(false);
    toolbar1_->toggleViewAction()->setEnabled(false);
    toolbar1_->setContextMenuPolicy(Qt::PreventContextMenu);
    toolbar1_->setContentsMargins(0, 0, 0, 0);
    toolbar1_->setIconSize(kToolbarIcon);
    toolbar1_->setFixedHeight(kToolbarHeight);
    for (int i = 0; i < kToolbarButtons; ++i) {
        auto* button = new QToolButton(toolbar1_);
        const int index = i + 1;
        button->setObjectName(QStringLiteral("Toolbar1_Button%1").arg(index));
        button->setIcon(imlToolbarIcons_.icon(index));
        button->setIconSize(kToolbarIcon);
        button->setFixedSize(kToolbarButton);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        connect(button, &QToolButton::clicked, this, [this, index] { Toolbar1_ButtonClick(index); });
        // Placed by hand, edge to edge from the top-left corner: the toolbar's own layout would add
        // the style's margins, and the buttons are exactly as high as the bar.
        button->move(i * kToolbarButton.width(), 0);
        toolbarButtons_[i] = button;
    }
    addToolBar(Qt::TopToolBarArea, toolbar1_);
}

void Tabvert::buildPanes(QWidget* client) {
    label1_ = new QLabel(QStringLiteral("Access Database Table"), client);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setFont(SansSerif(true));
    PlaceInClient(label1_, 120, 1200, 2175, 255);

    treeView1_ = new QTreeWidget(client);
    treeView1_->setObjectName(QStringLiteral("TreeView1"));
    treeView1_->setHeaderHidden(true);
    treeView1_->setColumnCount(1);
    treeView1_->setRootIsDecorated(true);
    treeView1_->setIconSize(imageList1_.imageSize());
    treeView1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    PlaceInClient(treeView1_, 120, 1440, 3255, 5535);
    connect(treeView1_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* node) { TreeView1_NodeClick(node); });

    listView1_ = new ListView(client);
    listView1_->setObjectName(QStringLiteral("ListView1"));
    PlaceInClient(listView1_, 3480, 1440, 6735, 5535);

    label2_ = new QLabel(QStringLiteral("Table Preview"), client);
    label2_->setObjectName(QStringLiteral("Label2"));
    label2_->setFont(SansSerif(true));
    PlaceInClient(label2_, 3480, 1200, 5655, 255);

    picture1_ = new QLabel(client);
    picture1_->setObjectName(QStringLiteral("Picture1"));
    const QPixmap background(QString::fromUtf8(pictures::kToolbarBackground));
    if (background.isNull()) throw std::runtime_error("cannot read the toolbar background picture");
    picture1_->setPixmap(background);
    picture1_->setFrameShape(QFrame::NoFrame);
    picture1_->setGeometry(0, Px(3600) - kToolbarHeight, background.width(), background.height());
    picture1_->hide();

    progressBar1_ = new QProgressBar(client);
    progressBar1_->setObjectName(QStringLiteral("ProgressBar1"));
    progressBar1_->setRange(0, 100);
    progressBar1_->setValue(0);
    progressBar1_->setTextVisible(false);
    PlaceInClient(progressBar1_, 120, 7080, 10095, 255);

    txtEXL_ = new QLineEdit(client);
    txtEXL_->setObjectName(QStringLiteral("txtEXL"));
    PlaceInClient(txtEXL_, 4200, 6480, 2655, 375);
    txtEXL_->hide();

    // Labels have no window of their own: they lie beneath the windowed controls they touch (Label2's
    // last pixel row lies under the list's top edge).
    label1_->lower();
    label2_->lower();

    setTabOrder(treeView1_, listView1_);
    setTabOrder(listView1_, txtEXL_);
}

void Tabvert::buildProgressFrame(QWidget* client) {
    frame1_ = new QGroupBox(QStringLiteral("Export Access Database to Excel Process"), client);
    frame1_->setObjectName(QStringLiteral("Frame1"));
    frame1_->setFont(SansSerif(true));
    // Until the load set-up repaints it, the frame is filled with the platform's window colour (the
    // colour of text boxes and lists), not the dialog grey behind it.
    QPalette framePalette = frame1_->palette();
    framePalette.setColor(QPalette::Window, framePalette.color(QPalette::Base));
    framePalette.setColor(QPalette::WindowText, framePalette.color(QPalette::Text));
    frame1_->setPalette(framePalette);
    frame1_->setAutoFillBackground(true);
    PlaceInClient(frame1_, 3600, 2880, 6495, 2295);

    auto makeLabel = [this](const char* name, const char* caption, bool bold, int left, int top, int width,
                            int height) {
        auto* label = new AutoSizeLabel(QString::fromUtf8(caption), frame1_);
        label->setObjectName(QString::fromUtf8(name));
        PlaceInFrame(label, left, top, width, height);
        label->setFont(SansSerif(bold));  // also sizes the label to its caption
        label->adjustSize();
        return label;
    };
    label3_ = makeLabel("Label3", "Export Current Table Name", true, 360, 1200, 2310, 195);
    label4_ = makeLabel("Label4", "Current Record", true, 360, 1680, 1305, 195);
    label5_ = makeLabel("Label5", ":   ....", false, 3240, 1200, 360, 195);
    label6_ = makeLabel("Label6", ": ...", false, 3240, 1680, 225, 195);

    // In front of the list: while shown it covers the middle of the preview and takes its clicks.
    frame1_->raise();
}

void Tabvert::buildStatusBar() {
    statusBar1_ = new QStatusBar(this);
    statusBar1_->setObjectName(QStringLiteral("StatusBar1"));
    statusBar1_->setFixedHeight(kStatusBarHeight);
    statusText_ = new QLabel(QString::fromUtf8(AppTitle), statusBar1_);
    statusText_->setObjectName(QStringLiteral("StatusBar1Text"));
    statusText_->setFont(SansSerif(true));
    // A permanent widget is never covered by temporary messages, so the text stays at all times.
    statusBar1_->addPermanentWidget(statusText_, 1);
    setStatusBar(statusBar1_);
}

QToolButton* Tabvert::Toolbar1Button(int index) const {
    if (index < 1 || index > kToolbarButtons)
        throw std::out_of_range("toolbar button " + std::to_string(index) + " outside 1..3");
    return toolbarButtons_[index - 1];
}

// Every menu item's click is connected here.
void Tabvert::connectMenus() {
    connect(openfile_, &QAction::triggered, this, [this] { openfile_Click(); });
    connect(exit_, &QAction::triggered, this, &Tabvert::Exit_Click);
    connect(helpcontent_, &QAction::triggered, this, &Tabvert::helpcontent_Click);
    connect(aboutus_, &QAction::triggered, this, &Tabvert::aboutus_Click);
    connect(exporttoExcel_, &QAction::triggered, this, [this] { ExporttoExcel_Click(); });
}

void Tabvert::Toolbar1_ButtonClick(int index) {
    switch (index) {
        case 1:  // open a database
            openfile_Click();
            break;
        case 2:  // export to Excel
            ExporttoExcel_Click();
            break;
        case 3:  // help
            helpcontent_Click();
            break;
        default:
            break;
    }
}

}  // namespace tabvert::shell
