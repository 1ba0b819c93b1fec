// The closing message of an export with many problems: the first ones in the box, the whole list behind
// its "Show Details..." button, where it scrolls and can be selected and copied; stored queries named
// as queries.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <filesystem>
#include <memory>
#include <vector>

#include "core/export/export_run.h"
#include "fixtures/stored_queries.h"
#include "gui/app_title.h"
#include "gui/main_window.h"
#include "gui/open_database_dialog.h"
#include "gui/platform/prompts.h"
#include "gui/windows.h"
#include "support/export_test_support.h"

namespace tabvert::shell {
namespace {

namespace fs = std::filesystem;
using exporting::test::NumberedTable;

QStringList Lines(const QString& text) { return text.split(QLatin1Char('\n')); }

QStringList ProblemLines(const QString& text) {
    QStringList out;
    for (const QString& line : Lines(text))
        if (line.startsWith(QStringLiteral("- "))) out << line;
    return out;
}

// What the real box showed, read while it is open.
struct ShownBox {
    QString detailedText;
    bool hadDetailsButton = false;
    bool detailsVisible = false;
    bool readOnly = false;
    bool selectable = false;
    bool scrolls = false;
    QString shownDetails;
    QString copied;
    int textHeight = 0;  // the height of the box's text, laid out at the width it has
    int lineSpacing = 0;
    QSize boxSize;  // details open
    QRect screen;
};

ShownBox ShowAndOpenDetails(const ui::MessageRequest& request) {
    QWidget owner;
    owner.show();
    ShownBox seen;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen.detailedText = box->detailedText();
        for (QAbstractButton* button : box->buttons()) {
            if (!button->text().startsWith(QStringLiteral("Show Details"))) continue;
            seen.hadDetailsButton = true;
            button->click();
            QApplication::processEvents();
        }
        if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
            seen.textHeight = label->heightForWidth(label->width());
            seen.lineSpacing = label->fontMetrics().lineSpacing();
        }
        seen.boxSize = box->frameGeometry().size();
        seen.screen = box->screen()->availableGeometry();
        if (auto* edit = box->findChild<QTextEdit*>()) {
            seen.detailsVisible = edit->isVisible();
            seen.readOnly = edit->isReadOnly();
            seen.selectable = edit->textInteractionFlags().testFlag(Qt::TextSelectableByMouse);
            seen.scrolls = edit->verticalScrollBar()->maximum() > 0;
            seen.shownDetails = edit->toPlainText();
            QApplication::clipboard()->clear();
            edit->selectAll();
            edit->copy();
            seen.copied = QApplication::clipboard()->text();
        }
        box->accept();
    });
    ui::MakeQtPrompts()->Message(&owner, request);
    return seen;
}

TEST(MessageDetails, TheBoxKeepsTheWholeListBehindShowDetailsWhereItScrollsAndCopies) {
    QStringList lines;
    for (int i = 1; i <= 60; ++i) lines << QStringLiteral("- Table \"T%1\": not copied").arg(i);
    ui::MessageRequest request;
    request.text = QString::fromUtf8(exporting::kCompletedText);
    request.title = QString::fromUtf8(AppTitle);
    request.details = lines.join(QLatin1Char('\n'));

    const ShownBox withDetails = ShowAndOpenDetails(request);
    EXPECT_EQ(withDetails.detailedText, request.details);
    EXPECT_TRUE(withDetails.hadDetailsButton);
    EXPECT_TRUE(withDetails.detailsVisible);
    EXPECT_TRUE(withDetails.readOnly && withDetails.selectable);
    EXPECT_TRUE(withDetails.scrolls) << "sixty lines do not fit the details part";
    EXPECT_EQ(withDetails.shownDetails, request.details);
    EXPECT_EQ(withDetails.copied, request.details);

    request.details.clear();
    const ShownBox plain = ShowAndOpenDetails(request);
    EXPECT_FALSE(plain.hadDetailsButton);
    EXPECT_TRUE(plain.detailedText.isEmpty());
    EXPECT_TRUE(plain.shownDetails.isEmpty());
}

TEST(MessageDetails, ALongListKeepsItsLinesWholeAndTheOpenBoxWithinTheScreen) {
    std::vector<exporting::ExportProblem> problems;
    for (int i = 1; i <= 30; ++i)
        problems.push_back({"tblMSysArchive" + std::to_string(i),
                            "not copied: its name contains \"MSys\", which marks the database's own tables"});
    ui::MessageRequest request;
    request.text =
        QString::fromStdString(exporting::CompletionMessage(problems, exporting::kMessageProblemLimit));
    request.title = QString::fromUtf8(AppTitle);
    request.details = QString::fromStdString(exporting::ProblemList(problems));
    const qsizetype lines = Lines(request.text).size();

    const ShownBox seen = ShowAndOpenDetails(request);
    ASSERT_TRUE(seen.detailsVisible);
    EXPECT_LE(seen.textHeight, lines * seen.lineSpacing)
        << "a line of the list was broken; box " << seen.boxSize.width() << " of " << seen.screen.width();
    EXPECT_LE(seen.boxSize.height(), seen.screen.height());
    EXPECT_LE(seen.boxSize.width(), seen.screen.width());
}

class ClosingMessage : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        windows_ = std::make_unique<Windows>(prompts_);
    }
    MainWindow& Window() { return windows_->mainWindow(); }

    // Opens `db` and exports it with the closing message confirmed; returns that message.
    ui::MessageRequest Export(const fixtures::Database& db, const std::string& name) {
        const fs::path root = dir_.path().toStdString();
        const fs::path path = exporting::test::WriteDb(db, root / (name + ".mdb"));
        windows_->OpenDatabaseDialog().DatabasePathBox()->setText(QString::fromStdString(path.string()));
        Window().OpenDatabase();
        prompts_.QueueFile(QString::fromStdString((root / (name + ".xlsx")).string()));
        prompts_.QueueAnswer(ui::Answer::Ok);
        Window().ClickExport();
        EXPECT_TRUE(fs::exists(root / (name + ".xlsx")));
        return prompts_.Messages().back();
    }

    QTemporaryDir dir_;
    ui::ScriptedPrompts prompts_;
    std::unique_ptr<Windows> windows_;
};

TEST_F(ClosingMessage, ShowsTheFirstProblemsAndKeepsEveryOneInItsDetailsQueriesNamedAsQueries) {
    // 24 tables and a query that the "MSys" filter passes over, and a query that cannot run: 26 problems.
    fixtures::Database db;
    db.tables.push_back(NumberedTable("A", 3));
    for (int i = 1; i <= 24; ++i) {
        const std::string number = (i < 10 ? "0" : "") + std::to_string(i);
        db.tables.push_back(NumberedTable("tblMSys" + number, 1));
    }
    db.queries.push_back(fixtures::QueryBuilder("Broken")
                             .Table("A")
                             .Join("A", "Nowhere", "A.ID = Nowhere.ID")
                             .Column("A.ID")
                             .Build());
    db.queries.push_back(fixtures::QueryBuilder("qryMSysTotals").Table("A").Star().Build());

    const ui::MessageRequest message = Export(db, "many");
    EXPECT_TRUE(message.text.startsWith(QString::fromUtf8(exporting::kCompletedText)));
    EXPECT_TRUE(message.buttons == ui::Buttons::Ok && message.icon == ui::Icon::None &&
                message.title == QString::fromUtf8(AppTitle));

    const QStringList shown = ProblemLines(message.text);
    const QStringList all = Lines(message.details);
    ASSERT_EQ(all.size(), 26) << message.details.toStdString();
    ASSERT_EQ(shown.size(), static_cast<qsizetype>(exporting::kMessageProblemLimit) + 1);
    EXPECT_EQ(shown.back(), QStringLiteral("- and 6 more problems."));
    EXPECT_EQ(shown.mid(0, shown.size() - 1), all.mid(0, shown.size() - 1))
        << "the box shows the first lines";

    EXPECT_TRUE(all.front().startsWith(QStringLiteral("- Query \"Broken\": its records could not be read")))
        << all.front().toStdString();
    EXPECT_EQ(all.back(), QStringLiteral("- Query \"qryMSysTotals\": not copied: its name contains \"MSys\", "
                                         "which marks the database's own tables"));
    EXPECT_TRUE(
        all.contains(QStringLiteral("- Table \"tblMSys24\": not copied: its name contains \"MSys\", "
                                    "which marks the database's own tables")));
    EXPECT_FALSE(message.text.contains(QStringLiteral("qryMSysTotals"))) << "beyond the first twenty";
    EXPECT_FALSE(message.details.contains(QStringLiteral("Table \"Broken\"")) ||
                 message.details.contains(QStringLiteral("Table \"qryMSysTotals\"")));
}

TEST_F(ClosingMessage, HasNoDetailsWhenEverythingWasCopied) {
    fixtures::Database db;
    db.tables.push_back(NumberedTable("A", 3));
    db.queries.push_back(fixtures::QueryBuilder("AllOfA").Table("A").Star().Build());
    const ui::MessageRequest message = Export(db, "clean");
    EXPECT_EQ(message.text, QString::fromUtf8(exporting::kCompletedText));
    EXPECT_TRUE(message.details.isEmpty());
}

}  // namespace
}  // namespace tabvert::shell
