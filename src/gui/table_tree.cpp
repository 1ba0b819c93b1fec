// The table tree's keyboard handling: the node the user lands on with the keys is reported as chosen.
#include "gui/table_tree.h"

#include <QKeyEvent>

namespace tabvert::shell {

void TableTree::keyPressEvent(QKeyEvent* event) {
    QTreeWidgetItem* before = currentItem();
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
        event->accept();
        if (before != nullptr && !event->isAutoRepeat()) {
            before->setSelected(true);
            emit NodeChosenByKey(before);
        }
        return;
    }
    QTreeWidget::keyPressEvent(event);
    QTreeWidgetItem* after = currentItem();
    if (after == nullptr || after == before) return;
    if (event->isAutoRepeat())
        movedWhileRepeating_ = true;
    else
        emit NodeChosenByKey(after);
}

void TableTree::keyReleaseEvent(QKeyEvent* event) {
    QTreeWidget::keyReleaseEvent(event);
    if (event->isAutoRepeat() || !movedWhileRepeating_) return;
    movedWhileRepeating_ = false;
    if (QTreeWidgetItem* node = currentItem()) emit NodeChosenByKey(node);
}

}  // namespace tabvert::shell
