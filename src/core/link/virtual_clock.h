// Virtual time: timers fire in order of their due time, only when the clock is advanced. Everything
// the core and the simulator schedule goes through these timers, so a test runs seconds of protocol
// in microseconds and always the same way.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>

#include "link/timer.h"

namespace etc::link {

class VirtualClock final : public TimerService {
  public:
    VirtualClock();
    ~VirtualClock() override;
    VirtualClock(const VirtualClock&) = delete;
    VirtualClock& operator=(const VirtualClock&) = delete;

    [[nodiscard]] std::unique_ptr<Timer> createTimer() override;
    [[nodiscard]] Duration now() const override { return m_now; }

    // Fires every tick due up to now + d, in order, then sets the clock to now + d.
    void advance(Duration d);
    // Advances tick by tick until the predicate holds (checked before and after each tick) or the
    // limit has passed. Returns whether the predicate held.
    bool runUntil(const std::function<bool()>& done, Duration limit);
    // Time of the next due tick, if any.
    [[nodiscard]] bool hasPending() const { return !m_queue.empty(); }

  private:
    class VTimer;
    friend class VTimer;
    using Key = std::pair<Duration, std::uint64_t>;  // due time, insertion order

    std::uint64_t schedule(Duration due, VTimer* timer);
    void cancel(std::uint64_t ticket);
    bool fireNext(Duration limit);

    Duration m_now{0};
    std::uint64_t m_nextTicket = 1;
    std::map<Key, VTimer*> m_queue;
    std::map<std::uint64_t, Key> m_tickets;
};

}  // namespace etc::link
