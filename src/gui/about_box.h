#pragma once
// The about box: the about picture with one OK button over its lower middle. Modal, fixed
// border with only a close button, centred on every showing, released whenever it closes. Neither
// Enter nor Escape does anything; the button has the focus, so Space presses it.

#include <QDialog>
#include <QPixmap>

class QPushButton;

namespace tabvert::shell {

class AboutBox : public QDialog {
    Q_OBJECT
  public:
    explicit AboutBox(QWidget* parent = nullptr);

    QPushButton* OkButton() const { return okButton_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QPixmap picture_;
    QPushButton* okButton_;
};

}  // namespace tabvert::shell
