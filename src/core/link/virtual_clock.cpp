#include "link/virtual_clock.h"

namespace etc::link {

class VirtualClock::VTimer final : public Timer {
  public:
    explicit VTimer(VirtualClock& clock) : m_clock(clock) {}
    ~VTimer() override { stop(); }

    void setHandler(std::function<void()> tick) override { m_tick = std::move(tick); }
    void start() override {
        if (m_ticket != 0)
            return;
        m_ticket = m_clock.schedule(m_clock.now() + m_interval, this);
    }
    void stop() override {
        if (m_ticket == 0)
            return;
        m_clock.cancel(m_ticket);
        m_ticket = 0;
    }
    bool isActive() const override { return m_ticket != 0; }
    void setInterval(Duration interval) override {
        m_interval = interval;
        if (isActive())
            restart();
    }
    Duration interval() const override { return m_interval; }

    // Called by the clock when this timer is due; the next period is scheduled before the handler
    // runs, so the handler may stop or restart the timer freely.
    void fire(Duration due) {
        m_ticket = m_clock.schedule(due + m_interval, this);
        if (m_tick)
            m_tick();
    }

  private:
    VirtualClock& m_clock;
    std::function<void()> m_tick;
    Duration m_interval{std::chrono::milliseconds(1)};
    std::uint64_t m_ticket = 0;
};

VirtualClock::VirtualClock() = default;
VirtualClock::~VirtualClock() = default;

std::unique_ptr<Timer> VirtualClock::createTimer() {
    return std::make_unique<VTimer>(*this);
}

std::uint64_t VirtualClock::schedule(Duration due, VTimer* timer) {
    const std::uint64_t ticket = m_nextTicket++;
    const Key key{due, ticket};
    m_queue.emplace(key, timer);
    m_tickets.emplace(ticket, key);
    return ticket;
}

void VirtualClock::cancel(std::uint64_t ticket) {
    auto it = m_tickets.find(ticket);
    if (it == m_tickets.end())
        return;
    m_queue.erase(it->second);
    m_tickets.erase(it);
}

bool VirtualClock::fireNext(Duration limit) {
    if (m_queue.empty())
        return false;
    auto first = m_queue.begin();
    const Key key = first->first;
    if (key.first > limit)
        return false;
    VTimer* timer = first->second;
    m_queue.erase(first);
    m_tickets.erase(key.second);
    if (key.first > m_now)
        m_now = key.first;
    timer->fire(key.first);
    return true;
}

void VirtualClock::advance(Duration d) {
    const Duration end = m_now + d;
    while (fireNext(end)) {
    }
    m_now = end;
}

bool VirtualClock::runUntil(const std::function<bool()>& done, Duration limit) {
    const Duration end = m_now + limit;
    if (done())
        return true;
    while (fireNext(end)) {
        if (done())
            return true;
    }
    m_now = end;
    return done();
}

}  // namespace etc::link
