// The main window's own commands: the load set-up, the help and about commands, Exit and the closing
// sequence, and the toolbar background.

#include "gui/main_window_commands.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>
#include <utility>

#include "gui/about_box.h"
#include "gui/app_title.h"
#include "gui/auto_size_label.h"
#include "gui/list_view.h"
#include "gui/main_window.h"
#include "gui/platform/htmlhelp/html_help.h"
#include "gui/platform/prompts.h"
#include "gui/toolbar_background.h"
#include "gui/windows.h"

namespace tabvert::shell {

namespace {

const QColor kBackColor(202, 255, 126);

// A control's BackColor: the colour fills the control's own background.
void SetBackColor(QWidget* control, const QColor& color) {
    QPalette palette = control->palette();
    palette.setColor(QPalette::Window, color);
    control->setPalette(palette);
    control->setAutoFillBackground(true);
}

// Qt hands a window's colour down to its children; the menu bar and the status bar are no part of the
// window's client surface and keep the platform's colour.
void KeepPlatformBackground(QWidget* control) {
    QPalette palette = control->palette();
    palette.setBrush(QPalette::Window, QApplication::palette(control).window());
    control->setPalette(palette);
    control->setAutoFillBackground(true);
}

}  // namespace

QString HelpFilePath(const QString& programFolder) {
    QString folder = programFolder;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) folder.chop(1);
    return folder + QLatin1String(kHelpFileName);
}

void MainWindow::LoadSetUp() {
    helpFilePath_ = HelpFilePath(QCoreApplication::applicationDirPath());
    SetToolbarBackground();
    for (QWidget* control : std::initializer_list<QWidget*>{
             this, TableTreeHeading(), PreviewHeading(), ExportFrame(), CurrentTableCaption(),
             CurrentRecordCaption(), CurrentTableLabel(), CurrentRecordLabel()}) {
        SetBackColor(control, kBackColor);
    }
    KeepPlatformBackground(menuBar());
    KeepPlatformBackground(statusBar());
    // The lists paint their own surface; what they leave to the window colour (the header beyond the
    // last column, the corner between the scroll bars) keeps the platform's colour too.
    KeepPlatformBackground(tableTree());
    KeepPlatformBackground(PreviewList());
    ExportFrame()->hide();
}

void MainWindow::SetToolbarBackground() {
    const win32::HBITMAP bitmap = gdi_.PictureHandle(ToolbarPicture()->pixmap());
    const win32::HBRUSH brush = gdi_.CreatePatternBrush(bitmap);
    SetClassBrush(gdi_, Toolbar(), brush);
    gdi_.InvalidateRect(nullptr, nullptr, 0);
}

void MainWindow::ClickHelpContent() {
    const QByteArray ansiPath = helpFilePath_.toLocal8Bit();
    htmlhelp::HtmlHelpA(this, ansiPath.constData(), htmlhelp::HH_DISPLAY_TOPIC, 0);
}

void MainWindow::ClickAbout() { windows().aboutBox().exec(); }

bool MainWindow::AskExit() {
    ui::MessageRequest question;
    question.text = QStringLiteral("Are you sure you want to exit?");
    question.title = QString::fromUtf8(AppTitle);
    question.buttons = ui::Buttons::YesNo;
    question.icon = ui::Icon::None;
    return windows().Prompts().Message(this, question) == ui::Answer::Yes;
}

void MainWindow::ClickExit() {
    if (exportRunning_) {
        RequestExportStop(true);
        return;
    }
    // Closing runs the closing sequence, which asks once more.
    if (AskExit()) close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // While an export runs the window is never closed from within it: the close asks whether to stop
    // the run, and the window goes once the run has ended.
    if (exportRunning_) {
        RequestExportStop(true);
        event->ignore();
        return;
    }
    if (!std::exchange(leaving_, false) && !AskExit()) {
        event->ignore();
        return;
    }
    Windows& registry = windows();
    for (auto other :
         {Windows::Window::OpenDatabaseDialog, Windows::Window::AboutBox, Windows::Window::SplashScreen}) {
        if (registry.IsLoaded(other)) registry.Unload(other);
    }
    event->accept();
}

}  // namespace tabvert::shell
