#pragma once
// The main window: toolbar, the tree and preview panes with their headings, the export progress frame,
// the progress bar and the status bar, plus the window-less parts it owns (two image lists, two file
// dialogs) and two hidden helpers (the target path box and the toolbar picture). Every control carries
// its design name as objectName. The window's size and its layout are fixed; should a window manager
// resize it all the same, only the toolbar and the status bar follow the width.
//
// The commands behind the menus and the toolbar, the load set-up and the runs are methods of this class
// defined in the files of the areas that own them; their declarations are grouped below.

#include <QMainWindow>
#include <QString>

#include "core/export/sheet_name.h"
#include "gui/common_dialog.h"
#include "gui/image_list.h"
#include "gui/platform/gdi.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QStatusBar;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tabvert::shell {

class AutoSizeLabel;
class ListView;
class Windows;

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit MainWindow(Windows& windows, QWidget* parent = nullptr);
    ~MainWindow() override;

    Windows& windows() const { return *windows_; }

    // The database path of the latest catalogue, preview or export run.
    QString databasePath;

    // --- Controls ---
    QToolBar* Toolbar() const { return toolbar_; }
    // index is 1-based: 1 open, 2 export, 3 help.
    QToolButton* ToolbarButton(int index) const;
    int ToolbarButtonCount() const { return kToolbarButtons; }
    QTreeWidget* tableTree() const { return tableTree_; }
    ListView* PreviewList() const { return previewList_; }
    QLabel* TableTreeHeading() const { return tableTreeHeading_; }
    QLabel* PreviewHeading() const { return previewHeading_; }
    QGroupBox* ExportFrame() const { return exportFrame_; }
    AutoSizeLabel* CurrentTableCaption() const { return currentTableCaption_; }
    AutoSizeLabel* CurrentRecordCaption() const { return currentRecordCaption_; }
    AutoSizeLabel* CurrentTableLabel() const { return currentTableLabel_; }
    AutoSizeLabel* CurrentRecordLabel() const { return currentRecordLabel_; }
    QProgressBar* ProgressBar() const { return progressBar_; }
    QLineEdit* TargetPathBox() const { return targetPathBox_; }
    QLabel* ToolbarPicture() const { return toolbarPicture_; }
    QStatusBar* statusBar() const { return statusBar_; }
    QLabel* StatusText() const { return statusText_; }

    // Menus and their items.
    QMenu* FileMenu() const { return fileMenu_; }
    QMenu* HelpMenu() const { return helpMenu_; }
    QAction* OpenFileAction() const { return openFileAction_; }
    QAction* ExportAction() const { return exportAction_; }
    QAction* ExitAction() const { return exitAction_; }
    QAction* HelpContentAction() const { return helpContentAction_; }
    QAction* AboutAction() const { return aboutAction_; }

    // Window-less components.
    const ImageList& TreeIcons() const { return treeIcons_; }
    const ImageList& ToolbarIcons() const { return toolbarIcons_; }
    CommonDialog& SaveDialog() { return saveDialog_; }
    CommonDialog& OpenDialog() { return openDialog_; }

    // --- Events ---
    // A click on toolbar button `index` (1-based): runs exactly one command.
    void ClickToolbarButton(int index);

    // --- Commands and runs (defined by the areas that own them) ---
    // File > Open File and toolbar button 1: the open-database dialog, modally; returns once the dialog
    // is hidden or unloaded (open_database.cpp).
    void ClickOpenFile();
    // The catalogue run started by the dialog's OK: lists the chosen database's tables in the tree.
    void OpenDatabase();
    // Help > Help Content and toolbar button 3: the help file's default topic (main_window_commands.cpp).
    void ClickHelpContent();
    // Help > About Us: the about box, modally.
    void ClickAbout();
    // File > Exit: asks, then closes the window, whose closing sequence asks once more.
    void ClickExit();
    // The help-file path fixed by the load set-up.
    const QString& helpFilePath() const { return helpFilePath_; }
    // The GDI objects and window-class brushes of the program (the toolbar's pattern brush lives here).
    win32::Gdi& Gdi() { return gdi_; }
    // A click on a node of the table tree: previews the table it names (preview_pane.cpp).
    void ClickTreeNode(QTreeWidgetItem* node);
    // The preview run: fills the preview list with up to 10,000 records of the table `tableName`.
    void PreviewTable(const QString& tableName);
    // The Export command behind File > Export to Excel and toolbar button 2 (export_command.cpp).
    void ClickExport();
    // The export run into the workbook at `workbookPath` (export_progress.cpp).
    void ExportTo(const QString& workbookPath);
    // During an export run, Escape (`toLeave` false), File > Exit and the close box (true) ask whether
    // to stop it; the question comes at the run's next record. Once the user has stopped the run to
    // leave, the window closes when the run has ended, without asking the exit question.
    void RequestExportStop(bool toLeave);

  protected:
    // The closing sequence: asks the exit question; Yes unloads the open-database dialog, the about box
    // and the splash screen and lets the window close, No keeps it open.
    void closeEvent(QCloseEvent* event) override;

  private:
    static constexpr int kToolbarButtons = 3;

    void BuildMenus();
    void BuildToolbar();
    void BuildPanes(QWidget* client);
    void BuildProgressFrame(QWidget* client);
    void BuildStatusBar();
    void ConnectMenus();
    // The load set-up, run once when the window is loaded (main_window_commands.cpp).
    void LoadSetUp();
    // Tiles the toolbar picture across every toolbar, through the toolbar's window-class brush.
    void SetToolbarBackground();
    bool AskExit();

    // Asks the stop question for the requests made since the last one; true when the run is to stop.
    bool AskStopExport();

    // An export run is under way, and what the user asked of it meanwhile.
    bool exportRunning_ = false;
    enum class StopRequest { None, Stop, StopToLeave };
    StopRequest stopRequest_ = StopRequest::None;
    // The user stopped an export to leave: the closing sequence asks no more.
    bool leaving_ = false;

    Windows* windows_;
    win32::Gdi gdi_;
    QString helpFilePath_;
    // Draws the digits of shortened sheet names: one sequence per program start.
    exporting::NameDigitGenerator nameDigits_;

    ImageList treeIcons_;
    ImageList toolbarIcons_;
    CommonDialog saveDialog_;
    CommonDialog openDialog_;

    QMenu* fileMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    QAction* openFileAction_ = nullptr;
    QAction* exportAction_ = nullptr;
    QAction* exitAction_ = nullptr;
    QAction* helpContentAction_ = nullptr;
    QAction* aboutAction_ = nullptr;

    QToolBar* toolbar_ = nullptr;
    QToolButton* toolbarButtons_[kToolbarButtons] = {};
    QTreeWidget* tableTree_ = nullptr;
    ListView* previewList_ = nullptr;
    QLabel* tableTreeHeading_ = nullptr;
    QLabel* previewHeading_ = nullptr;
    QGroupBox* exportFrame_ = nullptr;
    AutoSizeLabel* currentTableCaption_ = nullptr;
    AutoSizeLabel* currentRecordCaption_ = nullptr;
    AutoSizeLabel* currentTableLabel_ = nullptr;
    AutoSizeLabel* currentRecordLabel_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QLineEdit* targetPathBox_ = nullptr;
    QLabel* toolbarPicture_ = nullptr;
    QStatusBar* statusBar_ = nullptr;
    QLabel* statusText_ = nullptr;
};

}  // namespace tabvert::shell
