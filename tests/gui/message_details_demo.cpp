// Exports a database with many problems through the main window and leaves the real closing message on
// screen with its details open: lets a screenshot taken from outside (Xvfb + import) show the whole
// problem list. The database is written into OUT_DIR; the box closes itself after HOLD_MS.
//   message_details_demo OUT_DIR [HOLD_MS]

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "fixtures/access_writer.h"
#include "fixtures/stored_queries.h"
#include "gui/main_window.h"
#include "gui/open_database_dialog.h"
#include "gui/platform/prompts.h"
#include "gui/windows.h"

namespace {

using namespace tabvert;

// Real message boxes; the save dialog answered with the workbook path.
class DemoPrompts : public ui::Prompts {
  public:
    explicit DemoPrompts(QString workbook) : real_(ui::MakeQtPrompts()) { scripted_.QueueFile(workbook); }
    ui::Answer Message(QWidget* parent, const ui::MessageRequest& request) override {
        if (request.buttons == ui::Buttons::YesNo) return ui::Answer::Yes;  // the exit question
        return real_->Message(parent, request);
    }
    std::optional<ui::FileChoice> FileDialog(QWidget* parent, const ui::FileDialogRequest& request) override {
        return scripted_.FileDialog(parent, request);
    }

  private:
    std::unique_ptr<ui::Prompts> real_;
    ui::ScriptedPrompts scripted_;
};

fixtures::Table SmallTable(const std::string& name) {
    fixtures::Table t;
    t.name = name;
    t.columns = {fixtures::Column{"ID", fixtures::ColumnType::Long}};
    t.rows = {{std::int64_t{1}}, {std::int64_t{2}}};
    return t;
}

// Orders; a note too long for a cell; 30 tables and a query whose names hold "MSys"; a query that
// cannot run.
fixtures::Database ProblemDatabase() {
    fixtures::Database db;
    db.tables.push_back(SmallTable("Orders"));
    fixtures::Table notes;
    notes.name = "Notes";
    notes.columns = {fixtures::Column{"ID", fixtures::ColumnType::Long},
                     fixtures::Column{"Text", fixtures::ColumnType::Memo}};
    notes.rows = {{std::int64_t{1}, std::string(40000, 'x')}};
    db.tables.push_back(notes);
    for (int i = 1; i <= 30; ++i)
        db.tables.push_back(
            SmallTable("tblMSysArchive" + std::string(i < 10 ? "0" : "") + std::to_string(i)));
    db.queries.push_back(fixtures::QueryBuilder("Late orders")
                             .Table("Orders")
                             .Join("Orders", "Shipments", "Orders.ID = Shipments.ID")
                             .Column("Orders.ID")
                             .Build());
    db.queries.push_back(fixtures::QueryBuilder("qryMSysTotals").Table("Orders").Star().Build());
    return db;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT_DIR [HOLD_MS]\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const int hold = argc > 2 ? std::atoi(argv[2]) : 4000;
    fixtures::WriteDatabase(ProblemDatabase(), dir + "/problems.mdb");

    DemoPrompts prompts(QString::fromStdString(dir + "/problems.xlsx"));
    shell::Windows windows(prompts);
    shell::MainWindow& window = windows.mainWindow();
    window.show();
    windows.OpenDatabaseDialog().DatabasePathBox()->setText(QString::fromStdString(dir + "/problems.mdb"));
    window.OpenDatabase();

    // Once the closing message shows: open its details, and close it after `hold`.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        watch.stop();
        for (QAbstractButton* button : box->buttons())
            if (button->text().startsWith(QStringLiteral("Show Details"))) button->click();
        std::fprintf(stderr, "details shown\n");
        QTimer::singleShot(hold, box, [box] { box->accept(); });
    });
    QTimer::singleShot(1000, &window, [&] {
        watch.start(100);
        window.ClickToolbarButton(2);
        QApplication::quit();
    });
    return QApplication::exec();
}
