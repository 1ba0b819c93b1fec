// The real message boxes and file dialogs, the scripted answers for tests, and the filter conversion.
#include "gui/platform/prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QStringList>
#include <algorithm>
#include <stdexcept>

#include "gui/platform/dialog_frame.h"

namespace tabvert::ui {

namespace {

// The width at which every line of `text` shows unbroken in `box`, within the width beyond which
// QMessageBox would break lines anywhere, even inside words (about the screen's width on a small one).
int ListBoxWidth(const QMessageBox& box, const QString& text) {
    const auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    const QFontMetrics metrics = label != nullptr ? label->fontMetrics() : box.fontMetrics();
    // Allowance for the label's margin and the grid's spacing beside it.
    constexpr int kBeside = 24;
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line) + kBeside);
    const QScreen* screen = box.screen() != nullptr ? box.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return widest;
    const int screenWidth = screen->availableGeometry().width();
    const int breaksAnywhere = screenWidth <= 1024 ? screenWidth : std::min(screenWidth - 480, 1000);
    return std::min(widest, breaksAnywhere - 2 * kBeside);
}

class QtPrompts : public Prompts {
  public:
    Answer Message(QWidget* parent, const MessageRequest& r) override {
        QMessageBox box(parent);
        box.setWindowFlags(kFixedDialogFlags);
        box.setWindowTitle(r.title);
        box.setText(r.text);
        switch (r.icon) {
            case Icon::None:
                box.setIcon(QMessageBox::NoIcon);
                break;
            case Icon::Information:
                box.setIcon(QMessageBox::Information);
                break;
            case Icon::Warning:
                box.setIcon(QMessageBox::Warning);
                break;
            case Icon::Critical:
                box.setIcon(QMessageBox::Critical);
                break;
            case Icon::Question:
                box.setIcon(QMessageBox::Question);
                break;
        }
        if (r.buttons == Buttons::YesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
        } else {
            box.setStandardButtons(QMessageBox::Ok);
        }
        // A short text makes a narrow box, whose title the window manager would cut; the box's layout
        // sizes it (and is rebuilt with every icon, button or details change), so a spacer as wide as
        // the title bar needs, added last, keeps it wide enough.
        int width = TitleBarWidth(r.title);
        if (!r.details.isEmpty()) {
            box.setDetailedText(r.details);
            // A box with details holds a list: as wide as its longest line, so that no line is broken
            // and the box, details open, stays within the screen's height.
            width = std::max(width, ListBoxWidth(box, r.text));
        }
        if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
            grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                          grid->rowCount(), 0, 1, grid->columnCount());
        }
        const int answer = box.exec();
        if (r.buttons == Buttons::YesNo) return answer == QMessageBox::Yes ? Answer::Yes : Answer::No;
        return Answer::Ok;
    }

    std::optional<FileChoice> FileDialog(QWidget* parent, const FileDialogRequest& r) override {
        QFileDialog dialog(parent);
        const QStringList filters = ToQtFilters(r.filter);
        dialog.setNameFilters(filters);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !r.confirmOverwrite);
        if (r.kind == FileDialogKind::Save) {
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
        } else {
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(QFileDialog::ExistingFile);
        }
        if (!r.fileName.isEmpty()) dialog.selectFile(r.fileName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
        const auto selected = filters.indexOf(dialog.selectedNameFilter());
        return FileChoice{dialog.selectedFiles().front(), selected < 0 ? 1 : static_cast<int>(selected) + 1};
    }
};

}  // namespace

std::unique_ptr<Prompts> MakeQtPrompts() { return std::make_unique<QtPrompts>(); }

QStringList ToQtFilters(const QString& commonDialogFilter) {
    const QStringList parts = commonDialogFilter.split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        QStringList given = parts[i + 1].split(';', Qt::SkipEmptyParts);
        for (auto& p : given) p = p.trimmed();
        const QString listed = QLatin1Char('(') + given.join(QLatin1Char(';')) + QLatin1Char(')');
        if (description.endsWith(listed)) description = description.chopped(listed.size()).trimmed();
        QStringList patterns = given;
        for (auto& p : patterns)
            if (p == QLatin1String("*.*")) p = QStringLiteral("*");
        filters << QStringLiteral("%1 (%2)").arg(description, patterns.join(' '));
    }
    return filters;
}

int TitleBarWidth(const QString& title) {
    // Title bars use a bold face about the size of the application's; the allowance covers the
    // window's icon, the close button and the frame on both sides.
    constexpr int kIconButtonsAndFrame = 120;
    QFont font = QApplication::font();
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(title) + kIconButtonsAndFrame;
}

void ScriptedPrompts::QueueAnswer(Answer answer) { answers_.push_back(answer); }

void ScriptedPrompts::QueueFile(std::optional<QString> file, int filterIndex) {
    if (file)
        files_.push_back(FileChoice{*file, filterIndex});
    else
        files_.push_back(std::nullopt);
}

Answer ScriptedPrompts::Message(QWidget*, const MessageRequest& request) {
    messages_.push_back(request);
    if (request.buttons == Buttons::Ok && (answers_.empty() || answers_.front() != Answer::Ok)) {
        return Answer::Ok;  // an OK-only box has one possible answer
    }
    if (answers_.empty()) throw std::logic_error("unexpected question: " + request.text.toStdString());
    const Answer a = answers_.front();
    answers_.erase(answers_.begin());
    return a;
}

std::optional<FileChoice> ScriptedPrompts::FileDialog(QWidget*, const FileDialogRequest& request) {
    fileDialogs_.push_back(request);
    if (files_.empty()) throw std::logic_error("unexpected file dialog");
    auto f = files_.front();
    files_.erase(files_.begin());
    return f;
}

}  // namespace tabvert::ui
