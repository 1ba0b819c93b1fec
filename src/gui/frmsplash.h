#pragma once
// The splash screen `frmSplash`: a borderless picture shown centred for two seconds at start-up. On
// Timer1's first tick it releases itself and shows the main window; a key press that produces a
// character releases it at once without showing the main window, which ends the program.

#include <QPixmap>
#include <QWidget>

class QTimer;

namespace tabvert::shell {

class Forms;

class FrmSplash : public QWidget {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 2000;

    explicit FrmSplash(Forms& forms, QWidget* parent = nullptr);

    // Runs from the moment the window is loaded; tests may shorten its interval.
    QTimer* Timer1() const { return timer1_; }
    const QPixmap& picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Key preview: every key press reaches the window itself.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Timer1_Timer();
    void Form_KeyPress();

    Forms* forms_;
    QPixmap picture_;
    QTimer* timer1_;
};

}  // namespace tabvert::shell
