// The request engine on virtual time against a port whose bytes the test controls.
#include <gtest/gtest.h>

#include "link/request_engine.h"
#include "test_support.h"

using namespace etc;
using namespace etc::link;
using namespace std::chrono_literals;
using test::FakePort;
using test::liveFrame;
using test::textReply;
using test::withSum;

namespace {

struct EngineRig {
    VirtualClock clock;
    FakePort port{clock};
    test::ScriptedPrompter prompter;
    RequestEngine engine{port, clock, prompter};
    std::vector<Bytes> liveFrames;
    std::vector<std::string> events;

    EngineRig() {
        auto& h = engine.hooks();
        h.liveFrame = [this](ByteView f) { liveFrames.emplace_back(f.begin(), f.end()); };
        h.versionText = [this](const std::string& v) { events.push_back("version " + v); };
        h.serialNumber = [this](const std::string& s) { events.push_back("serial " + s); };
        h.accessLevels = [this](int m, int u) {
            events.push_back("levels " + std::to_string(m) + " " + std::to_string(u));
        };
        h.answer = [this](char l, bool ok) {
            events.push_back(std::string("answer ") + l + (ok ? " OK" : " NO"));
        };
        h.calibrationStatus = [this](std::uint8_t s) { events.push_back("cal " + std::to_string(s)); };
        h.blockRead = [this](ByteView r) { events.push_back("block " + std::to_string(r.size())); };
        h.lockDone = [this] { events.push_back("locked"); };
        h.downloadDone = [this] { events.push_back("download done"); };
        h.chosenLevels = [] { return std::pair<int, int>{5, 3}; };
        h.paddedPassword = [] { return std::string("abcd000000"); };
        h.calibrationStep = [] { return 10; };
        h.gaveUp = [this] { events.push_back("gave up"); };
    }

    // Opens the port and puts the engine in the polling state without a handshake.
    void openOnline() {
        ASSERT_FALSE(port.open("COM1"));
        port.setBaudRate(kFastBaud);
    }
    Bytes lastWrite() const { return port.writes.empty() ? Bytes{} : port.writes.back().bytes; }
    std::size_t countWrites(const Bytes& frame) const {
        return static_cast<std::size_t>(
            std::count_if(port.writes.begin(), port.writes.end(),
                          [&](const FakePort::Write& w) { return w.bytes == frame; }));
    }
};

// ---------------------------------------------------------------------------------------------
// Input handling

TEST(RequestEngineInput, LiveFrameSplitOverSeveralEventsIsAssembledAndRestartsThePoll) {
    EngineRig rig;
    rig.openOnline();
    rig.engine.sendLivePoll();
    const Bytes frame = liveFrame(7);
    rig.port.push(Bytes(frame.begin(), frame.begin() + 30));
    EXPECT_TRUE(rig.liveFrames.empty());
    rig.clock.advance(10ms);
    rig.port.push(Bytes(frame.begin() + 30, frame.begin() + 65));
    EXPECT_TRUE(rig.liveFrames.empty());
    rig.port.push(Bytes(frame.begin() + 65, frame.end()));
    ASSERT_EQ(rig.liveFrames.size(), 1u);
    EXPECT_EQ(rig.liveFrames[0], frame);
    EXPECT_TRUE(rig.engine.receiveBuffer().empty());
    EXPECT_FALSE(rig.engine.replyTimer().isActive());
    // The next poll goes out 120 ms after the frame, not after the first poll.
    const auto frameTime = rig.clock.now();
    rig.port.writes.clear();
    rig.clock.advance(119ms);
    EXPECT_TRUE(rig.port.writes.empty());
    rig.clock.advance(1ms);
    ASSERT_EQ(rig.port.writes.size(), 1u);
    EXPECT_EQ(rig.port.writes[0].at, frameTime + 120ms);
}

struct BadFrameCase {
    const char* name;
    Bytes bytes;
};

TEST(RequestEngineInput, StrayBytesAndBadChecksumsFailAndAreRetried80msLater) {
    Bytes badSum = liveFrame();
    badSum.back() ^= 0x01;
    Bytes strayBehind = liveFrame();
    strayBehind.push_back('*');
    Bytes knownStrayInFront{'Y'};
    const Bytes frame = liveFrame();
    knownStrayInFront.insert(knownStrayInFront.end(), frame.begin(), frame.end());
    Bytes unknownInFront{0x00};
    unknownInFront.insert(unknownInFront.end(), frame.begin(), frame.end());
    const BadFrameCase cases[] = {
        {"bad checksum", badSum},
        {"stray byte behind", strayBehind},
        {"known letter in front", knownStrayInFront},
        {"unknown byte in front", unknownInFront},
    };
    for (const auto& c : cases) {
        EngineRig rig;
        rig.openOnline();
        rig.engine.sendLivePoll();
        rig.clock.advance(5ms);
        rig.port.push(c.bytes);
        EXPECT_TRUE(rig.liveFrames.empty()) << c.name;
        EXPECT_FALSE(rig.engine.pollTimer().isActive()) << c.name;
        EXPECT_FALSE(rig.engine.replyTimer().isActive()) << c.name;
        EXPECT_TRUE(rig.engine.receiveBlocked()) << c.name;
        EXPECT_EQ(rig.engine.nextStep(), step::kTimeout) << c.name;
        rig.port.writes.clear();
        rig.clock.advance(79ms);
        EXPECT_TRUE(rig.port.writes.empty()) << c.name;
        rig.clock.advance(1ms);
        EXPECT_EQ(rig.engine.errorCount(), 1) << c.name;
        EXPECT_EQ(rig.engine.errorLabel(), "Errors: 1") << c.name;
        ASSERT_EQ(rig.port.writes.size(), 1u) << c.name;
        EXPECT_EQ(rig.port.writes[0].bytes, request::livePoll()) << c.name;
        EXPECT_GE(rig.port.purges, 1) << c.name;
    }
}

TEST(RequestEngineInput, UnknownFirstByteEmptiesTheBuffer) {
    EngineRig rig;
    rig.openOnline();
    rig.engine.sendSerialNumber();
    rig.port.push({'N'});
    EXPECT_TRUE(rig.engine.receiveBuffer().empty());
    EXPECT_EQ(rig.engine.receivedCount(), 0u);
    EXPECT_EQ(rig.engine.nextStep(), step::kTimeout);
    EXPECT_TRUE(rig.engine.stepTimer().isActive());
}

TEST(RequestEngineInput, BytesArrivingWhileBlockedStayQueuedUntilTheNextEventAfterTheStep) {
    EngineRig rig;
    rig.openOnline();
    rig.engine.sendLivePoll();
    rig.engine.stopPolling();
    const Bytes frame = liveFrame();
    rig.port.push(Bytes(frame.begin(), frame.begin() + 40));
    EXPECT_EQ(rig.port.bytesAvailable(), 40u);
    EXPECT_TRUE(rig.engine.receiveBuffer().empty());
    rig.engine.schedule(step::kPoll);
    rig.clock.advance(80ms);  // the step clears the block and sends a fresh poll
    EXPECT_FALSE(rig.engine.receiveBlocked());
    EXPECT_EQ(rig.port.bytesAvailable(), 40u);
    // The held bytes are read with the next event, in front of the new frame: that reply fails.
    rig.port.push(frame);
    EXPECT_TRUE(rig.liveFrames.empty());
    EXPECT_EQ(rig.port.bytesAvailable(), 0u);
    EXPECT_EQ(rig.engine.nextStep(), step::kTimeout);
}

TEST(RequestEngineInput, ReplyShorterThanItsMinimumWaitsAndTimesOutFromTheSend) {
    EngineRig rig;
    rig.openOnline();
    rig.engine.sendSerialNumber();
    rig.clock.advance(500ms);
    rig.port.push({'S', '1', '2'});
    rig.clock.advance(39ms);
    EXPECT_EQ(rig.engine.errorCount(), 0);
    rig.clock.advance(1ms);  // 540 ms after the send, whatever arrived since
    EXPECT_EQ(rig.engine.errorCount(), 1);
    EXPECT_EQ(rig.lastWrite(), request::serialNumber());
}

TEST(RequestEngineInput, BlockReplyTimeOutCountsFromTheLastPiece) {
    EngineRig rig;
    rig.openOnline();
    rig.engine.sendBlockRead(24, 11);
    EXPECT_EQ(rig.lastWrite(), request::blockRead(24, 11));
    Bytes reply{'Z'};
    for (int i = 0; i < 22; ++i)
        reply.push_back(static_cast<std::uint8_t>(i));
    reply = withSum(reply);
    std::size_t progress = 0;
    rig.engine.hooks().blockProgress = [&](std::size_t n) { progress += n; };
    rig.clock.advance(500ms);
    rig.port.push(Bytes(reply.begin(), reply.begin() + 10));
    rig.clock.advance(500ms);  // 1000 ms after the send, 500 after the last piece
    EXPECT_EQ(rig.engine.errorCount(), 0);
    rig.port.push(Bytes(reply.begin() + 10, reply.end()));
    EXPECT_EQ(progress, 24u);
    ASSERT_EQ(rig.events.size(), 1u);
    EXPECT_EQ(rig.events[0], "block 24");
    EXPECT_FALSE(rig.engine.replyTimer().isActive());
}

TEST(RequestEngineInput, BlockReplyThatOvershootsNeverCompletes) {
    EngineRig rig;
    rig.openOnline();
    rig.engine.sendBlockRead(0, 1);
    rig.port.push(withSum({'Z', 1, 2, 3}));  // five bytes where four are due
    EXPECT_TRUE(rig.events.empty());
    rig.clock.advance(540ms);
    EXPECT_EQ(rig.engine.errorCount(), 1);
    EXPECT_EQ(rig.lastWrite(), request::blockRead(0, 1));
}

TEST(RequestEngineInput, RepliesAreHandedOnByTheirExpectedLetter) {
    struct Case {
        const char* name;
        std::function<void(RequestEngine&)> send;
        Bytes reply;
        const char* event;
        char nextInFlight;  // the request the reply leads to, if any
    };
    const Case cases[] = {
        {"serial", [](RequestEngine& e) { e.sendSerialNumber(); }, textReply('S', "123456"), "serial 123456",
         'a'},
        {"levels", [](RequestEngine& e) { e.sendAccessLevelQuery(); }, withSum({'a', 4, 2}), "levels 4 2", 0},
        {"level OK", [](RequestEngine& e) { e.sendSetAccessLevel(); }, textReply('A', "OK"), "answer A OK",
         0},
        {"password NO", [](RequestEngine& e) { e.sendPassword('p'); }, textReply('p', "NO"), "answer p NO",
         0},
        {"new password OK", [](RequestEngine& e) { e.sendPassword('P'); }, textReply('P', "OK"),
         "answer P OK", 0},
        {"calibration", [](RequestEngine& e) { e.sendCalibration(); }, withSum({'q', 7}), "cal 7", 0},
        {"lock", [](RequestEngine& e) { e.sendLock(); }, {'L'}, "locked", 0},
        {"closing", [](RequestEngine& e) { e.sendClosing(); }, {'R'}, "download done", '*'},
    };
    for (const auto& c : cases) {
        EngineRig rig;
        rig.openOnline();
        c.send(rig.engine);
        rig.port.push(c.reply);
        ASSERT_FALSE(rig.events.empty()) << c.name;
        EXPECT_EQ(rig.events.front(), c.event) << c.name;
        EXPECT_EQ(rig.engine.replyTimer().isActive(), c.nextInFlight != 0) << c.name;
        if (c.nextInFlight) {
            EXPECT_EQ(rig.engine.expected(), c.nextInFlight) << c.name;
        }
    }
}

TEST(RequestEngineInput, AnswerOtherThanOkOrNoIsAFailure) {
    EngineRig rig;
    rig.openOnline();
    rig.engine.sendSetAccessLevel();
    rig.port.push(textReply('A', "OX"));
    EXPECT_TRUE(rig.events.empty());
    EXPECT_EQ(rig.engine.nextStep(), step::kTimeout);
}

TEST(RequestEngineInput, SerialNumberPutsTheToolOnlineAndAsksForTheLevels) {
    EngineRig rig;
    rig.openOnline();
    rig.engine.goOffline();
    ASSERT_FALSE(rig.engine.online());
    ASSERT_FALSE(rig.port.open("COM1"));
    rig.engine.sendSerialNumber();
    rig.port.push(textReply('S', "123456"));
    EXPECT_TRUE(rig.engine.online());
    EXPECT_EQ(rig.lastWrite(), request::accessLevels());
    EXPECT_EQ(rig.engine.expected(), 'a');
}

// ---------------------------------------------------------------------------------------------
// Failures, resends and the error counter

struct ResendCase {
    const char* name;
    std::function<void(RequestEngine&)> send;
    Bytes resent;
};

TEST(RequestEngineTimeout, EachExpectedLetterIsSentAgainAfter540ms) {
    const Bytes cellPayload = request::cellWritePayload(5, 40, 11);
    const Bytes blockPayload = request::blockWritePayload(22, Bytes{0x00, 0x28, 0x02, 0x1E});
    const ResendCase cases[] = {
        {"*", [](RequestEngine& e) { e.sendLivePoll(); }, request::livePoll()},
        {"V", [](RequestEngine& e) { e.sendVersionAtConnect(); }, request::version()},
        {"v", [](RequestEngine& e) { e.sendVersionBeforeDownload(); }, request::version()},
        {"S", [](RequestEngine& e) { e.sendSerialNumber(); }, request::serialNumber()},
        {"a", [](RequestEngine& e) { e.sendAccessLevelQuery(); }, request::accessLevels()},
        {"A", [](RequestEngine& e) { e.sendSetAccessLevel(); }, request::setAccessLevel(5, 3)},
        {"p", [](RequestEngine& e) { e.sendPassword('p'); }, request::password('p', "abcd000000")},
        {"P", [](RequestEngine& e) { e.sendPassword('P'); }, request::password('P', "abcd000000")},
        {"q", [](RequestEngine& e) { e.sendCalibration(); }, request::calibration(10)},
        {"Z", [](RequestEngine& e) { e.sendBlockRead(24, 11); }, request::blockRead(24, 11)},
        {"B",
         [&](RequestEngine& e) {
             e.setRequestPayload(cellPayload);
             e.sendCellWrite();
         },
         request::cellWrite('B', cellPayload)},
        {"E",
         [&](RequestEngine& e) {
             e.setRequestPayload(blockPayload);
             e.sendBlockWrite();
         },
         request::blockWrite(blockPayload)},
        {"L", [](RequestEngine& e) { e.sendLock(); }, request::lock()},
        {"R", [](RequestEngine& e) { e.sendClosing(); }, request::closing()},
    };
    for (const auto& c : cases) {
        EngineRig rig;
        rig.openOnline();
        c.send(rig.engine);
        ASSERT_EQ(rig.port.writes.size(), 1u) << c.name;
        EXPECT_EQ(rig.port.writes[0].bytes, c.resent) << c.name;
        rig.clock.advance(539ms);
        EXPECT_EQ(rig.engine.errorCount(), 0) << c.name;
        // For "*" the poll timer goes on sending meanwhile; only the reply timer's tick counts.
        const std::size_t before = rig.port.writes.size();
        rig.clock.advance(1ms);
        EXPECT_EQ(rig.engine.errorCount(), 1) << c.name;
        ASSERT_GT(rig.port.writes.size(), before) << c.name;
        EXPECT_EQ(rig.port.writes.back().bytes, c.resent) << c.name;
        EXPECT_GE(rig.port.purges, 1) << c.name;
    }
}

TEST(RequestEngineTimeout, ChartEditorWritesAreResentThroughTheirStepCodes) {
    const Bytes payload = request::cellWritePayload(5, 40, 11);
    struct Case {
        const char* name;
        std::function<void(RequestEngine&)> send;
        int code;
        Bytes resent;
    };
    const Case cases[] = {
        {"b", [](RequestEngine& e) { e.sendChartCellWrite(); }, step::kChartCellWrite,
         request::cellWrite('B', payload)},
        {"c", [](RequestEngine& e) { e.sendChartCellWriteC(); }, step::kChartCellWriteC,
         request::cellWrite('C', payload)},
    };
    for (const auto& c : cases) {
        EngineRig rig;
        rig.openOnline();
        rig.engine.setRequestPayload(payload);
        c.send(rig.engine);
        rig.clock.advance(540ms);
        EXPECT_EQ(rig.engine.nextStep(), c.code) << c.name;
        EXPECT_EQ(rig.port.writes.size(), 1u) << c.name;
        rig.clock.advance(80ms);
        ASSERT_EQ(rig.port.writes.size(), 2u) << c.name;
        EXPECT_EQ(rig.port.writes[1].bytes, c.resent) << c.name;
    }
}

TEST(RequestEngineTimeout, UnansweredPollingGoesOfflineAtTheSixthCount) {
    EngineRig rig;
    rig.openOnline();
    std::vector<std::string> labels;
    rig.engine.hooks().errorLabelChanged = [&](const std::string& t) { labels.push_back(t); };
    std::vector<bool> online;
    rig.engine.hooks().onlineChanged = [&](bool on) { online.push_back(on); };
    rig.engine.sendLivePoll();
    const auto first = rig.clock.now();
    rig.clock.advance(3239ms);
    EXPECT_TRUE(rig.engine.online());
    EXPECT_EQ(rig.engine.errorCount(), 5);
    // Polls keep going out every 120 ms while the reply timer counts every 540 ms.
    EXPECT_GE(rig.countWrites(request::livePoll()), 27u);
    rig.clock.advance(1ms);
    EXPECT_FALSE(rig.engine.online());
    EXPECT_EQ(rig.clock.now() - first, 3240ms);
    EXPECT_EQ(rig.engine.errorLabel(), "Errors: 6");
    EXPECT_EQ(labels.back(), "Errors: 6");
    EXPECT_EQ(rig.engine.errorCount(), 0);
    EXPECT_FALSE(rig.port.isOpen());
    EXPECT_FALSE(rig.engine.pollTimer().isActive());
    EXPECT_FALSE(rig.engine.replyTimer().isActive());
    EXPECT_EQ(online, std::vector<bool>{false});
    EXPECT_EQ(rig.events.back(), "gave up");
    // Nothing more is sent once offline.
    const std::size_t sent = rig.port.writes.size();
    rig.clock.advance(5s);
    EXPECT_EQ(rig.port.writes.size(), sent);
}

TEST(RequestEngineTimeout, GivingUpOnTheLockSetsTheDataNotLockedMark) {
    EngineRig rig;
    rig.openOnline();
    rig.engine.sendLock();
    EXPECT_FALSE(rig.engine.dataNotLocked());
    rig.clock.advance(6 * 540ms);
    EXPECT_FALSE(rig.engine.online());
    EXPECT_TRUE(rig.engine.dataNotLocked());
}

TEST(RequestEngineTimeout, OnlyGoodFramesBlocksAndAcknowledgementsResetTheCounter) {
    struct Case {
        const char* name;
        std::function<void(RequestEngine&)> send;
        Bytes reply;
        bool resets;
    };
    const Bytes payload = request::cellWritePayload(5, 40, 11);
    const Case cases[] = {
        {"live frame", [](RequestEngine& e) { e.sendLivePoll(); }, liveFrame(), true},
        {"block", [](RequestEngine& e) { e.sendBlockRead(0, 1); }, withSum({'Z', 1, 2}), true},
        {"B ack",
         [&](RequestEngine& e) {
             e.setRequestPayload(payload);
             e.sendCellWrite();
         },
         {'Y'},
         true},
        {"b ack",
         [&](RequestEngine& e) {
             e.setRequestPayload(payload);
             e.sendChartCellWrite();
         },
         {'Y'},
         true},
        {"E ack",
         [&](RequestEngine& e) {
             e.setRequestPayload(payload);
             e.sendBlockWrite();
         },
         {'Y'},
         true},
        {"lock ack", [](RequestEngine& e) { e.sendLock(); }, {'L'}, true},
        {"serial", [](RequestEngine& e) { e.sendSerialNumber(); }, textReply('S', "123456"), false},
        {"version", [](RequestEngine& e) { e.sendVersionAtConnect(); }, textReply('V', "1EA1AB1AA"), false},
        {"levels", [](RequestEngine& e) { e.sendAccessLevelQuery(); }, withSum({'a', 4, 4}), false},
        {"answer", [](RequestEngine& e) { e.sendPassword('p'); }, textReply('p', "OK"), false},
        {"calibration", [](RequestEngine& e) { e.sendCalibration(); }, withSum({'q', 1}), false},
        {"closing", [](RequestEngine& e) { e.sendClosing(); }, {'R'}, false},
    };
    for (const auto& c : cases) {
        EngineRig rig;
        rig.openOnline();
        c.send(rig.engine);
        rig.clock.advance(540ms * 2);  // two unanswered sends
        ASSERT_EQ(rig.engine.errorCount(), 2) << c.name;
        rig.port.push(c.reply);
        EXPECT_EQ(rig.engine.errorCount(), c.resets ? 0 : 2) << c.name;
    }
}

TEST(RequestEngineTimeout, RefusedWriteIsSentAgainUnchangedAndSixRefusalsGoOffline) {
    EngineRig rig;
    rig.openOnline();
    const Bytes payload = request::blockWritePayload(100, Bytes{1, 2, 3, 4});
    rig.engine.setRequestPayload(payload);
    rig.port.responder = [](const std::string&, const Bytes&) { return Bytes{'N'}; };
    rig.engine.sendBlockWrite();
    rig.clock.advance(5s);
    EXPECT_FALSE(rig.engine.online());
    ASSERT_EQ(rig.port.writes.size(), 6u);
    for (const auto& w : rig.port.writes)
        EXPECT_EQ(w.bytes, request::blockWrite(payload));
    // Each refusal is retried 80 ms after it arrived.
    EXPECT_EQ(rig.port.writes[1].at - rig.port.writes[0].at, 85ms);
}

TEST(RequestEngineTimeout, WritesWhileOfflineOnlySetTheContinueFlag) {
    EngineRig rig;
    rig.engine.goOffline();
    rig.engine.setRequestPayload(request::cellWritePayload(1, 2, 3));
    for (auto send : {&RequestEngine::sendCellWrite, &RequestEngine::sendBlockWrite,
                      &RequestEngine::sendChartCellWrite}) {
        rig.engine.setContinue(false);
        (rig.engine.*send)();
        EXPECT_TRUE(rig.engine.continueFlag());
    }
    EXPECT_TRUE(rig.port.writes.empty());
    EXPECT_FALSE(rig.engine.dataNotLocked());
}

// ---------------------------------------------------------------------------------------------
// Port and write failures

TEST(RequestEngineFailures, PortThatCannotBeOpenedGivesEachSendersMessage) {
    struct Case {
        const char* name;
        std::function<void(RequestEngine&)> send;
        const char* message;
        bool offline;
    };
    const Case cases[] = {
        {"connect", [](RequestEngine& e) { e.sendVersionAtConnect(); }, text::kPortNotAvailable, true},
        {"download", [](RequestEngine& e) { e.sendVersionBeforeDownload(); }, text::kPortNotAvailableDownload,
         false},
        {"serial", [](RequestEngine& e) { e.sendSerialNumber(); }, "No such file or directory", false},
        {"set level", [](RequestEngine& e) { e.sendSetAccessLevel(); }, "No such file or directory", false},
        {"password", [](RequestEngine& e) { e.sendPassword('p'); }, "No such file or directory", false},
        {"closing", [](RequestEngine& e) { e.sendClosing(); }, text::kSendWhilePortClosed, false},
    };
    for (const auto& c : cases) {
        EngineRig rig;
        rig.engine.setPortName("COM7");
        rig.engine.schedule(step::kPoll);  // a pending step that a failed connect must cancel
        c.send(rig.engine);
        ASSERT_EQ(rig.prompter.shown.size(), 1u) << c.name;
        EXPECT_EQ(rig.prompter.shown[0].text, c.message) << c.name;
        EXPECT_EQ(rig.prompter.shown[0].kind, MessageKind::Error) << c.name;
        EXPECT_TRUE(rig.port.writes.empty()) << c.name;
        EXPECT_EQ(rig.engine.online(), !c.offline) << c.name;
        EXPECT_EQ(rig.engine.stepTimer().isActive(), !c.offline) << c.name;
        EXPECT_FALSE(rig.engine.replyTimer().isActive()) << c.name;
    }
}

TEST(RequestEngineFailures, SendersThatNeedAnOpenPortStayQuietWhenClosed) {
    EngineRig rig;
    rig.engine.sendLivePoll();
    rig.engine.sendAccessLevelQuery();
    rig.engine.sendCalibration();
    rig.engine.sendBlockRead(0, 4);
    EXPECT_TRUE(rig.port.writes.empty());
    EXPECT_TRUE(rig.prompter.shown.empty());
    EXPECT_TRUE(rig.port.openedNames.empty());
}

TEST(RequestEngineFailures, FailedWriteTakesTheToolOffline) {
    EngineRig rig;
    rig.openOnline();
    rig.engine.sendLivePoll();
    rig.port.writeFails = true;
    rig.clock.advance(120ms);
    EXPECT_FALSE(rig.engine.online());
    EXPECT_FALSE(rig.port.isOpen());
    EXPECT_EQ(rig.prompter.texts(), std::vector<std::string>{text::kWriteFailed});
    EXPECT_FALSE(rig.engine.pollTimer().isActive());
    EXPECT_FALSE(rig.engine.replyTimer().isActive());
    EXPECT_FALSE(rig.engine.stepTimer().isActive());
    EXPECT_FALSE(rig.engine.sequenceTimer().isActive());
}

TEST(RequestEngineFailures, FailedReadAsksAndRetries) {
    EngineRig rig;
    rig.openOnline();
    rig.engine.sendLivePoll();
    rig.port.readFails = true;
    rig.port.push(liveFrame());
    ASSERT_EQ(rig.prompter.shown.size(), 1u);
    EXPECT_EQ(rig.prompter.shown[0].text, "Comm Error test");
    EXPECT_EQ(rig.prompter.shown[0].buttons, ButtonSet::YesNo);
    EXPECT_EQ(rig.engine.nextStep(), step::kTimeout);
    EXPECT_TRUE(rig.engine.stepTimer().isActive());
}

// ---------------------------------------------------------------------------------------------
// Handshakes, timers and sequences

TEST(RequestEngineHandshake, ConnectRunsVersionSpeedSwitchSerialAndLevels) {
    EngineRig rig;
    rig.port.responder = [](const std::string&, const Bytes& f) -> std::optional<Bytes> {
        switch (f[0]) {
            case 'V':
                return textReply('V', "1EA1AB1AA");
            case 'S':
                return textReply('S', "123456");
            case 'a':
                return withSum({'a', 4, 4});
            default:
                return std::nullopt;
        }
    };
    rig.engine.schedule(step::kConnect);
    rig.clock.advance(1s);
    ASSERT_EQ(rig.port.writes.size(), 4u);
    const auto& w = rig.port.writes;
    EXPECT_EQ(w[0].bytes, request::version());
    EXPECT_EQ(w[0].baud, 9600);
    EXPECT_EQ(w[0].at, 80ms);
    EXPECT_EQ(w[1].bytes, request::highSpeed());
    EXPECT_EQ(w[1].at, 85ms);  // written as soon as the version reply is complete
    EXPECT_EQ(w[2].bytes, request::serialNumber());
    EXPECT_EQ(w[2].baud, 115200);
    EXPECT_EQ(w[2].at, 135ms);  // 50 ms after "G"
    EXPECT_EQ(w[3].bytes, request::accessLevels());
    EXPECT_EQ(rig.events, (std::vector<std::string>{"version 1EA1AB1AA", "serial 123456", "levels 4 4"}));
    EXPECT_EQ(rig.engine.sequenceState(), sequence::kIdle);
    EXPECT_FALSE(rig.engine.sequenceTimer().isActive());
    EXPECT_TRUE(rig.engine.online());
}

TEST(RequestEngineHandshake, DownloadVersionAcceptedSwitchesSpeedAndStartsTheSequence) {
    EngineRig rig;
    rig.port.responder = [](const std::string&, const Bytes& f) -> std::optional<Bytes> {
        if (f[0] == 'V')
            return textReply('V', "1EA1AB1AA");
        return std::nullopt;
    };
    std::vector<std::string> seen;
    std::vector<int> states;
    rig.engine.hooks().downloadVersion = [&](const std::string& v) {
        seen.push_back(v);
        return true;
    };
    rig.engine.hooks().sequenceState = [&](int s) { states.push_back(s); };
    rig.engine.setBaudRate(kSlowBaud);
    rig.engine.clearReceiveBlock();
    rig.engine.sendVersionBeforeDownload();
    rig.clock.advance(5ms);
    EXPECT_EQ(seen, std::vector<std::string>{"1EA1AB1AA"});
    EXPECT_EQ(rig.lastWrite(), request::highSpeed());
    EXPECT_EQ(rig.engine.sequenceState(), sequence::kDownloadSpeedSwitch);
    rig.clock.advance(50ms);
    EXPECT_EQ(rig.port.baudRate(), 115200);
    EXPECT_EQ(rig.engine.sequenceState(), sequence::kFirstDownloadState);
    EXPECT_TRUE(states.empty());
    rig.clock.advance(50ms);
    EXPECT_EQ(states, std::vector<int>{sequence::kFirstDownloadState});
}

TEST(RequestEngineHandshake, DownloadVersionRefusedStopsPolling) {
    EngineRig rig;
    rig.port.responder = [](const std::string&, const Bytes&) { return textReply('V', "2EA1AB1AA"); };
    bool refused = false;
    rig.engine.hooks().downloadVersion = [](const std::string&) { return false; };
    rig.engine.hooks().downloadRefused = [&] { refused = true; };
    rig.engine.sendVersionBeforeDownload();
    rig.clock.advance(200ms);
    EXPECT_TRUE(refused);
    EXPECT_TRUE(rig.engine.receiveBlocked());
    EXPECT_EQ(rig.port.writes.size(), 1u);  // no "G"
    EXPECT_FALSE(rig.engine.sequenceTimer().isActive());
}

TEST(RequestEngineTimers, StepTimerIsOneShotAndKeepsItsPhaseWhenScheduledAgain) {
    EngineRig rig;
    rig.openOnline();
    rig.engine.schedule(step::kPoll);
    rig.clock.advance(50ms);
    rig.engine.schedule(step::kLock);  // running: the code changes, the phase stays
    rig.clock.advance(30ms);
    ASSERT_EQ(rig.port.writes.size(), 1u);
    EXPECT_EQ(rig.port.writes[0].bytes, request::lock());
    EXPECT_FALSE(rig.engine.stepTimer().isActive());
    rig.port.push({'L'});
    EXPECT_EQ(rig.events, std::vector<std::string>{"locked"});
}

TEST(RequestEngineTimers, SequenceTimerActsOnlyWhileTheContinueFlagIsSet) {
    EngineRig rig;
    std::vector<int> states;
    rig.engine.hooks().sequenceState = [&](int s) { states.push_back(s); };
    rig.engine.setSequenceState(40);
    rig.engine.sequenceTimer().start();
    rig.clock.advance(200ms);
    EXPECT_TRUE(states.empty());
    EXPECT_TRUE(rig.engine.sequenceTimer().isActive());
    rig.engine.setContinue(true);
    rig.clock.advance(50ms);
    EXPECT_EQ(states, std::vector<int>{40});
    EXPECT_FALSE(rig.engine.continueFlag());
    EXPECT_FALSE(rig.engine.sequenceTimer().isActive());
}

TEST(RequestEngineTimers, LockAcknowledgementClearsTheMarkAndResumesPolling) {
    EngineRig rig;
    rig.openOnline();
    std::vector<bool> marks;
    rig.engine.hooks().dataNotLockedChanged = [&](bool m) { marks.push_back(m); };
    rig.engine.setRequestPayload(request::cellWritePayload(1, 2, 3));
    rig.engine.sendCellWrite();
    rig.port.push({'Y'});
    rig.engine.sendCellWrite();  // already marked: no second change
    rig.port.push({'Y'});
    rig.engine.sendLock();
    rig.port.push({'L'});
    EXPECT_EQ(marks, (std::vector<bool>{true, false}));
    EXPECT_TRUE(rig.engine.pollTimer().isActive());
    rig.clock.advance(120ms);
    EXPECT_EQ(rig.lastWrite(), request::livePoll());
}

TEST(RequestEngineTimers, ClosingAcknowledgementEndsTheSequenceAndPolls) {
    EngineRig rig;
    rig.openOnline();
    rig.engine.setSequenceState(200);
    rig.engine.sendClosing();
    rig.port.push({'R'});
    EXPECT_EQ(rig.engine.sequenceState(), sequence::kIdle);
    EXPECT_EQ(rig.lastWrite(), request::livePoll());
}

TEST(RequestEngineTimers, RefusedCellWriteInASequenceRestartsTheSequenceTimer) {
    EngineRig rig;
    rig.openOnline();
    rig.engine.setSequenceState(50);
    rig.engine.setRequestPayload(request::cellWritePayload(1, 2, 3));
    rig.engine.sendCellWrite();
    rig.port.push({'N'});
    rig.clock.advance(80ms);
    EXPECT_EQ(rig.port.writes.size(), 2u);
    EXPECT_TRUE(rig.engine.sequenceTimer().isActive());
}

}  // namespace

namespace {

// ---------------------------------------------------------------------------------------------
// Guards, acknowledgements and resends in more detail

TEST(RequestEngineGuards, OfflineWithThePortOpenSendsNothingButWritesStillStepOn) {
    EngineRig rig;
    rig.openOnline();
    rig.engine.goOffline();
    ASSERT_FALSE(rig.port.open("COM1"));  // the port open again, the tool still offline
    rig.engine.sendLivePoll();
    rig.engine.sendAccessLevelQuery();
    rig.engine.sendCalibration();
    rig.engine.sendBlockRead(0, 4);
    rig.engine.sendLock();
    EXPECT_TRUE(rig.port.writes.empty());
    int cleared = 0;
    rig.engine.hooks().chartChangeCleared = [&] { ++cleared; };
    rig.engine.setRequestPayload(request::cellWritePayload(1, 2, 3));
    rig.engine.sendChartCellWriteC();
    EXPECT_TRUE(rig.engine.continueFlag());
    EXPECT_EQ(cleared, 1);
    EXPECT_TRUE(rig.port.writes.empty());
    // The closing request has no guard: it goes out while the port is open.
    rig.engine.sendClosing();
    EXPECT_EQ(rig.lastWrite(), request::closing());
}

TEST(RequestEngineGuards, TimeoutWithThePortClosedDoesNothing) {
    EngineRig rig;
    rig.openOnline();
    rig.engine.sendSerialNumber();
    rig.port.close();
    rig.clock.advance(540ms * 3);
    EXPECT_EQ(rig.engine.errorCount(), 0);
    EXPECT_EQ(rig.port.writes.size(), 1u);
    EXPECT_EQ(rig.port.purges, 0);
}

TEST(RequestEngineGuards, BlockReadPurgesTheQueuesFirst) {
    EngineRig rig;
    rig.openOnline();
    rig.engine.stopPolling();
    rig.port.push({'*', 1, 2});  // held while blocked
    rig.engine.clearReceiveBlock();
    rig.engine.sendBlockRead(0, 1);
    EXPECT_EQ(rig.port.purges, 1);
    EXPECT_EQ(rig.port.bytesAvailable(), 0u);
    rig.port.push(withSum({'Z', 1, 2}));
    EXPECT_EQ(rig.events, std::vector<std::string>{"block 4"});
}

TEST(RequestEngineAcks, ChartEditorAcknowledgementClearsThePendingChangeAndPolls80msLater) {
    EngineRig rig;
    rig.openOnline();
    int cleared = 0;
    rig.engine.hooks().chartChangeCleared = [&] { ++cleared; };
    rig.engine.setRequestPayload(request::cellWritePayload(1, 2, 3));
    rig.engine.sendChartCellWrite();
    rig.port.push({'Y'});
    EXPECT_EQ(cleared, 1);
    EXPECT_TRUE(rig.engine.continueFlag());
    EXPECT_EQ(rig.engine.nextStep(), step::kPoll);
    rig.clock.advance(79ms);
    EXPECT_EQ(rig.lastWrite(), request::cellWrite('B', request::cellWritePayload(1, 2, 3)));
    rig.clock.advance(1ms);
    EXPECT_EQ(rig.lastWrite(), request::livePoll());
}

TEST(RequestEngineAcks, WrongAcknowledgementsAndBlockRepliesTakeTheFailurePath) {
    struct Case {
        const char* name;
        std::function<void(RequestEngine&)> send;
        Bytes reply;
    };
    const Case cases[] = {
        {"lock answered Y", [](RequestEngine& e) { e.sendLock(); }, {'Y'}},
        {"closing answered L", [](RequestEngine& e) { e.sendClosing(); }, {'L'}},
        {"chart write answered R", [](RequestEngine& e) { e.sendChartCellWrite(); }, {'R'}},
        {"block with wrong letter", [](RequestEngine& e) { e.sendBlockRead(0, 1); }, withSum({'*', 1, 2})},
        {"block with bad checksum", [](RequestEngine& e) { e.sendBlockRead(0, 1); }, {'Z', 1, 2, 0}},
    };
    for (const auto& c : cases) {
        EngineRig rig;
        rig.openOnline();
        c.send(rig.engine);
        rig.port.push(c.reply);
        EXPECT_TRUE(rig.events.empty()) << c.name;
        EXPECT_EQ(rig.engine.nextStep(), step::kTimeout) << c.name;
        EXPECT_TRUE(rig.engine.stepTimer().isActive()) << c.name;
        EXPECT_FALSE(rig.engine.replyTimer().isActive()) << c.name;
    }
}

TEST(RequestEngineResends, ValuesAreReadAfreshAndTheExpectedLetterIsKept) {
    struct Case {
        const char* name;
        std::function<void(RequestEngine&)> send;
        char letter;
        std::function<Bytes(int)> frame;  // the frame for the nth read of the values
    };
    const Case cases[] = {
        {"A", [](RequestEngine& e) { e.sendSetAccessLevel(); }, 'A',
         [](int n) { return request::setAccessLevel(4, n); }},
        {"p", [](RequestEngine& e) { e.sendPassword('p'); }, 'p',
         [](int n) { return request::password('p', "pw" + std::to_string(n) + "0000000"); }},
        {"q", [](RequestEngine& e) { e.sendCalibration(); }, 'q',
         [](int n) { return request::calibration(n); }},
        {"v", [](RequestEngine& e) { e.sendVersionBeforeDownload(); }, 'v',
         [](int) { return request::version(); }},
    };
    for (const auto& c : cases) {
        EngineRig rig;
        rig.openOnline();
        int reads = 0;
        rig.engine.hooks().chosenLevels = [&] { return std::pair<int, int>{4, ++reads}; };
        rig.engine.hooks().paddedPassword = [&] { return "pw" + std::to_string(++reads) + "0000000"; };
        rig.engine.hooks().calibrationStep = [&] { return ++reads; };
        c.send(rig.engine);
        rig.clock.advance(540ms);
        ASSERT_EQ(rig.port.writes.size(), 2u) << c.name;
        EXPECT_EQ(rig.port.writes[0].bytes, c.frame(1)) << c.name;
        EXPECT_EQ(rig.port.writes[1].bytes, c.frame(c.letter == 'v' ? 1 : 2)) << c.name;
        EXPECT_EQ(rig.engine.expected(), c.letter) << c.name;
    }
}

TEST(RequestEngineResends, SixthFailureEmptiesTheBufferAndCount) {
    EngineRig rig;
    rig.openOnline();
    rig.engine.sendSerialNumber();
    rig.clock.advance(540ms * 5 + 10ms);
    rig.port.push({'S', '1'});
    EXPECT_EQ(rig.engine.receivedCount(), 2u);
    rig.clock.advance(530ms);
    EXPECT_FALSE(rig.engine.online());
    EXPECT_EQ(rig.engine.receivedCount(), 0u);
    EXPECT_TRUE(rig.engine.receiveBuffer().empty());
}

TEST(RequestEngineResends, ConnectAndTimeoutStepsPutTheStepPeriodBackTo80ms) {
    for (const int code : {step::kConnect, step::kTimeout}) {
        EngineRig rig;
        rig.openOnline();
        rig.engine.stepTimer().setInterval(kSearchStepInterval);
        rig.engine.sendSerialNumber();
        rig.engine.schedule(code);
        rig.clock.advance(60ms);
        EXPECT_EQ(rig.engine.stepTimer().interval(), kStepInterval) << code;
    }
}

TEST(RequestEngineHandshake, FailedHighSpeedSwitchIsAFailedWrite) {
    EngineRig rig;
    rig.port.responder = [&](const std::string&, const Bytes& f) -> std::optional<Bytes> {
        if (f[0] == 'V') {
            rig.port.writeFails = true;  // the "G" after this answer cannot be written
            return textReply('V', "1EA1AB1AA");
        }
        return std::nullopt;
    };
    rig.engine.schedule(step::kConnect);
    rig.clock.advance(200ms);
    EXPECT_FALSE(rig.engine.online());
    EXPECT_EQ(rig.prompter.texts(), std::vector<std::string>{text::kWriteFailed});
    EXPECT_FALSE(rig.engine.sequenceTimer().isActive());
}

}  // namespace
