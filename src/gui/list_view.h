#pragma once
// The preview list in report view: a header row of column titles and one row per record. Columns are
// addressed by their 1-based index (the order in which they were added) and have a 1-based display
// position and a width in pixels; an item is one row, its first column is its text and the further
// columns are its sub-items 1..n.
//
// Filling it row by row is cheap: a batch (ListView::Batch) collects every change silently and shows
// them at once when it ends, so 10,000 rows of 20 columns appear in a few milliseconds.

#include <QAbstractTableModel>
#include <QStringList>
#include <QTreeView>
#include <vector>

namespace tabvert::shell {

class ListViewModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    int HeaderCount() const { return static_cast<int>(headers_.size()); }
    int ItemCount() const { return static_cast<int>(rows_.size()); }
    const QString& Header(int column0) const { return headers_.at(column0); }
    QString Text(int row, int column0) const;

    void ClearItems();
    void ClearColumns();
    int AddColumn(const QString& title);
    int AddItem(const QString& text);
    void SetText(int row, int column0, const QString& text);

    // While batching, changes are stored but announced as one reset when the batch ends.
    void BeginBatch();
    void EndBatch();

  private:
    bool Silent() const { return batchDepth_ > 0; }

    QStringList headers_;
    std::vector<QStringList> rows_;
    int batchDepth_ = 0;
    // Row and column counts the view was last told about (they lag behind while batching).
    int shownRows_ = 0;
    int shownColumns_ = 0;
};

class ListView : public QTreeView {
    Q_OBJECT
  public:
    explicit ListView(QWidget* parent = nullptr);

    // Collects changes and shows them at once when it goes out of scope (also on an exception).
    class Batch {
      public:
        explicit Batch(ListView& view) : model_(view.model_) { model_->BeginBatch(); }
        ~Batch() { model_->EndBatch(); }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

      private:
        ListViewModel* model_;
    };

    // Column headers.
    void ClearColumns();
    int AddColumn(const QString& title);  // returns the new column's index (1-based)
    int ColumnCount() const { return model_->HeaderCount(); }
    QString ColumnTitle(int index) const;
    int ColumnPosition(int index) const;  // 1-based display position of column index
    void SetColumnPosition(int index, int position);
    int ColumnWidthAt(int index) const;  // pixels
    void SetColumnWidthAt(int index, int width);

    // Items.
    void ClearItems();
    int AddItem(const QString& text);  // returns the new item's row (0-based)
    void SetSubItem(int row, int subItem, const QString& text);
    int ItemCount() const { return model_->ItemCount(); }
    // column is 1-based: 1 is the item's text, 2.. its sub-items.
    QString ItemText(int row, int column) const;

    // Display options.
    void SetFullRowSelect(bool on);

    ListViewModel* ListModel() const { return model_; }

  private:
    void CheckColumn(int index) const;

    ListViewModel* model_;
};

}  // namespace tabvert::shell
