#pragma once
// The about box `frmAbout`: the about picture with one OK button over its lower middle. Modal, fixed
// border with only a close button, centred on every showing, released whenever it closes. Neither
// Enter nor Escape does anything; the button has the focus, so Space presses it.

#include <QDialog>
#include <QPixmap>

class QPushButton;

namespace tabvert::shell {

class FrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit FrmAbout(QWidget* parent = nullptr);

    QPushButton* cmdOK() const { return cmdOK_; }
    const QPixmap& picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void cmdOK_Click();

    QPixmap picture_;
    QPushButton* cmdOK_;
};

}  // namespace tabvert::shell
