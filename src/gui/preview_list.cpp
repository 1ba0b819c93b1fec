// The preview run's sink: fills the preview list and the progress bar in one batch.
#include "gui/preview_list.h"

#include <QProgressBar>
#include <QString>

namespace tabvert::database {

PreviewListFiller::PreviewListFiller(shell::ListView& list, QProgressBar& progress)
    : list_(list), progress_(progress), batch_(list) {}

void PreviewListFiller::addColumns(const std::vector<std::string>& captions) {
    for (const std::string& caption : captions) list_.addColumn(QString::fromStdString(caption));
}

void PreviewListFiller::moveColumn(int index, int position) { list_.setColumnPosition(index, position); }

void PreviewListFiller::setColumnWidth(int index, int pixels) { list_.setColumnWidthAt(index, pixels); }

void PreviewListFiller::addRow(std::vector<std::string>&& cells) {
    const int row = list_.addItem(cells.empty() ? QString() : QString::fromStdString(cells.front()));
    for (std::size_t i = 1; i < cells.size(); ++i) {
        list_.setSubItem(row, static_cast<int>(i), QString::fromStdString(cells[i]));
    }
}

void PreviewListFiller::setProgressMaximum(int maximum) { progress_.setMaximum(maximum); }

void PreviewListFiller::setProgressValue(int value) { progress_.setValue(value); }

}  // namespace tabvert::database
