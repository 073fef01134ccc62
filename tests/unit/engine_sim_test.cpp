// The request engine against the in-process simulated module, on virtual time: the frames on the
// wire, their line speeds and their exact times.
#include <gtest/gtest.h>

#include "link/request_engine.h"
#include "sim/module.h"
#include "sim/simulated_port.h"
#include "test_support.h"

using namespace etc;
using namespace etc::link;
using namespace std::chrono_literals;

namespace {

Duration wire(std::size_t bytes, int baud) {
    return Duration(wireTimeNs(bytes, baud));
}

struct SimRig {
    VirtualClock clock;
    std::unique_ptr<sim::Module> module;
    std::unique_ptr<sim::SimulatedPort> port;
    test::ScriptedPrompter prompter;
    std::unique_ptr<RequestEngine> engine;
    int frames = 0;
    std::vector<Duration> frameTimes;
    std::string version, serial;
    int master = -1, user = -1;

    explicit SimRig(sim::ModuleConfig config = {}) {
        config.animate = false;
        module = std::make_unique<sim::Module>(clock, std::move(config));
        port = std::make_unique<sim::SimulatedPort>(clock, *module, std::vector<std::string>{"SIM"});
        engine = std::make_unique<RequestEngine>(*port, clock, prompter);
        engine->setPortName("SIM");
        auto& h = engine->hooks();
        h.versionText = [this](const std::string& v) { version = v; };
        h.serialNumber = [this](const std::string& s) { serial = s; };
        h.accessLevels = [this](int m, int u) {
            master = m;
            user = u;
            engine->schedule(step::kPoll);
        };
        h.liveFrame = [this](ByteView) {
            ++frames;
            frameTimes.push_back(clock.now());
        };
    }
    std::vector<std::string> letters() const {
        std::vector<std::string> l;
        for (const auto& w : port->writes())
            l.emplace_back(1, static_cast<char>(w.bytes[0]));
        return l;
    }
};

TEST(EngineWithSimulator, HandshakeRunsAtTheRightSpeedsAndTimes) {
    SimRig rig;
    rig.engine->schedule(step::kConnect);
    ASSERT_TRUE(rig.clock.runUntil([&] { return rig.user >= 0; }, 2s));
    const auto& w = rig.port->writes();
    ASSERT_GE(w.size(), 4u);
    EXPECT_EQ(rig.letters(), (std::vector<std::string>{"V", "G", "S", "a"}));
    const Duration versionDone = 80ms + wire(1, 9600) + wire(11, 9600);
    EXPECT_EQ(w[0].at, 80ms);
    EXPECT_EQ(w[0].baud, 9600);
    EXPECT_EQ(w[1].at, versionDone);
    EXPECT_EQ(w[1].baud, 9600);
    EXPECT_EQ(w[2].at, versionDone + 50ms);
    EXPECT_EQ(w[2].baud, 115200);
    EXPECT_EQ(w[3].at, versionDone + 50ms + wire(1, 115200) + wire(8, 115200));
    EXPECT_EQ(w[3].baud, 115200);
    EXPECT_EQ(rig.clock.now(), w[3].at + wire(6, 115200) + wire(4, 115200));
    EXPECT_EQ(rig.version, "1EA1AB1AA");
    EXPECT_EQ(rig.serial, "123456");
    EXPECT_EQ(rig.master, 4);
    EXPECT_EQ(rig.user, 4);
    EXPECT_TRUE(rig.engine->online());
    EXPECT_TRUE(rig.prompter.shown.empty());
}

TEST(EngineWithSimulator, PollsEvery120msAfterEachFrameEvenWhenFramesArriveInPieces) {
    sim::ModuleConfig config;
    config.chunkBytes = 8;
    config.latency = 2ms;
    SimRig rig(config);
    rig.engine->schedule(step::kConnect);
    ASSERT_TRUE(rig.clock.runUntil([&] { return rig.frames == 5; }, 3s));
    const Duration cycle = 120ms + wire(1, 115200) + 2ms + wire(66, 115200);
    for (std::size_t i = 1; i < rig.frameTimes.size(); ++i)
        EXPECT_EQ(rig.frameTimes[i] - rig.frameTimes[i - 1], cycle);
    EXPECT_EQ(rig.engine->errorLabel(), "Errors: 0");
}

TEST(EngineWithSimulator, LostOrCorruptedHandshakeRepliesAreRecoveredByTheResend) {
    struct Case {
        const char* name;
        const char* fault;
    };
    const Case cases[] = {
        {"dropped serial", "drop:S:1"},
        {"corrupted serial", "corrupt:S:1"},
        {"dropped levels", "drop:a:1"},
    };
    for (const auto& c : cases) {
        sim::ModuleConfig config;
        config.faults.push_back(*sim::parseFault(c.fault));
        SimRig rig(config);
        rig.engine->schedule(step::kConnect);
        ASSERT_TRUE(rig.clock.runUntil([&] { return rig.frames == 1; }, 5s)) << c.name;
        EXPECT_EQ(rig.serial, "123456") << c.name;
        EXPECT_EQ(rig.user, 4) << c.name;
        // The count stays on the label until the first good live frame resets the counter.
        EXPECT_EQ(rig.engine->errorLabel(), "Errors: 1") << c.name;
        EXPECT_EQ(rig.engine->errorCount(), 0) << c.name;
        EXPECT_TRUE(rig.engine->online()) << c.name;
    }
}

TEST(EngineWithSimulator, ModuleThatStopsAnsweringTakesTheToolOfflineAfterSixCounts) {
    SimRig rig;
    rig.engine->schedule(step::kConnect);
    ASSERT_TRUE(rig.clock.runUntil([&] { return rig.frames == 2; }, 2s));
    for (int n = rig.module->requestCount('*') + 1; n < 200; ++n)
        rig.module->addFault({sim::FaultKind::Drop, '*', n, {}});
    const Duration lastFrame = rig.clock.now();
    ASSERT_TRUE(rig.clock.runUntil([&] { return !rig.engine->online(); }, 10s));
    // The next poll leaves 120 ms after the last frame; the sixth count comes 6 x 540 ms after it.
    EXPECT_EQ(rig.clock.now() - lastFrame, 120ms + 3240ms);
    EXPECT_EQ(rig.engine->errorLabel(), "Errors: 6");
    EXPECT_FALSE(rig.port->isOpen());
}

TEST(EngineWithSimulator, UnpluggedAdapterFailsTheWriteAndGoesOffline) {
    SimRig rig;
    rig.engine->schedule(step::kConnect);
    ASSERT_TRUE(rig.clock.runUntil([&] { return rig.frames == 1; }, 2s));
    rig.port->unplug();
    rig.clock.advance(200ms);
    EXPECT_FALSE(rig.engine->online());
    EXPECT_EQ(rig.prompter.texts(), std::vector<std::string>{"USB Communicatie Error"});
    // F10 or a click would reconnect; the port cannot be opened while unplugged.
    rig.engine->schedule(step::kConnect);
    rig.clock.advance(100ms);
    EXPECT_EQ(rig.prompter.texts().back(), "COM port not available or USB kabel not connected !!!");
}

TEST(EngineWithSimulator, ReconnectStartsAgainAt9600) {
    SimRig rig;
    rig.engine->schedule(step::kConnect);
    ASSERT_TRUE(rig.clock.runUntil([&] { return rig.frames == 1; }, 2s));
    rig.engine->stopPolling();
    rig.port->clearWrites();
    rig.engine->schedule(step::kConnect);  // as F10 followed by the upload command would
    ASSERT_TRUE(rig.clock.runUntil([&] { return rig.frames == 2; }, 2s));
    EXPECT_EQ(rig.port->writes()[0].baud, 9600);
    EXPECT_EQ(rig.engine->errorLabel(), "Errors: 0");
}

}  // namespace
