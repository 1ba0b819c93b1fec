// The main window's side of the export run: maps the run's steps onto the export frame, the
// preview list, the open-database dialog, the current table and record labels and the progress bar,
// and shows the closing message; and takes Escape, File > Exit and the close box as a request to stop.

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMenuBar>
#include <QProgressBar>
#include <QScopeGuard>
#include <utility>
#include <vector>

#include "core/export/export_run.h"
#include "core/export/export_settings.h"
#include "gui/app_title.h"
#include "gui/auto_size_label.h"
#include "gui/list_view.h"
#include "gui/main_window.h"
#include "gui/open_database_dialog.h"
#include "gui/platform/prompts.h"
#include "gui/windows.h"

namespace tabvert::shell {

namespace {

// The run keeps the user-interface thread. At most about twenty times a second the frame and the bar
// are repainted and the window's events are delivered (paints, the window manager's requests and its
// "are you alive" pings, and the input RunInput lets through), so the whole window stays painted and
// answering. QProgressBar repaints itself on every visible change of its value; its updates are held
// while the frame shows, so that it neither runs ahead of the labels nor costs a paint per record.
constexpr qint64 kRepaintIntervalMs = 50;

class WindowProgress : public exporting::ExportObserver {
  public:
    WindowProgress(MainWindow& window, const database::DatabaseChoice& choice) : w_(window), choice_(choice) {
        sinceRepaint_.start();
    }
    ~WindowProgress() override { w_.ProgressBar()->setUpdatesEnabled(true); }
    WindowProgress(const WindowProgress&) = delete;
    WindowProgress& operator=(const WindowProgress&) = delete;

    void FrameShown() override {
        w_.ExportFrame()->show();
        // Showing posts the frame's and its labels' first layout and polish events; deliver just those
        // (no input reaches the window) so the first repaint draws the captions too.
        QCoreApplication::sendPostedEvents(w_.ExportFrame(), 0);
        for (QObject* child : w_.ExportFrame()->children()) QCoreApplication::sendPostedEvents(child, 0);
        w_.ProgressBar()->setUpdatesEnabled(false);
        RepaintNow();
    }
    void PreviewCleared() override {
        w_.PreviewList()->ClearItems();
        w_.PreviewList()->ClearColumns();
    }
    void DatabaseDialogHidden() override {
        w_.windows().OpenDatabaseDialog().hide();
        w_.databasePath = QString::fromStdString(choice_.path);
    }
    void TableNameShown(const std::string& tableName) override {
        w_.CurrentTableLabel()->setText(QString::fromStdString(tableName));
        RepaintSoon();
    }
    // The current record label resizes itself with every caption, which costs more than writing the record's
    // cells; nothing can look at it between two repaints, so the caption is set when it is painted.
    void RecordNumberShown(std::int64_t recordNumber) override {
        pendingRecord_ = recordNumber;
        RepaintSoon();
    }
    void BarMaximumSet(int maximum) override { w_.ProgressBar()->setMaximum(maximum); }
    void BarValueSet(int value) override {
        // QProgressBar, like the platform's bar, refuses a value beyond its maximum.
        w_.ProgressBar()->setValue(value);
        RepaintSoon();
    }
    // The bar and the record label as they stand, also while the stop question covers them.
    void ShowAsItStands() {
        ShowPendingRecord();
        w_.ProgressBar()->setUpdatesEnabled(true);
    }
    void HoldBar() { w_.ProgressBar()->setUpdatesEnabled(false); }
    // Lets the window take a stop key or the close box while a stored query computes for long before
    // its next row (its engine asks whether to stop about ten times a second).
    void KeepResponsive() { RepaintSoon(); }

    void MessageDetailsSet(const std::string& details) override {
        details_ = QString::fromStdString(details);
    }
    void MessageShown(const std::string& text) override {
        RepaintNow();
        w_.windows().ShowMessage(&w_, QString::fromStdString(text), details_);
    }
    void FrameHidden() override {
        ShowAsItStands();
        w_.ExportFrame()->hide();
    }

  private:
    void RepaintSoon() {
        if (sinceRepaint_.elapsed() >= kRepaintIntervalMs) RepaintNow();
    }
    void ShowPendingRecord() {
        if (pendingRecord_ < 0) return;
        w_.CurrentRecordLabel()->setText(QString::number(pendingRecord_));
        pendingRecord_ = -1;
    }
    void RepaintNow() {
        ShowPendingRecord();
        if (w_.ExportFrame()->isVisible()) w_.ExportFrame()->repaint();
        QProgressBar* bar = w_.ProgressBar();
        const bool held = !bar->updatesEnabled();
        bar->setUpdatesEnabled(true);
        bar->repaint();
        if (held) bar->setUpdatesEnabled(false);
        QCoreApplication::processEvents();
        sinceRepaint_.restart();
    }

    MainWindow& w_;
    const database::DatabaseChoice& choice_;
    QElapsedTimer sinceRepaint_;
    std::int64_t pendingRecord_ = -1;
    QString details_;  // the whole problem list, behind the closing message's details
};

bool IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::InputMethod:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return true;
        default:
            return false;
    }
}

// While the run goes on the window takes only the input that can stop it: Escape, the menu bar with
// File > Exit (the other menu items are greyed meanwhile) and the close box (MainWindow::closeEvent).
// Any other input to the window's controls is dropped, so that no command or preview starts in the
// middle of the run. The menus and the message boxes are windows of their own and keep their input.
class RunInput : public QObject {
  public:
    explicit RunInput(MainWindow& window) : w_(window) {
        for (QAction* action :
             {w_.OpenFileAction(), w_.ExportAction(), w_.HelpContentAction(), w_.AboutAction()}) {
            if (!action->isEnabled()) continue;
            action->setEnabled(false);
            greyed_.push_back(action);
        }
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~RunInput() override {
        QCoreApplication::instance()->removeEventFilter(this);
        for (QAction* action : greyed_) action->setEnabled(true);
    }
    RunInput(const RunInput&) = delete;
    RunInput& operator=(const RunInput&) = delete;

    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (!IsUserInput(event->type())) return false;
        auto* widget = qobject_cast<QWidget*>(receiver);
        if (widget == nullptr || widget->window() != &w_) return false;
        if (widget == w_.menuBar() || w_.menuBar()->isAncestorOf(widget)) return false;
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            w_.RequestExportStop(false);
        return true;
    }

  private:
    MainWindow& w_;
    std::vector<QAction*> greyed_;
};

}  // namespace

void MainWindow::ExportTo(const QString& workbookPath) {
    // The path and password as the open-database dialog holds them now, not as they were when the
    // tree was filled.
    const database::DatabaseChoice choice = database::ReadDatabaseChoice(windows());
    exporting::ExportRequest request;
    request.database = choice;
    request.target = workbookPath.toStdString();
    const exporting::ExportSettings stored = exporting::ReadExportSettings(settings::SettingsStore());
    request.continueSheets = stored.continueSheets;
    request.attachmentsFolder = exporting::AttachmentsFolderFor(stored.attachmentsFolder, request.target);
    {
        exportRunning_ = true;
        const auto runEnded = qScopeGuard([this] { exportRunning_ = false; });
        WindowProgress progress(*this, choice);
        RunInput input(*this);
        request.stopWanted = [this, &progress] {
            if (stopRequest_ == StopRequest::None) progress.KeepResponsive();
            if (stopRequest_ == StopRequest::None) return false;
            progress.ShowAsItStands();
            const bool stop = AskStopExport();
            progress.HoldBar();
            return stop;
        };
        exporting::RunExport(request, progress, nameDigits_);
    }
    // A close that came too late to stop anything (after the last record, while the workbook was saved)
    // starts the closing sequence now, exit question and all; after a stop to leave, the window goes.
    const bool closeAsked = std::exchange(stopRequest_, StopRequest::None) == StopRequest::StopToLeave;
    if (leaving_ || closeAsked) close();
}

void MainWindow::RequestExportStop(bool toLeave) {
    if (!exportRunning_) return;
    if (toLeave)
        stopRequest_ = StopRequest::StopToLeave;
    else if (stopRequest_ == StopRequest::None)
        stopRequest_ = StopRequest::Stop;
}

bool MainWindow::AskStopExport() {
    ui::MessageRequest question;
    question.text = QStringLiteral("Stop the export? Nothing will be written.");
    question.title = QString::fromUtf8(AppTitle);
    question.buttons = ui::Buttons::YesNo;
    question.icon = ui::Icon::None;
    const bool stop = windows().Prompts().Message(this, question) == ui::Answer::Yes;
    // A close asked for while the question showed counts with the request that brought it up.
    const bool toLeave = std::exchange(stopRequest_, StopRequest::None) == StopRequest::StopToLeave;
    if (stop && toLeave) leaving_ = true;
    return stop;
}

}  // namespace tabvert::shell
