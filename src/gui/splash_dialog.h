// The splash and about dialog `TOKBottomDlg_openingsscherm`: a picture, the program's name and version,
// an orange strip at the right edge, "OK", and a timer that closes it after 10 s.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;

namespace etc::gui {

inline constexpr int kSplashCloseMs = 10000;

class SplashDialog final : public QDialog {
    Q_OBJECT
  public:
    explicit SplashDialog(QWidget* parent = nullptr);

    [[nodiscard]] QTimer* closeTimer() const { return m_timer; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QTimer* m_timer = nullptr;
};

// The picture across the top of the splash dialog, drawn rather than loaded.
class SplashPicture final : public QWidget {
    Q_OBJECT
  public:
    explicit SplashPicture(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace etc::gui
