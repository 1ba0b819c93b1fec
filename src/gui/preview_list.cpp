// The preview run's sink: fills the preview list and the progress bar in one batch.
#include "gui/preview_list.h"

#include <QProgressBar>
#include <QString>

namespace tabvert::database {

PreviewListFiller::PreviewListFiller(shell::ListView& list, QProgressBar& progress)
    : list_(list), progress_(progress), batch_(list) {}

void PreviewListFiller::AddColumns(const std::vector<std::string>& captions) {
    for (const std::string& caption : captions) list_.AddColumn(QString::fromStdString(caption));
}

void PreviewListFiller::MoveColumn(int index, int position) { list_.SetColumnPosition(index, position); }

void PreviewListFiller::SetColumnWidth(int index, int pixels) { list_.SetColumnWidthAt(index, pixels); }

void PreviewListFiller::AddRow(std::vector<std::string>&& cells) {
    const int row = list_.AddItem(cells.empty() ? QString() : QString::fromStdString(cells.front()));
    for (std::size_t i = 1; i < cells.size(); ++i) {
        list_.SetSubItem(row, static_cast<int>(i), QString::fromStdString(cells[i]));
    }
}

void PreviewListFiller::SetProgressMaximum(int maximum) { progress_.setMaximum(maximum); }

void PreviewListFiller::SetProgressValue(int value) { progress_.setValue(value); }

}  // namespace tabvert::database
