#pragma once
// The catalogue tree (`TreeView1`) as a keyed node collection: every node carries its key in the item's
// Qt::UserRole data, so that nodes can be looked up by key. A table node whose stored name differs from
// its text (blanks around it) also keeps the stored name, so that a click previews that very table.
// CatalogueTree fills the tree from the catalogue run as the run reports root and tables.

#include <QString>

#include "core/database/catalogue.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace tabvert::shell {
class ImageList;
}

namespace tabvert::database {

// The node whose key is `key`, anywhere in the tree; nullptr when there is none.
QTreeWidgetItem* FindNodeByKey(const QTreeWidget& tree, const QString& key);
// The key stored in a node.
QString NodeKey(const QTreeWidgetItem& node);
// The table name a query on this node must use: the stored name where it differs from the text.
QString NodeTableName(const QTreeWidgetItem& node);

class CatalogueTree : public CatalogueSink {
  public:
    // images: picture 1 for the database node, picture 2 for a table node.
    CatalogueTree(QTreeWidget& tree, const shell::ImageList& images) : tree_(tree), images_(images) {}

    // Adds the root (key "NorrinT", text the path, picture 1), then looks it up by key and expands it.
    void RootAdded(const std::string& databasePath) override;
    // Adds a child of the root with the entry's key and name, picture 2.
    void TableFound(const CatalogueEntry& entry) override;

  private:
    QTreeWidget& tree_;
    const shell::ImageList& images_;
    QTreeWidgetItem* root_ = nullptr;
};

}  // namespace tabvert::database
