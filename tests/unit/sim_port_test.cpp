// The in-process serial port in front of the simulated module, as the request engine uses it.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

#include "link/codec.h"
#include "link/virtual_clock.h"
#include "sim/module.h"
#include "sim/simulated_port.h"

namespace etc::sim {
namespace {

using namespace std::chrono_literals;
using link::Bytes;
using link::Duration;
namespace request = link::request;

const Bytes kSerialAnswer{0x53, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x88};

class SimulatedPortTest : public ::testing::Test {
  protected:
    SimulatedPortTest() {
        ModuleConfig c;
        c.animate = false;
        module = std::make_unique<Module>(clock, c);
        port = std::make_unique<SimulatedPort>(clock, *module, std::vector<std::string>{"SIM", "/dev/pts/9"});
        port->setReadyRead([this](std::size_t available) {
            EXPECT_FALSE(inWrite) << "input reported from inside write()";
            events.push_back({clock.now(), available});
        });
    }

    [[nodiscard]] bool write(const Bytes& frame) {
        inWrite = true;
        const bool ok = port->write(frame);
        inWrite = false;
        return ok;
    }

    Bytes readAll() {
        Bytes into;
        EXPECT_TRUE(port->read(port->bytesAvailable(), into));
        return into;
    }

    // Opens the port and runs the tool's connect up to high speed.
    void connect() {
        ASSERT_FALSE(port->open("SIM").has_value());
        port->setBaudRate(kLowSpeed);
        ASSERT_TRUE(write(request::version()));
        clock.advance(100ms);
        ASSERT_TRUE(write(request::highSpeed()));
        clock.advance(50ms);
        port->setBaudRate(kHighSpeed);
        port->purge();
        events.clear();
    }

    struct Event {
        Duration at;
        std::size_t available;
    };

    link::VirtualClock clock;
    std::unique_ptr<Module> module;
    std::unique_ptr<SimulatedPort> port;
    std::vector<Event> events;
    bool inWrite = false;
};

struct OpenCase {
    const char* name;
    std::string port;
    bool openFails;
    bool unplugged;
    std::optional<std::string> error;
};

TEST_F(SimulatedPortTest, OpenGivesAPortErrorTextForMissingOrBusyPorts) {
    const std::vector<OpenCase> cases = {
        {"listed", "SIM", false, false, std::nullopt},
        {"second listed name", "/dev/pts/9", false, false, std::nullopt},
        {"not listed", "COM3", false, false, kNoSuchPortText},
        {"busy", "SIM", true, false, kPortBusyText},
        {"unplugged", "SIM", false, true, kNoSuchPortText},
    };
    for (const auto& c : cases) {
        port->close();
        port->replug();
        port->setOpenFails(c.openFails);
        if (c.unplugged)
            port->unplug();
        EXPECT_EQ(port->open(c.port), c.error) << c.name;
        EXPECT_EQ(port->isOpen(), !c.error.has_value()) << c.name;
    }
    port->replug();
    port->setOpenFails(false);
    ASSERT_FALSE(port->open("SIM").has_value());
    EXPECT_EQ(port->open("SIM"), std::optional<std::string>(kAlreadyOpenText));
}

TEST_F(SimulatedPortTest, AnswerArrivesOnATimerTickAtItsWireTime) {
    connect();
    const Duration sent = clock.now();
    ASSERT_TRUE(write(request::serialNumber()));
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(port->bytesAvailable(), 0u);
    clock.advance(1s);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].available, 8u);
    EXPECT_EQ((events[0].at - sent).count(), 86805 + 694444);
    EXPECT_EQ(readAll(), kSerialAnswer);
    EXPECT_EQ(port->bytesAvailable(), 0u);
}

TEST_F(SimulatedPortTest, WritesGoToTheModuleAtThePortSpeedAndAreLogged) {
    ASSERT_FALSE(port->open("SIM").has_value());
    ASSERT_TRUE(write(request::serialNumber()));  // at 9600 before "G": garbage to the module
    clock.advance(10ms);
    port->setBaudRate(kHighSpeed);
    ASSERT_TRUE(write(request::version()));
    clock.advance(100ms);
    EXPECT_TRUE(events.empty()) << "neither request is heard";

    const auto& writes = port->writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].bytes, request::serialNumber());
    EXPECT_EQ(writes[0].baud, kLowSpeed);
    EXPECT_EQ(writes[0].at, Duration{0});
    EXPECT_EQ(writes[1].baud, kHighSpeed);
    EXPECT_EQ(writes[1].at, Duration(10ms));
    ASSERT_EQ(module->requests().size(), 2u);
    EXPECT_EQ(module->requests()[1].baud, kHighSpeed);
}

TEST_F(SimulatedPortTest, ReadTakesAtMostTheRequestedCountInOrder) {
    connect();
    ASSERT_TRUE(write(request::serialNumber()));
    clock.advance(1s);
    Bytes into{0xEE};
    ASSERT_TRUE(port->read(3, into));
    EXPECT_EQ(into, (Bytes{0xEE, 0x53, 0x31, 0x32}));
    EXPECT_EQ(port->bytesAvailable(), 5u);
    ASSERT_TRUE(port->read(100, into));
    EXPECT_EQ(into.size(), 9u);
}

TEST_F(SimulatedPortTest, PurgeEmptiesTheQueueButNotTheWire) {
    ModuleConfig c;
    c.animate = false;
    c.chunkBytes = 4;
    port.reset();
    module = std::make_unique<Module>(clock, c);
    port = std::make_unique<SimulatedPort>(clock, *module);
    port->setReadyRead([this](std::size_t n) { events.push_back({clock.now(), n}); });
    connect();
    ASSERT_TRUE(write(request::serialNumber()));
    clock.advance(Duration(86805 + 347222));  // first four bytes in
    ASSERT_EQ(port->bytesAvailable(), 4u);
    port->purge();
    EXPECT_EQ(port->bytesAvailable(), 0u);
    clock.advance(1s);
    EXPECT_EQ(readAll(), (Bytes{0x34, 0x35, 0x36, 0x88}));
}

TEST_F(SimulatedPortTest, AnswerAtAnotherSpeedThanThePortArrivesAsGarbage) {
    ASSERT_FALSE(port->open("SIM").has_value());
    ASSERT_TRUE(write(request::version()));
    port->setBaudRate(kHighSpeed);  // too early: the answer comes at 9600
    clock.advance(1s);
    EXPECT_EQ(readAll(), Bytes(11, 0xFF));
}

TEST_F(SimulatedPortTest, ClosedPortRefusesWritesAndLosesArrivingAnswers) {
    EXPECT_FALSE(write(request::version()));
    connect();
    ASSERT_TRUE(write(request::serialNumber()));
    port->close();
    clock.advance(1s);
    EXPECT_TRUE(events.empty());
    ASSERT_FALSE(port->open("SIM").has_value());
    EXPECT_EQ(port->bytesAvailable(), 0u);
    Bytes into;
    EXPECT_TRUE(port->read(10, into));
    EXPECT_TRUE(into.empty());
}

TEST_F(SimulatedPortTest, ScriptedFailuresOfWriteAndRead) {
    connect();
    port->setWriteFails(true);
    EXPECT_FALSE(write(request::serialNumber()));
    EXPECT_EQ(module->requestCount('S'), 0) << "a failed write sends nothing";
    port->setWriteFails(false);
    ASSERT_TRUE(write(request::serialNumber()));
    clock.advance(1s);
    port->setReadFails(true);
    Bytes into;
    EXPECT_FALSE(port->read(8, into));
    port->setReadFails(false);
    EXPECT_EQ(readAll(), kSerialAnswer);
}

TEST_F(SimulatedPortTest, UnplugFaultFailsThatWriteAndEveryOpenAfter) {
    module->addFault(*parseFault("unplug:*:2"));
    connect();
    ASSERT_TRUE(write(request::livePoll()));
    EXPECT_FALSE(write(request::livePoll()));
    EXPECT_TRUE(port->unplugged());
    clock.advance(1s);
    EXPECT_TRUE(events.empty()) << "the first answer was still on the wire";
    EXPECT_FALSE(write(request::serialNumber()));
    port->close();
    EXPECT_EQ(port->open("SIM"), std::optional<std::string>(kNoSuchPortText));

    port->replug();
    connect();
    ASSERT_TRUE(write(request::serialNumber()));
    clock.advance(1s);
    EXPECT_EQ(readAll(), kSerialAnswer);
}

TEST_F(SimulatedPortTest, UnplugFromTheTestDropsWhatIsOnTheWire) {
    connect();
    ASSERT_TRUE(write(request::serialNumber()));
    port->unplug();
    clock.advance(1s);
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(write(request::serialNumber()));
}

TEST_F(SimulatedPortTest, InputHandlerMayWriteTheNextRequestAtOnce) {
    connect();
    int answers = 0;
    port->setReadyRead([&](std::size_t available) {
        Bytes into;
        ASSERT_TRUE(port->read(available, into));
        EXPECT_EQ(into, kSerialAnswer);
        if (++answers < 3) {
            ASSERT_TRUE(port->write(request::serialNumber()));
        }
    });
    const Duration sent = clock.now();
    ASSERT_TRUE(write(request::serialNumber()));
    clock.advance(1s);
    EXPECT_EQ(answers, 3);
    EXPECT_EQ(module->requestCount('S'), 3);
    EXPECT_EQ((port->writes().back().at - sent).count(), 2 * (86805 + 694444));
}

}  // namespace
}  // namespace etc::sim
