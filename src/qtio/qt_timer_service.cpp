#include "qtio/qt_timer_service.h"

#include <QObject>
#include <QTimer>
#include <functional>

namespace etc::qtio {

namespace {

class QtTimer final : public link::Timer {
  public:
    QtTimer() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setSingleShot(false);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (m_tick)
                m_tick();
        });
    }

    void setHandler(std::function<void()> tick) override { m_tick = std::move(tick); }
    void start() override {
        if (!m_timer.isActive())
            m_timer.start();
    }
    void stop() override { m_timer.stop(); }
    [[nodiscard]] bool isActive() const override { return m_timer.isActive(); }
    void setInterval(link::Duration interval) override {
        m_interval = interval;
        // QTimer::setInterval restarts an active timer, as the rule wants.
        m_timer.setInterval(
            std::chrono::ceil<std::chrono::milliseconds>(std::max(interval, link::Duration{0})));
    }
    [[nodiscard]] link::Duration interval() const override { return m_interval; }

  private:
    QTimer m_timer;
    std::function<void()> m_tick;
    link::Duration m_interval{std::chrono::milliseconds(0)};
};

}  // namespace

QtTimerService::QtTimerService() : m_origin(std::chrono::steady_clock::now()) {}

std::unique_ptr<link::Timer> QtTimerService::createTimer() {
    return std::make_unique<QtTimer>();
}

link::Duration QtTimerService::now() const {
    return std::chrono::duration_cast<link::Duration>(std::chrono::steady_clock::now() - m_origin);
}

}  // namespace etc::qtio
