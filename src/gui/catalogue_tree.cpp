// The catalogue tree: nodes keyed by their Qt::UserRole data, filled from the catalogue run.
#include "gui/catalogue_tree.h"

#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <stdexcept>

#include "gui/image_list.h"

namespace tabvert::database {

namespace {

constexpr int kDatabasePicture = 1;
constexpr int kTablePicture = 2;
constexpr int kStoredNameRole = Qt::UserRole + 1;

const QString& RootKey() {
    static const QString key = QString::fromLatin1(kRootKey.data(), static_cast<qsizetype>(kRootKey.size()));
    return key;
}

}  // namespace

QTreeWidgetItem* FindNodeByKey(const QTreeWidget& tree, const QString& key) {
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(&tree)); *it; ++it) {
        if (NodeKey(**it) == key) return *it;
    }
    return nullptr;
}

QString NodeKey(const QTreeWidgetItem& node) { return node.data(0, Qt::UserRole).toString(); }

QString NodeTableName(const QTreeWidgetItem& node) {
    const QVariant stored = node.data(0, kStoredNameRole);
    return stored.isValid() ? stored.toString() : node.text(0);
}

void CatalogueTree::RootAdded(const std::string& databasePath) {
    auto* root = new QTreeWidgetItem(&tree_);
    root->setText(0, QString::fromStdString(databasePath));
    root->setToolTip(0, root->text(0));
    root->setData(0, Qt::UserRole, RootKey());
    root->setIcon(0, images_.Icon(kDatabasePicture));
    root_ = FindNodeByKey(tree_, RootKey());
    if (root_ == nullptr) throw std::logic_error("the catalogue root was not added");
    root_->setExpanded(true);
}

void CatalogueTree::TableFound(const CatalogueEntry& entry) {
    if (root_ == nullptr) throw std::logic_error("a table was reported before the catalogue root");
    auto* node = new QTreeWidgetItem(root_);
    node->setText(0, QString::fromStdString(entry.name));
    node->setToolTip(0, node->text(0));
    node->setData(0, Qt::UserRole, QString::fromStdString(entry.key));
    if (!entry.storedName.empty() && entry.storedName != entry.name)
        node->setData(0, kStoredNameRole, QString::fromStdString(entry.storedName));
    node->setIcon(0, images_.Icon(kTablePicture));
}

}  // namespace tabvert::database
