// The help window: contents tree, browser, and pages read straight out of the .chm file.
#include "gui/platform/htmlhelp/help_window.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QTextDocument>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "gui/platform/centre.h"
#include "gui/platform/htmlhelp/contents.h"

namespace tabvert::htmlhelp {

namespace {

constexpr auto kScheme = "ms-its";
constexpr int kLocalRole = Qt::UserRole + 1;

void AddEntries(QTreeWidgetItem* parent, QTreeWidget* tree, const std::vector<ContentsEntry>& entries) {
    for (const auto& entry : entries) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
        item->setText(0, entry.name.isEmpty() ? entry.local : entry.name);
        item->setData(0, kLocalRole, entry.local);
        AddEntries(item, tree, entry.children);
    }
}

QToolButton* NavigationButton(QStyle::StandardPixmap icon, const QString& text, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setText(text);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    return button;
}

}  // namespace

QUrl TopicUrl(const QString& insidePath) {
    QString path = insidePath;
    if (!path.startsWith(QLatin1Char('/'))) path.prepend(QLatin1Char('/'));
    return QUrl(QLatin1String(kScheme) + QLatin1Char(':') + path);
}

HelpBrowser::HelpBrowser(const ChmFile& file, QWidget* parent) : QTextBrowser(parent), file_(file) {
    // Links into the help file stay in this window; web and mail links go to the desktop's programs
    // instead of becoming an empty page here.
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
        const QUrl url = link.isRelative() ? source().resolved(link) : link;
        if (url.scheme() == QLatin1String(kScheme))
            setSource(url);
        else
            QDesktopServices::openUrl(url);
    });
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name) {
    QUrl url = name;
    if (url.isRelative()) url = (page_.isEmpty() ? source() : page_).resolved(url);
    if (url.scheme() != QLatin1String(kScheme)) return {};
    const auto object = file_.Read(url.path());
    if (!object) return {};
    if (type == QTextDocument::HtmlResource) page_ = url;
    if (type == QTextDocument::StyleSheetResource) return QString::fromUtf8(*object);
    return *object;
}

HelpWindow::HelpWindow(ChmFile file, QByteArray nativePath, QWidget* owner)
    : QWidget(owner, Qt::Window), file_(std::move(file)), nativePath_(std::move(nativePath)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("HtmlHelpWindow"));
    setWindowTitle(file_.Info().title.isEmpty() ? QStringLiteral("HTML Help") : file_.Info().title);

    auto* buttons = new QWidget(this);
    auto* hide = NavigationButton(QStyle::SP_ArrowLeft, tr("Hide"), buttons);
    auto* back = NavigationButton(QStyle::SP_ArrowBack, tr("Back"), buttons);
    auto* forward = NavigationButton(QStyle::SP_ArrowForward, tr("Forward"), buttons);
    auto* home = NavigationButton(QStyle::SP_DirHomeIcon, tr("Home"), buttons);
    auto* buttonRow = new QHBoxLayout(buttons);
    buttonRow->setContentsMargins(4, 2, 4, 2);
    for (auto* button : {hide, back, forward, home}) buttonRow->addWidget(button);
    buttonRow->addStretch();

    auto* splitter = new QSplitter(this);
    contents_ = new QTreeWidget(splitter);
    contents_->setHeaderHidden(true);
    browser_ = new HelpBrowser(file_, splitter);
    splitter->addWidget(contents_);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, 580});

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(buttons);
    column->addWidget(splitter, 1);

    back->setEnabled(false);
    forward->setEnabled(false);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QWidget::setEnabled);
    connect(back, &QToolButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward, &QToolButton::clicked, browser_, &QTextBrowser::forward);
    connect(home, &QToolButton::clicked, this, [this] { ShowTopic(file_.DefaultTopic()); });
    connect(hide, &QToolButton::clicked, this, [this, hide] {
        contents_->setVisible(!contents_->isVisible());
        hide->setText(contents_->isVisible() ? tr("Hide") : tr("Show"));
    });
    connect(contents_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { OpenContentsItem(item); });
    connect(contents_, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { OpenContentsItem(item); });

    FillContents();
    resize(800, 600);
    ui::CentreOnScreen(*this);
}

bool HelpWindow::ShowTopic(const QString& insidePath) {
    const QUrl url = TopicUrl(insidePath);
    if (insidePath.isEmpty() || !file_.Read(url.path())) return false;
    browser_->setSource(url, QTextDocument::HtmlResource);
    return true;
}

void HelpWindow::FillContents() {
    const QString sitemapPath = file_.Info().contentsFile;
    const auto sitemap = sitemapPath.isEmpty() ? std::nullopt : file_.Read(sitemapPath);
    if (sitemap) AddEntries(nullptr, contents_, ParseContents(QString::fromLocal8Bit(*sitemap)));
    contents_->expandAll();
    // Branch marks only where there is something to fold.
    bool nested = false;
    for (int i = 0; i < contents_->topLevelItemCount(); ++i)
        nested |= contents_->topLevelItem(i)->childCount() > 0;
    contents_->setRootIsDecorated(nested);
    if (contents_->topLevelItemCount() == 0) contents_->hide();
}

void HelpWindow::OpenContentsItem(QTreeWidgetItem* item) {
    const QString local = item->data(0, kLocalRole).toString();
    if (!local.isEmpty()) ShowTopic(local);
}

}  // namespace tabvert::htmlhelp
