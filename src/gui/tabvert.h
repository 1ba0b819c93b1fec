#pragma once
// The main window `tabvert`: toolbar, the tree and preview panes with their headings, the export
// progress frame, the progress bar and the status bar, plus the window-less parts it owns (two image
// lists, two file dialogs) and two hidden helpers (txtEXL, Picture1). Every control carries its name as
// objectName. The layout is fixed: on resize only the toolbar and the status bar follow the width.
//
// The commands behind the menus and the toolbar, the load set-up and the runs are methods of this class
// defined in the files of the areas that own them; their declarations are grouped below.

#include "core/sheet_name.h"
#include "gui/platform/gdi.h"
#include "gui/common_dialog.h"
#include "gui/image_list.h"

#include <QMainWindow>
#include <QString>

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
class Forms;
class ListView;

class Tabvert : public QMainWindow {
    Q_OBJECT
public:
    explicit Tabvert(Forms& forms, QWidget* parent = nullptr);
    ~Tabvert() override;

    Forms& forms() const { return *forms_; }

    // The database path of the latest catalogue, preview or export run.
    QString dbpath;

    // --- Controls ---
    QToolBar* Toolbar1() const { return toolbar1_; }
    // index is 1-based: 1 open, 2 export, 3 help.
    QToolButton* Toolbar1Button(int index) const;
    int Toolbar1ButtonCount() const { return kToolbarButtons; }
    QTreeWidget* TreeView1() const { return treeView1_; }
    ListView* ListView1() const { return listView1_; }
    QLabel* Label1() const { return label1_; }
    QLabel* Label2() const { return label2_; }
    QGroupBox* Frame1() const { return frame1_; }
    AutoSizeLabel* Label3() const { return label3_; }
    AutoSizeLabel* Label4() const { return label4_; }
    AutoSizeLabel* Label5() const { return label5_; }
    AutoSizeLabel* Label6() const { return label6_; }
    QProgressBar* ProgressBar1() const { return progressBar1_; }
    QLineEdit* txtEXL() const { return txtEXL_; }
    QLabel* Picture1() const { return picture1_; }
    QStatusBar* StatusBar1() const { return statusBar1_; }
    QLabel* StatusBar1Text() const { return statusText_; }

    // Menus and their items.
    QMenu* File() const { return fileMenu_; }
    QMenu* help() const { return helpMenu_; }
    QAction* openfile() const { return openfile_; }
    QAction* ExporttoExcel() const { return exporttoExcel_; }
    QAction* Exit() const { return exit_; }
    QAction* helpcontent() const { return helpcontent_; }
    QAction* aboutus() const { return aboutus_; }

    // Window-less components.
    const ImageList& ImageList1() const { return imageList1_; }
    const ImageList& imlToolbarIcons() const { return imlToolbarIcons_; }
    CommonDialog& savedlg() { return savedlg_; }
    CommonDialog& cdg1() { return cdg1_; }

    // --- Events ---
    // A click on toolbar button `index` (1-based): runs exactly one command.
    void Toolbar1_ButtonClick(int index);

    // --- Commands and runs (defined by the areas that own them) ---
    // File > Open File and toolbar button 1: the open-database dialog, modally; returns once the dialog
    // is hidden or unloaded (tabvert_openaccessfile.cpp).
    void openfile_Click();
    // The catalogue run started by the dialog's OK: lists the chosen database's tables in TreeView1.
    void openaccessfile();
    // Help > Help Content and toolbar button 3: the help file's default topic (tabvert_commands.cpp).
    void helpcontent_Click();
    // Help > About Us: the about box, modally.
    void aboutus_Click();
    // File > Exit: asks, then closes the window, whose closing sequence asks once more.
    void Exit_Click();
    // The help-file path fixed by the load set-up.
    const QString& helpFilePath() const { return helpFilePath_; }
    // The GDI objects and window-class brushes of the program (the toolbar's pattern brush lives here).
    win32::Gdi& gdi() { return gdi_; }
    // A click on a node of TreeView1: previews the table it names (tabvert_viewtables.cpp).
    void TreeView1_NodeClick(QTreeWidgetItem* node);
    // The preview run: fills ListView1 with up to 10,000 records of the table `tables`.
    void viewtables(QString& tables);
    // The Export command behind File > Export to Excel and toolbar button 2 (tabvert_export_command.cpp).
    void ExporttoExcel_Click();
    // The export run into the workbook `newpath` (tabvert_exportdata.cpp).
    void exportdata(const QString& newpath);

protected:
    // The closing sequence: asks the exit question; Yes unloads start, frmAbout and frmSplash and lets
    // the window close, No keeps it open.
    void closeEvent(QCloseEvent* event) override;

private:
    static constexpr int kToolbarButtons = 3;

    void buildMenus();
    void buildToolbar();
    void buildPanes(QWidget* client);
    void buildProgressFrame(QWidget* client);
    void buildStatusBar();
    void connectMenus();
    // The load set-up, run once when the window is loaded (tabvert_commands.cpp).
    void Form_Load();
    void settoolbarbackground();
    bool AskExit();

    Forms* forms_;
    win32::Gdi gdi_;
    QString helpFilePath_;
    // Draws the digits of shortened sheet names: one sequence per program start.
    exporting::NameDigitGenerator nameDigits_;

    ImageList imageList1_;
    ImageList imlToolbarIcons_;
    CommonDialog savedlg_;
    CommonDialog cdg1_;

    QMenu* fileMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    QAction* openfile_ = nullptr;
    QAction* exporttoExcel_ = nullptr;
    QAction* exit_ = nullptr;
    QAction* helpcontent_ = nullptr;
    QAction* aboutus_ = nullptr;

    QToolBar* toolbar1_ = nullptr;
    QToolButton* toolbarButtons_[kToolbarButtons] = {};
    QTreeWidget* treeView1_ = nullptr;
    ListView* listView1_ = nullptr;
    QLabel* label1_ = nullptr;
    QLabel* label2_ = nullptr;
    QGroupBox* frame1_ = nullptr;
    AutoSizeLabel* label3_ = nullptr;
    AutoSizeLabel* label4_ = nullptr;
    AutoSizeLabel* label5_ = nullptr;
    AutoSizeLabel* label6_ = nullptr;
    QProgressBar* progressBar1_ = nullptr;
    QLineEdit* txtEXL_ = nullptr;
    QLabel* picture1_ = nullptr;
    QStatusBar* statusBar1_ = nullptr;
    QLabel* statusText_ = nullptr;
};

}  // namespace tabvert::shell
