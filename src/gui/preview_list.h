#pragma once
// The preview run's sink on the main window: columns, items and sub-items of the preview list, and the value
// of the progress bar. Items are collected in one batch of the list and shown together when the filler goes
// away, so a full preview costs one view update instead of 10,000; what was added before a failure is
// shown all the same.

#include "core/database/preview.h"
#include "gui/list_view.h"

class QProgressBar;

namespace tabvert::database {

class PreviewListFiller : public PreviewSink {
  public:
    PreviewListFiller(shell::ListView& list, QProgressBar& progress);

    void AddColumns(const std::vector<std::string>& captions) override;
    void MoveColumn(int index, int position) override;
    void SetColumnWidth(int index, int pixels) override;
    void AddRow(std::vector<std::string>&& cells) override;
    void SetProgressMaximum(int maximum) override;
    void SetProgressValue(int value) override;

  private:
    shell::ListView& list_;
    QProgressBar& progress_;
    shell::ListView::Batch batch_;
};

}  // namespace tabvert::database
