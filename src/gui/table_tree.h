#pragma once
// The table tree's widget: a tree that also reports the node the user chooses with the keyboard, so
// that arrows, Home/End, Page Up/Down, Enter and Space preview a table as a click does. Holding an
// arrow down moves through the tree without reading every table passed; the node it stops on is
// reported when the key is let go.

#include <QTreeWidget>

class QKeyEvent;

namespace tabvert::shell {

class TableTree : public QTreeWidget {
    Q_OBJECT
  public:
    using QTreeWidget::QTreeWidget;

  signals:
    void NodeChosenByKey(QTreeWidgetItem* node);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

  private:
    bool movedWhileRepeating_ = false;
};

}  // namespace tabvert::shell
