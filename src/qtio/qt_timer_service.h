// Timers on the Qt event loop with the protocol's rules: starting a running timer keeps its phase,
// changing the interval of a running timer restarts it, a one-shot use stops the timer in its handler.
#pragma once

#include <chrono>
#include <memory>

#include "link/timer.h"

namespace etc::qtio {

// QTimer with Qt::PreciseTimer (a coarse timer may fire 5 % off, too much for 50 ms steps). Intervals
// are rounded up to whole milliseconds, so a timer never fires before its due time. now() is a steady
// clock counted from the service's creation. Timers must be used on the thread that runs the loop.
class QtTimerService final : public link::TimerService {
  public:
    QtTimerService();
    [[nodiscard]] std::unique_ptr<link::Timer> createTimer() override;
    [[nodiscard]] link::Duration now() const override;

  private:
    std::chrono::steady_clock::time_point m_origin;
};

}  // namespace etc::qtio
