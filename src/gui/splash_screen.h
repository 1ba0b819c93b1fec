#pragma once
// The splash screen: a borderless picture shown centred for two seconds at start-up. When its timer
// fires it releases itself and shows the main window; a key press that produces a character releases it
// at once without showing the main window, which ends the program.

#include <QPixmap>
#include <QWidget>

class QTimer;

namespace tabvert::shell {

class Windows;

class SplashScreen : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kIntervalMs = 2000;

    explicit SplashScreen(Windows& windows, QWidget* parent = nullptr);

    // Runs from the moment the window is loaded; tests may shorten its interval.
    QTimer* HandOverTimer() const { return handOverTimer_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Key preview: every key press reaches the window itself.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // Releases the splash screen and shows the main window.
    void HandOverToMainWindow();
    // Releases the splash screen and shows nothing else.
    void CloseWithoutMainWindow();

    Windows* windows_;
    QPixmap picture_;
    QTimer* handOverTimer_;
};

}  // namespace tabvert::shell
