// The timer rules the protocol relies on, on virtual time.
#include <gtest/gtest.h>

#include "link/virtual_clock.h"

using namespace etc::link;
using namespace std::chrono_literals;

namespace {

struct Ticks {
    VirtualClock clock;
    std::unique_ptr<Timer> timer = clock.createTimer();
    std::vector<Duration> at;
    Ticks() {
        timer->setInterval(100ms);
        timer->setHandler([this] { at.push_back(clock.now()); });
    }
};

TEST(VirtualClockTimers, StartingARunningTimerKeepsItsPhase) {
    Ticks t;
    t.timer->start();
    t.clock.advance(60ms);
    t.timer->start();
    t.clock.advance(150ms);
    EXPECT_EQ(t.at, (std::vector<Duration>{100ms, 200ms}));
}

TEST(VirtualClockTimers, RestartAndIntervalChangeBeginANewPeriod) {
    Ticks t;
    t.timer->start();
    t.clock.advance(60ms);
    t.timer->restart();
    t.clock.advance(100ms);
    EXPECT_EQ(t.at, (std::vector<Duration>{160ms}));
    t.clock.advance(30ms);
    t.timer->setInterval(50ms);
    t.clock.advance(50ms);
    EXPECT_EQ(t.at, (std::vector<Duration>{160ms, 240ms}));
    Ticks idle;
    idle.timer->setInterval(50ms);  // a stopped timer stays stopped
    idle.clock.advance(1s);
    EXPECT_TRUE(idle.at.empty());
}

TEST(VirtualClockTimers, HandlerMayStopItsOwnTimerForAOneShot) {
    Ticks t;
    t.timer->setHandler([&] {
        t.timer->stop();
        t.at.push_back(t.clock.now());
    });
    t.timer->start();
    t.clock.advance(1s);
    EXPECT_EQ(t.at, (std::vector<Duration>{100ms}));
    EXPECT_FALSE(t.timer->isActive());
}

TEST(VirtualClockTimers, TicksFireInDueOrderAndRunUntilStopsEarly) {
    VirtualClock clock;
    std::vector<std::string> order;
    auto a = clock.createTimer();
    auto b = clock.createTimer();
    a->setInterval(30ms);
    b->setInterval(20ms);
    a->setHandler([&] { order.push_back("a"); });
    b->setHandler([&] { order.push_back("b"); });
    a->start();
    b->start();
    clock.advance(60ms);
    EXPECT_EQ(order, (std::vector<std::string>{"b", "a", "b", "a", "b"}));
    EXPECT_TRUE(clock.runUntil([&] { return order.size() == 7; }, 1s));
    EXPECT_EQ(clock.now(), 90ms);
    EXPECT_FALSE(clock.runUntil([] { return false; }, 100ms));
    EXPECT_EQ(clock.now(), 190ms);
}

}  // namespace
