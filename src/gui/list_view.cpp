// The preview list's model and view: columns by 1-based index, rows of item text and sub-items, and
// batches that announce their rows at once.
#include "gui/list_view.h"

#include <QHeaderView>
#include <stdexcept>
#include <string>

#include "core/common/twips.h"

namespace tabvert::shell {

// --- ListViewModel ---

int ListViewModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shownRows_; }

int ListViewModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : HeaderCount();
}

QVariant ListViewModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= shownRows_) return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    return Text(index.row(), index.column());
}

QVariant ListViewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section < 0 || section >= HeaderCount()) return {};
    return headers_.at(section);
}

QString ListViewModel::Text(int row, int column0) const {
    if (row < 0 || row >= ItemCount()) return {};
    return rows_[static_cast<size_t>(row)].value(column0);
}

void ListViewModel::ClearItems() {
    // Published rows are removed with notice even inside a batch; unpublished ones just go.
    if (shownRows_ > 0) {
        beginRemoveRows({}, 0, shownRows_ - 1);
        rows_.clear();
        shownRows_ = 0;
        endRemoveRows();
    } else {
        rows_.clear();
    }
}

void ListViewModel::ClearColumns() {
    if (headers_.isEmpty()) return;
    beginRemoveColumns({}, 0, HeaderCount() - 1);
    headers_.clear();
    endRemoveColumns();
}

int ListViewModel::AddColumn(const QString& title) {
    // Columns are announced at once, batch or not: their positions and widths are set right after.
    const int column = HeaderCount();
    beginInsertColumns({}, column, column);
    headers_.push_back(title);
    endInsertColumns();
    return column + 1;
}

int ListViewModel::AddItem(const QString& text) {
    const int row = ItemCount();
    QStringList cells;
    cells.reserve(std::max(1, HeaderCount()));
    cells.push_back(text);
    if (Silent()) {
        rows_.push_back(std::move(cells));
    } else {
        beginInsertRows({}, row, row);
        rows_.push_back(std::move(cells));
        shownRows_ = ItemCount();
        endInsertRows();
    }
    return row;
}

void ListViewModel::SetText(int row, int column0, const QString& text) {
    if (row < 0 || row >= ItemCount() || column0 < 0)
        throw std::out_of_range("list item " + std::to_string(row) + ", column " + std::to_string(column0));
    QStringList& cells = rows_[static_cast<size_t>(row)];
    while (cells.size() <= column0) cells.push_back(QString());
    cells[column0] = text;
    if (row < shownRows_) {
        const QModelIndex changed = index(row, column0);
        emit dataChanged(changed, changed, {Qt::DisplayRole});
    }
}

void ListViewModel::BeginBatch() { ++batchDepth_; }

void ListViewModel::EndBatch() {
    if (batchDepth_ == 0 || --batchDepth_ > 0) return;
    if (ItemCount() > shownRows_) {
        beginInsertRows({}, shownRows_, ItemCount() - 1);
        shownRows_ = ItemCount();
        endInsertRows();
    }
}

// --- ListView ---

namespace {
// The list view control's default column width.
constexpr int kDefaultColumnWidth = TwipsToPixels(1440);
}  // namespace

ListView::ListView(QWidget* parent) : QTreeView(parent), model_(new ListViewModel(this)) {
    setModel(model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    header()->setSectionsMovable(true);
    header()->setStretchLastSection(false);
    header()->setDefaultSectionSize(kDefaultColumnWidth);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void ListView::CheckColumn(int index) const {
    if (index < 1 || index > ColumnCount())
        throw std::out_of_range("column " + std::to_string(index) + " outside 1.." +
                                std::to_string(ColumnCount()));
}

void ListView::ClearColumns() { model_->ClearColumns(); }

int ListView::AddColumn(const QString& title) { return model_->AddColumn(title); }

QString ListView::ColumnTitle(int index) const {
    CheckColumn(index);
    return model_->Header(index - 1);
}

int ListView::ColumnPosition(int index) const {
    CheckColumn(index);
    return header()->visualIndex(index - 1) + 1;
}

void ListView::SetColumnPosition(int index, int position) {
    CheckColumn(index);
    if (position < 1 || position > ColumnCount())
        throw std::out_of_range("column position " + std::to_string(position) + " outside 1.." +
                                std::to_string(ColumnCount()));
    header()->moveSection(header()->visualIndex(index - 1), position - 1);
}

int ListView::ColumnWidthAt(int index) const {
    CheckColumn(index);
    return header()->sectionSize(index - 1);
}

void ListView::SetColumnWidthAt(int index, int width) {
    CheckColumn(index);
    if (width < 0) throw std::out_of_range("column width " + std::to_string(width) + " is negative");
    header()->resizeSection(index - 1, width);
}

void ListView::ClearItems() { model_->ClearItems(); }

int ListView::AddItem(const QString& text) { return model_->AddItem(text); }

void ListView::SetSubItem(int row, int subItem, const QString& text) {
    if (subItem < 1) throw std::out_of_range("sub-item " + std::to_string(subItem) + " below 1");
    model_->SetText(row, subItem, text);
}

QString ListView::ItemText(int row, int column) const { return model_->Text(row, column - 1); }

void ListView::SetFullRowSelect(bool on) {
    setSelectionBehavior(on ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
}

}  // namespace tabvert::shell
