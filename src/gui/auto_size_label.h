#pragma once
// A label that keeps its left and top edges and takes the size of its caption on one line whenever the
// caption or the font changes. Set the caption through this class (not through a QLabel pointer) so the
// label can follow it.

#include <QEvent>
#include <QLabel>

namespace tabvert::shell {

class AutoSizeLabel : public QLabel {
  public:
    explicit AutoSizeLabel(const QString& text, QWidget* parent = nullptr) : QLabel(text, parent) {
        setWordWrap(false);
        adjustSize();
    }

    // Hides QLabel::setText so that every caption change resizes the label.
    void setText(const QString& text) {
        QLabel::setText(text);
        adjustSize();
    }

  protected:
    void changeEvent(QEvent* event) override {
        QLabel::changeEvent(event);
        if (event->type() == QEvent::FontChange) adjustSize();
    }
};

}  // namespace tabvert::shell
