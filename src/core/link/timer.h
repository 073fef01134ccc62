// Timers and the clock as the core sees them.
//
// The rules the protocol relies on: starting a running timer keeps its phase; a restart is stop then
// start; changing the interval of a running timer restarts it. Timers are periodic; a one-shot use
// stops the timer at the start of its tick.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace etc::link {

using Duration = std::chrono::nanoseconds;

class Timer {
  public:
    virtual ~Timer() = default;
    virtual void setHandler(std::function<void()> tick) = 0;
    virtual void start() = 0;  // no effect while running: the phase is kept
    virtual void stop() = 0;
    [[nodiscard]] virtual bool isActive() const = 0;
    virtual void setInterval(Duration interval) = 0;  // restarts a running timer
    [[nodiscard]] virtual Duration interval() const = 0;

    void restart() {
        stop();
        start();
    }
};

class TimerService {
  public:
    virtual ~TimerService() = default;
    [[nodiscard]] virtual std::unique_ptr<Timer> createTimer() = 0;
    // Monotonic time since an arbitrary origin.
    [[nodiscard]] virtual Duration now() const = 0;
};

}  // namespace etc::link
