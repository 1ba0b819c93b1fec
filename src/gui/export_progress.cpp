// The main window's side of the export run: maps the run's steps onto the export frame, the
// preview list, the open-database dialog, the current table and record labels and the progress bar,
// and shows the closing message.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QProgressBar>
#include <QScopeGuard>

#include "core/export/export_run.h"
#include "gui/app_title.h"
#include "gui/auto_size_label.h"
#include "gui/list_view.h"
#include "gui/main_window.h"
#include "gui/open_database_dialog.h"
#include "gui/platform/prompts.h"
#include "gui/windows.h"

namespace tabvert::shell {

namespace {

// The run keeps the user-interface thread and takes no input. At most about twenty times a second the
// frame and the bar are repainted, and the window's other events are delivered (paints, the window
// manager's requests, its "are you alive" pings), but no keyboard or mouse input, so the whole window
// stays painted and answering. QProgressBar repaints itself on every visible change of its value; its
// updates are held while the frame shows, so that it neither runs ahead of the labels nor costs a
// paint per record.
constexpr qint64 kRepaintIntervalMs = 50;

class WindowProgress : public exporting::ExportObserver {
  public:
    WindowProgress(MainWindow& window, const database::DatabaseChoice& choice) : w_(window), choice_(choice) {
        sinceRepaint_.start();
    }
    ~WindowProgress() override { w_.progressBar()->setUpdatesEnabled(true); }
    WindowProgress(const WindowProgress&) = delete;
    WindowProgress& operator=(const WindowProgress&) = delete;

    void frameShown() override {
        w_.exportFrame()->show();
        // Showing posts the frame's and its labels' first layout and polish events; deliver just those
        // (no input reaches the window) so the first repaint draws the captions too.
        QCoreApplication::sendPostedEvents(w_.exportFrame(), 0);
        for (QObject* child : w_.exportFrame()->children()) QCoreApplication::sendPostedEvents(child, 0);
        w_.progressBar()->setUpdatesEnabled(false);
        repaintNow();
    }
    void previewCleared() override {
        w_.previewList()->clearItems();
        w_.previewList()->clearColumns();
    }
    void databaseDialogHidden() override {
        w_.windows().openDatabaseDialog().hide();
        w_.databasePath = QString::fromStdString(choice_.path);
    }
    void tableNameShown(const std::string& tableName) override {
        w_.currentTableLabel()->setText(QString::fromStdString(tableName));
        repaintSoon();
    }
    // The current record label resizes itself with every caption, which costs more than writing the record's
    // cells; nothing can look at it between two repaints, so the caption is set when it is painted.
    void recordNumberShown(std::int64_t recordNumber) override {
        pendingRecord_ = recordNumber;
        repaintSoon();
    }
    void barMaximumSet(int maximum) override { w_.progressBar()->setMaximum(maximum); }
    void barValueSet(int value) override {
        // QProgressBar, like the platform's bar, refuses a value beyond its maximum.
        w_.progressBar()->setValue(value);
        repaintSoon();
    }
    void messageShown(const std::string& text) override {
        repaintNow();
        w_.windows().showMessage(&w_, QString::fromStdString(text));
    }
    void frameHidden() override {
        showPendingRecord();
        w_.progressBar()->setUpdatesEnabled(true);
        w_.exportFrame()->hide();
    }

  private:
    void repaintSoon() {
        if (sinceRepaint_.elapsed() >= kRepaintIntervalMs) repaintNow();
    }
    void showPendingRecord() {
        if (pendingRecord_ < 0) return;
        w_.currentRecordLabel()->setText(QString::number(pendingRecord_));
        pendingRecord_ = -1;
    }
    void repaintNow() {
        showPendingRecord();
        if (w_.exportFrame()->isVisible()) w_.exportFrame()->repaint();
        QProgressBar* bar = w_.progressBar();
        const bool held = !bar->updatesEnabled();
        bar->setUpdatesEnabled(true);
        bar->repaint();
        if (held) bar->setUpdatesEnabled(false);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        sinceRepaint_.restart();
    }

    MainWindow& w_;
    const database::DatabaseChoice& choice_;
    QElapsedTimer sinceRepaint_;
    std::int64_t pendingRecord_ = -1;
};

}  // namespace

void MainWindow::ExportTo(const QString& workbookPath) {
    // The path and password as the open-database dialog holds them now, not as they were when the
    // tree was filled.
    const database::DatabaseChoice choice = database::ReadDatabaseChoice(windows());
    exporting::ExportRequest request;
    request.database = choice;
    request.target = workbookPath.toStdString();
    {
        exportRunning_ = true;
        const auto runEnded = qScopeGuard([this] { exportRunning_ = false; });
        WindowProgress progress(*this, choice);
        exporting::RunExport(request, progress, nameDigits_);
    }
    if (closeDeferred_) {
        closeDeferred_ = false;
        close();  // the closing sequence, as the request would have started it
    }
}

}  // namespace tabvert::shell
