// A label that reports a click, for texts the user can click on (the error counter, the splash credit).
#pragma once

#include <QLabel>
#include <QMouseEvent>

namespace etc::gui {

class ClickLabel final : public QLabel {
    Q_OBJECT
  public:
    using QLabel::QLabel;

  signals:
    void clicked();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
            emit clicked();
            event->accept();
            return;
        }
        QLabel::mouseReleaseEvent(event);
    }
    void mousePressEvent(QMouseEvent* event) override { event->accept(); }
};

}  // namespace etc::gui
