// The simulated module on the virtual clock: its answers, line-speed rules, timing, framing, memory,
// access rules, calibration exchange and robustness against line noise.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "link/codec.h"
#include "link/virtual_clock.h"
#include "sim/module.h"

namespace etc::sim {
namespace {

using namespace std::chrono_literals;
using link::Bytes;
using link::Duration;
namespace request = link::request;

Bytes hex(std::initializer_list<int> values) {
    Bytes b;
    for (int v : values)
        b.push_back(static_cast<std::uint8_t>(v));
    return b;
}

Bytes text(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

// First byte of an answer, or -1 for none.
int letterOf(const Bytes& answer) {
    return answer.empty() ? -1 : answer.front();
}

// "OK" or "NO" of a four-byte answer with a good checksum; anything else is described.
std::string verdict(const Bytes& answer) {
    if (answer.size() != 4 || !link::replyCheck(answer))
        return "<" + std::to_string(answer.size()) + " bytes>";
    return std::string(answer.begin() + 1, answer.begin() + 3);
}

struct Arrival {
    Duration at;
    Bytes bytes;
    int baud;
};

class ModuleTest : public ::testing::Test {
  protected:
    ModuleTest() { build(staticConfig()); }

    static ModuleConfig staticConfig() {
        ModuleConfig c;
        c.animate = false;
        return c;
    }

    void build(ModuleConfig config) {
        module.reset();
        module = std::make_unique<Module>(clock, std::move(config));
        module->setLineOutput([this](std::span<const std::uint8_t> b, int baud) {
            arrivals.push_back({clock.now(), Bytes(b.begin(), b.end()), baud});
        });
    }

    // Sends a request and waits long enough for any answer but a delayed one; returns every byte that
    // came back.
    Bytes exchange(const Bytes& frame, int baud = kHighSpeed, Duration wait = 300ms) {
        arrivals.clear();
        module->receive(frame, baud);
        clock.advance(wait);
        return received();
    }

    Bytes received() const {
        Bytes all;
        for (const auto& a : arrivals)
            all.insert(all.end(), a.bytes.begin(), a.bytes.end());
        return all;
    }

    // The tool's connect: "V" at 9600, then "G".
    void switchToHighSpeed() {
        exchange(request::version(), kLowSpeed);
        module->receive(request::highSpeed(), kLowSpeed);
        clock.advance(50ms);
        arrivals.clear();
    }

    link::VirtualClock clock;
    std::unique_ptr<Module> module;
    std::vector<Arrival> arrivals;
};

// ---------------------------------------------------------------------------------------------------
// Answers

struct AnswerCase {
    const char* name;
    Bytes request;
    Bytes answer;
};

TEST_F(ModuleTest, AnswersEachRequestWithItsExactFrame) {
    module->memory()[0] = 0x1234;
    module->memory()[1] = 0xABCD;
    const std::vector<AnswerCase> cases = {
        {"serial number", request::serialNumber(), hex({0x53, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x88})},
        {"access levels", request::accessLevels(), hex({0x61, 0x04, 0x04, 0x69})},
        {"block read", request::blockRead(0, 2), hex({0x5A, 0x12, 0x34, 0xAB, 0xCD, 0x18})},
        {"lock", request::lock(), text("L")},
        {"closing", request::closing(), text("R")},
        {"user password", request::password('p', "1234000000"), hex({0x70, 0x4F, 0x4B, 0x0A})},
        {"wrong password", request::password('p', "9999000000"), hex({0x70, 0x4E, 0x4F, 0x0D})},
        {"calibration step out of sequence", request::calibration(13), hex({0x71, 0x11, 0x82})},
        {"high speed switch again", request::highSpeed(), {}},
    };
    switchToHighSpeed();
    for (const auto& c : cases)
        EXPECT_EQ(exchange(c.request), c.answer) << c.name;
}

TEST_F(ModuleTest, VersionIsAnsweredAtLowSpeedWithTheConfiguredText) {
    EXPECT_EQ(exchange(request::version(), kLowSpeed),
              hex({0x56, 0x31, 0x45, 0x41, 0x31, 0x41, 0x42, 0x31, 0x41, 0x41, 0x74}));
    ASSERT_EQ(arrivals.size(), 1u);
    EXPECT_EQ(arrivals[0].baud, kLowSpeed);

    ModuleConfig c = staticConfig();
    c.version = "1EA1AC2AB";
    c.serial = "000042";
    build(c);
    EXPECT_EQ(link::replyText(exchange(request::version(), kLowSpeed)), "1EA1AC2AB");
    module->receive(request::highSpeed(), kLowSpeed);
    const Bytes serial = exchange(request::serialNumber());
    EXPECT_TRUE(link::replyCheck(serial));
    EXPECT_EQ(link::replyText(serial), "000042");
}

TEST_F(ModuleTest, LiveFrameCarriesEveryValueAtItsOffset) {
    LiveValues& v = module->live();
    v.engineSpeed = 1000;
    v.pedal1 = 61;
    v.pedal1mV = 1720;
    v.pedal2mV = 860;
    v.throttle1 = 59;
    v.throttle1mV = 1721;
    v.battery = 18;
    v.throttle2mV = 3300;
    v.throttleCorrection = -5;
    v.motorCurrent = 123;
    v.pidCorrection = -28;
    v.pwm = 2817;
    v.loadInput = 7;
    v.responseCurve = 2;
    v.waterTemp = 0;
    v.etcTemp = -21;
    v.varLaunch = 9;
    v.pedal1Mark = 150;
    v.pedal2 = 62;
    v.pedal2Mark = 151;
    v.throttle2 = 60;
    v.status = 0x0801;
    v.varAls = 11;
    v.errors = {0x0004, 0x8001, 0x0202};
    module->setCalibrationStatus(1);

    Bytes expected = hex({0x2A, 0x03, 0xE8, 0x00, 0x3D, 0x06, 0xB8, 0x03, 0x5C, 0x00, 0x3B, 0x06, 0xB9,
                          0x00, 0x12, 0x0C, 0xE4, 0xFF, 0xFB, 0x00, 0x7B, 0xFF, 0xE4, 0x0B, 0x01, 0x00,
                          0x07, 0x00, 0x02, 0x00, 0x14, 0x80, 0x01, 0x00, 0x09, 0x00, 0x96, 0x00, 0x3E,
                          0x00, 0x97, 0x00, 0x3C, 0x08, 0x01, 0x00, 0x01, 0x00, 0x0B});
    expected.resize(58, 0);
    const Bytes tail = hex({0x00, 0x04, 0x80, 0x01, 0x02, 0x02, 0x00, 0xBB});
    expected.insert(expected.end(), tail.begin(), tail.end());

    switchToHighSpeed();
    const Bytes frame = exchange(request::livePoll());
    ASSERT_EQ(frame.size(), link::kLiveFrameLength);
    EXPECT_EQ(frame, expected);
}

TEST_F(ModuleTest, AnimatedLiveValuesChangeSlowlyAndStayPlausible) {
    ModuleConfig c;
    c.animate = true;
    build(c);
    switchToHighSpeed();
    std::set<int> pedalValues;
    int previousPedal = -1;
    for (int i = 0; i < 80; ++i) {  // 20 s of polls, 250 ms apart
        const Bytes f = exchange(request::livePoll(), kHighSpeed, 250ms);
        ASSERT_EQ(f.size(), link::kLiveFrameLength);
        ASSERT_TRUE(link::replyCheck(f));
        const auto word = [&](int offset) { return link::UInt16BE::decode(f[offset], f[offset + 1]); };
        const int pedal = word(3);
        EXPECT_LE(pedal, 200);
        EXPECT_EQ(word(37), pedal) << "both pedal sensors see the same pedal";
        EXPECT_NEAR(word(5), 500 + 20 * pedal, 20) << "pedal 1 voltage follows its position";
        for (int offset : {5, 7, 11, 15})
            EXPECT_LE(word(offset), 5000);
        EXPECT_EQ(word(1), 0) << "engine off unless set";
        EXPECT_GE(word(13), 16) << "battery at least 12 V";
        const int etcTemp = link::SignMag16::decode(f[31], f[32]) - 20;
        EXPECT_GE(etcTemp, 0);
        EXPECT_LE(etcTemp, 135);
        if (previousPedal >= 0) {
            EXPECT_LE(std::abs(pedal - previousPedal), 12) << "at " << i;
        }
        previousPedal = pedal;
        pedalValues.insert(pedal);
    }
    EXPECT_GT(pedalValues.size(), 20u);
}

// ---------------------------------------------------------------------------------------------------
// Line speed

struct SpeedStep {
    const char* what;
    Bytes request;
    int baud;
    std::optional<std::uint8_t> answerLetter;  // nullopt: no answer
};

TEST_F(ModuleTest, AnswersOnlyAtTheSpeedTheToolShouldUse) {
    const std::vector<SpeedStep> script = {
        {"V at high speed before G", request::version(), kHighSpeed, std::nullopt},
        {"S at low speed before G", request::serialNumber(), kLowSpeed, std::nullopt},
        {"S at high speed before G", request::serialNumber(), kHighSpeed, std::nullopt},
        {"V at low speed", request::version(), kLowSpeed, 'V'},
        {"G at high speed does not switch", request::highSpeed(), kHighSpeed, std::nullopt},
        {"S still not heard", request::serialNumber(), kHighSpeed, std::nullopt},
        {"G at low speed", request::highSpeed(), kLowSpeed, std::nullopt},
        {"S after G", request::serialNumber(), kHighSpeed, 'S'},
        {"poll after G", request::livePoll(), kHighSpeed, '*'},
        {"V at high speed after G", request::version(), kHighSpeed, std::nullopt},
        {"S at low speed after G", request::serialNumber(), kLowSpeed, std::nullopt},
        {"V at low speed after G", request::version(), kLowSpeed, 'V'},
        {"S after that V needs a new G", request::serialNumber(), kHighSpeed, std::nullopt},
        {"G again", request::highSpeed(), kLowSpeed, std::nullopt},
        {"S at high speed", request::serialNumber(), kHighSpeed, 'S'},
        {"unknown speed", request::serialNumber(), 57600, std::nullopt},
    };
    for (const auto& step : script) {
        const Bytes answer = exchange(step.request, step.baud);
        if (!step.answerLetter) {
            EXPECT_TRUE(answer.empty()) << step.what;
            continue;
        }
        ASSERT_FALSE(answer.empty()) << step.what;
        EXPECT_EQ(answer.front(), *step.answerLetter) << step.what;
        EXPECT_EQ(arrivals.back().baud, step.baud) << step.what << ": answered at the request's speed";
    }
    EXPECT_TRUE(module->highSpeed());
}

// ---------------------------------------------------------------------------------------------------
// Timing

struct TimingCase {
    const char* name;
    Bytes request;
    int baud;
    Duration latency;
    std::int64_t expectedNs;  // request wire time + latency + answer wire time
};

TEST_F(ModuleTest, AnswerArrivesAfterRequestWireTimeLatencyAndAnswerWireTime) {
    const std::vector<TimingCase> cases = {
        {"V at 9600", request::version(), kLowSpeed, 0ms, 1041666 + 11458333},
        {"V at 9600 with 7 ms", request::version(), kLowSpeed, 7ms, 1041666 + 7000000 + 11458333},
        {"S at 115200", request::serialNumber(), kHighSpeed, 0ms, 86805 + 694444},
        {"S at 115200 with 3.5 ms", request::serialNumber(), kHighSpeed, 3500us, 86805 + 3500000 + 694444},
        {"Z of 11 words", request::blockRead(24, 11), kHighSpeed, 0ms, 520833 + 2083333},
        {"live frame with 10 ms", request::livePoll(), kHighSpeed, 10ms, 86805 + 10000000 + 5729166},
    };
    for (const auto& c : cases) {
        build(staticConfig());
        module->setLatency(c.latency);
        if (c.baud == kHighSpeed)
            switchToHighSpeed();
        const Duration sent = clock.now();
        exchange(c.request, c.baud);
        ASSERT_EQ(arrivals.size(), 1u) << c.name;
        EXPECT_EQ((arrivals[0].at - sent).count(), c.expectedNs) << c.name;
    }
}

TEST_F(ModuleTest, AnswersQueueBehindEachOtherOnTheLine) {
    switchToHighSpeed();
    const Duration sent = clock.now();
    module->receive(text("SS"), kHighSpeed);
    clock.advance(1s);
    ASSERT_EQ(arrivals.size(), 2u);
    // The second request is complete after two byte times, but the line is busy with the first answer.
    EXPECT_EQ((arrivals[0].at - sent).count(), 86805 + 694444);
    EXPECT_EQ((arrivals[1].at - sent).count(), 86805 + 694444 + 694444);
}

TEST_F(ModuleTest, ChunkedAnswerArrivesPieceByPieceAndIsNotCancelledByTheNextRequest) {
    ModuleConfig c = staticConfig();
    c.chunkBytes = 16;
    build(c);
    switchToHighSpeed();
    const Duration sent = clock.now();
    module->receive(request::livePoll(), kHighSpeed);
    // A poll answer is 66 bytes: pieces of 16, 16, 16, 16 and 2.
    clock.advance(Duration(86805 + 1388888));
    ASSERT_EQ(arrivals.size(), 1u);
    module->receive(request::serialNumber(), kHighSpeed);
    clock.advance(1s);

    const std::vector<std::size_t> sizes = {16, 16, 16, 16, 2, 8};
    const std::vector<std::int64_t> offsetsNs = {1388888, 2777777, 4166666,
                                                 5555555, 5729166, 5729166 + 694444};
    ASSERT_EQ(arrivals.size(), sizes.size());
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        EXPECT_EQ(arrivals[i].bytes.size(), sizes[i]) << "piece " << i;
        EXPECT_EQ((arrivals[i].at - sent).count(), 86805 + offsetsNs[i]) << "piece " << i;
    }
    Bytes frame;
    for (std::size_t i = 0; i < 5; ++i)
        frame.insert(frame.end(), arrivals[i].bytes.begin(), arrivals[i].bytes.end());
    EXPECT_EQ(frame, module->liveFrame());
    EXPECT_EQ(arrivals[5].bytes, hex({0x53, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x88}));
}

TEST_F(ModuleTest, LogsEveryCompleteRequestWithTimeSpeedAndAcceptance) {
    exchange(request::serialNumber(), kLowSpeed);
    switchToHighSpeed();
    const Duration sent = clock.now();
    exchange(request::blockRead(0, 1));
    const auto& log = module->requests();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].bytes, text("S"));
    EXPECT_FALSE(log[0].accepted);
    EXPECT_EQ(log[1].bytes, text("V"));
    EXPECT_TRUE(log[1].accepted);
    EXPECT_EQ(log[2].bytes, text("G"));
    EXPECT_EQ(log[2].baud, kLowSpeed);
    EXPECT_EQ(log[3].bytes, request::blockRead(0, 1));
    EXPECT_EQ(log[3].baud, kHighSpeed);
    EXPECT_EQ((log[3].at - sent).count(), 520833);
    EXPECT_EQ(module->requestCount('S'), 0);
    EXPECT_EQ(module->requestCount('Z'), 1);
}

// ---------------------------------------------------------------------------------------------------
// Memory

TEST_F(ModuleTest, BlockWriteIsReadBackHighByteFirst) {
    switchToHighSpeed();
    // 45 00 04 00 16 00 28 02 1E A7: four bytes at word 22.
    EXPECT_EQ(exchange(hex({0x45, 0x00, 0x04, 0x00, 0x16, 0x00, 0x28, 0x02, 0x1E, 0xA7})), text("Y"));
    EXPECT_EQ(module->memory()[22], 0x0028);
    EXPECT_EQ(module->memory()[23], 0x021E);
    EXPECT_EQ(exchange(request::blockRead(22, 2)), hex({0x5A, 0x00, 0x28, 0x02, 0x1E, 0xA2}));
    EXPECT_FALSE(module->settingsKept());
    EXPECT_EQ(exchange(request::lock()), text("L"));
    EXPECT_TRUE(module->settingsKept());
}

TEST_F(ModuleTest, OddLengthBlockWriteOnlyChangesTheHighByteOfItsLastWord) {
    module->memory()[100] = 0x1111;
    module->memory()[101] = 0x2222;
    switchToHighSpeed();
    const Bytes data = hex({0xAA, 0xBB, 0xCC});
    EXPECT_EQ(exchange(request::blockWrite(request::blockWritePayload(100, data))), text("Y"));
    EXPECT_EQ(module->memory()[100], 0xAABB);
    EXPECT_EQ(module->memory()[101], 0xCC22);
}

TEST_F(ModuleTest, CellWriteStoresOddCellsInTheHighByteAndEvenCellsInTheLowByte) {
    module->memory()[5] = 0x1122;
    switchToHighSpeed();
    EXPECT_EQ(exchange(hex({0x42, 0x00, 0x05, 0x28, 0x0B, 0x7A})), text("Y"));  // cell 11
    EXPECT_EQ(module->memory()[5], 0x2822);
    EXPECT_EQ(exchange(request::cellWrite('C', request::cellWritePayload(5, -3, 12))), text("Y"));
    EXPECT_EQ(module->memory()[5], 0x28FD);
    EXPECT_EQ(exchange(request::blockRead(5, 1)), hex({0x5A, 0x28, 0xFD, 0x7F}));
}

TEST_F(ModuleTest, AccessOutsideMemoryIsRefusedAndChangesNothing) {
    for (std::size_t w = 0; w < kMemoryWords; ++w)
        module->memory()[w] = static_cast<std::uint16_t>(w);
    const Memory before = module->memory();
    struct Case {
        const char* name;
        Bytes request;
        Bytes answer;
    };
    const Bytes four = hex({1, 2, 3, 4});
    const std::vector<Case> cases = {
        {"E running past the end", request::blockWrite(request::blockWritePayload(1023, four)), text("N")},
        {"E at a negative address", request::blockWrite(request::blockWritePayload(-1, four)), text("N")},
        {"E at 1024", request::blockWrite(request::blockWritePayload(1024, {})), text("N")},
        {"B at 1024", request::cellWrite('B', request::cellWritePayload(1024, 1, 1)), text("N")},
        {"C at -5", request::cellWrite('C', request::cellWritePayload(-5, 1, 2)), text("N")},
        {"Z running past the end", request::blockRead(1020, 5), {}},
        {"Z at a negative address", request::blockRead(-2, 1), {}},
    };
    switchToHighSpeed();
    for (const auto& c : cases)
        EXPECT_EQ(exchange(c.request), c.answer) << c.name;
    EXPECT_EQ(module->memory(), before);
    EXPECT_TRUE(module->settingsKept());

    const Bytes last = exchange(request::blockRead(1020, 4));
    EXPECT_EQ(last, hex({0x5A, 0x03, 0xFC, 0x03, 0xFD, 0x03, 0xFE, 0x03, 0xFF, 0x5C}));
    EXPECT_EQ(exchange(request::blockWrite(request::blockWritePayload(1022, four))), text("Y"));
    EXPECT_EQ(module->memory()[1023], 0x0304);
}

// ---------------------------------------------------------------------------------------------------
// Framing

TEST_F(ModuleTest, MalformedRequestsGetNoAnswerAndDoNotBlockTheNext) {
    Bytes badSum = request::blockRead(0, 1);
    badSum.back() ^= 0x01;
    Bytes badWrite = request::blockWrite(request::blockWritePayload(7, hex({9, 9})));
    badWrite.back() ^= 0x01;
    Bytes wrongLevelMagic = hex({'a', 'A', 'B', 'C', 'E'});
    wrongLevelMagic.push_back(link::Sum8(wrongLevelMagic));
    Bytes wrongCalibrationMagic = hex({'q', 'A', 'B', 'D', 0});
    wrongCalibrationMagic.push_back(link::Sum8(wrongCalibrationMagic));
    Bytes shortPassword = request::password('p', "1234000000");
    shortPassword.erase(shortPassword.begin() + 3);  // 11 bytes: waits for a 12th that never comes

    switchToHighSpeed();
    for (const Bytes& bad : {badSum, badWrite, wrongLevelMagic, wrongCalibrationMagic, shortPassword}) {
        EXPECT_TRUE(exchange(bad).empty());
        EXPECT_EQ(letterOf(exchange(request::serialNumber())), 'S');
    }
    EXPECT_EQ(module->memory()[7], 0);
    EXPECT_EQ(module->calibrationStatus(), 0);
}

TEST_F(ModuleTest, BytesThatStartNoRequestAreSkipped) {
    switchToHighSpeed();
    Bytes noisy = hex({0x00, 0xFF, 'Y', 'x'});
    const Bytes serial = request::serialNumber();
    noisy.insert(noisy.end(), serial.begin(), serial.end());
    EXPECT_EQ(exchange(noisy), hex({0x53, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x88}));
}

struct GapCase {
    const char* name;
    Duration pause;
    bool resend;  // after the pause: the whole frame again (true) or just its missing rest
    Bytes answer;
};

TEST_F(ModuleTest, PartialFrameIsDroppedAfterTheQuietGap) {
    module->memory()[0] = 0x0102;
    const Bytes frame = request::blockRead(0, 1);
    const Bytes answer = hex({0x5A, 0x01, 0x02, 0x5D});
    const std::vector<GapCase> cases = {
        {"rest within the gap completes the frame", 10ms, false, answer},
        {"rest after the gap is noise", 25ms, false, {}},
        {"resend after the gap starts clean", 25ms, true, answer},
        {"resend within the gap joins the partial frame", 10ms, true, {}},
    };
    for (const auto& c : cases) {
        build(staticConfig());
        module->memory()[0] = 0x0102;
        switchToHighSpeed();
        module->receive(std::span(frame).first(3), kHighSpeed);
        clock.advance(c.pause);
        const Bytes second = c.resend ? frame : Bytes(frame.begin() + 3, frame.end());
        EXPECT_EQ(exchange(second), c.answer) << c.name;
    }
}

TEST_F(ModuleTest, SurvivesRandomLineNoiseAtBothSpeeds) {
    std::mt19937 random(20240611);
    // Request letters are over-represented so that many frames are complete, some even valid.
    const Bytes letters = text("VGS*LRaApPqZBCE");
    std::uniform_int_distribution<int> anyByte(0, 255), length(0, 80), pick(0, 3), pause(0, 30);
    std::uniform_int_distribution<std::size_t> letter(0, letters.size() - 1);
    std::size_t answered = 0;
    module->setLineOutput([&](std::span<const std::uint8_t> b, int) { answered += b.size(); });
    for (int i = 0; i < 5000; ++i) {
        Bytes noise(static_cast<std::size_t>(length(random)));
        for (auto& b : noise)
            b = pick(random) == 0 ? letters[letter(random)] : static_cast<std::uint8_t>(anyByte(random));
        module->receive(noise, pick(random) < 2 ? kHighSpeed : kLowSpeed);
        clock.advance(std::chrono::milliseconds(pause(random)));
    }
    // Let the answers the noise asked for drain from the line.
    for (std::size_t before = answered + 1; before != answered;) {
        before = answered;
        clock.advance(1s);
    }
    EXPECT_GT(module->requests().size(), 1000u);
    EXPECT_GT(answered, 0u);

    module->setLineOutput([this](std::span<const std::uint8_t> b, int baud) {
        arrivals.push_back({clock.now(), Bytes(b.begin(), b.end()), baud});
    });
    EXPECT_EQ(link::replyText(exchange(request::version(), kLowSpeed)), "1EA1AB1AA");
    module->receive(request::highSpeed(), kLowSpeed);
    EXPECT_EQ(exchange(request::serialNumber()), hex({0x53, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x88}));
}

// ---------------------------------------------------------------------------------------------------
// Passwords and levels

TEST_F(ModuleTest, ChangingThePasswordNeedsTheOldOne) {
    switchToHighSpeed();
    EXPECT_EQ(exchange(request::password('P', "abcd000000")), hex({0x50, 0x4E, 0x4F, 0xED}));
    EXPECT_EQ(exchange(request::password('p', "1234000000")), hex({0x70, 0x4F, 0x4B, 0x0A}));
    EXPECT_EQ(exchange(request::password('P', "abcd000000")), hex({0x50, 0x4F, 0x4B, 0xEA}));
    EXPECT_EQ(module->userPassword(), "abcd000000");
    EXPECT_EQ(verdict(exchange(request::password('p', "1234000000"))), "NO");
    EXPECT_EQ(verdict(exchange(request::password('p', "abcd000000"))), "OK");
}

TEST_F(ModuleTest, MasterPasswordResetsTheUserPassword) {
    switchToHighSpeed();
    EXPECT_EQ(verdict(exchange(request::password('p', "MASTER0000"))), "OK");
    EXPECT_EQ(module->userPassword(), "JQW0000000");
    EXPECT_EQ(verdict(exchange(request::password('p', "1234000000"))), "NO");
    EXPECT_EQ(verdict(exchange(request::password('p', "JQW0000000"))), "OK");
}

struct LevelCase {
    int master;
    int user;
    bool ok;
};

TEST_F(ModuleTest, LevelRequestFollowsTheMasterLevel) {
    const std::vector<LevelCase> cases = {
        {3, 1, true}, {3, 3, true}, {3, 4, false}, {3, 0, false}, {4, 2, false}, {2, 2, false},
    };
    for (const auto& c : cases) {
        ModuleConfig config = staticConfig();
        config.masterLevel = 3;
        config.userLevel = 2;
        build(config);
        switchToHighSpeed();
        ASSERT_EQ(verdict(exchange(request::password('p', "1234000000"))), "OK");
        const Bytes answer = exchange(request::setAccessLevel(c.master, c.user));
        EXPECT_EQ(answer, c.ok ? hex({0x41, 0x4F, 0x4B, 0xDB}) : hex({0x41, 0x4E, 0x4F, 0xDE}))
            << c.master << "/" << c.user;
        const int level = c.ok ? c.user : 2;
        EXPECT_EQ(exchange(request::accessLevels()), hex({0x61, 3, level, (0x61 + 3 + level) & 0xFF}));
    }
}

TEST_F(ModuleTest, LevelRequestNeedsAPasswordSinceTheLastVersionQuery) {
    switchToHighSpeed();
    EXPECT_EQ(verdict(exchange(request::setAccessLevel(4, 1))), "NO");
    EXPECT_EQ(verdict(exchange(request::password('p', "1234000000"))), "OK");
    switchToHighSpeed();
    EXPECT_EQ(verdict(exchange(request::setAccessLevel(4, 1))), "NO");
    EXPECT_EQ(module->userLevel(), 4);
    EXPECT_EQ(verdict(exchange(request::password('p', "1234000000"))), "OK");
    EXPECT_EQ(verdict(exchange(request::setAccessLevel(4, 1))), "OK");
    EXPECT_EQ(module->userLevel(), 1);
}

// ---------------------------------------------------------------------------------------------------
// Calibration

class CalibrationTest : public ModuleTest {
  protected:
    std::uint8_t step(int s) {
        const Bytes answer = exchange(request::calibration(s));
        EXPECT_EQ(answer.size(), 3u);
        EXPECT_TRUE(link::replyCheck(answer));
        return answer.size() == 3 ? answer[1] : 0xEE;
    }
    std::uint16_t frameStatus() {
        const Bytes f = exchange(request::livePoll());
        if (f.size() != link::kLiveFrameLength) {
            ADD_FAILURE() << "no live frame";
            return 0xFFFF;
        }
        return static_cast<std::uint16_t>(link::UInt16BE::decode(f[45], f[46]));
    }
};

TEST_F(CalibrationTest, PedalSequenceRunsAndWritesTheMeasuredRanges) {
    switchToHighSpeed();
    EXPECT_EQ(step(0), 10);
    EXPECT_EQ(step(10), 11);
    EXPECT_EQ(step(10), 11) << "a resend gets the same answer";
    EXPECT_EQ(step(11), 12);
    EXPECT_EQ(frameStatus(), 0) << "no run before step 12";
    const Duration accepted = clock.now();
    EXPECT_EQ(step(12), 13);
    EXPECT_EQ(frameStatus(), 1) << "the run is reported with the step's answer";
    EXPECT_EQ(step(12), 13);
    EXPECT_EQ(step(13), 13);
    EXPECT_EQ(module->memory()[64], 0);
    clock.advance(accepted + 2s - clock.now() - 1ms);
    EXPECT_EQ(module->calibrationStatus(), 1) << "a resend does not start the run over";
    clock.advance(2ms);
    EXPECT_EQ(frameStatus(), 0);
    EXPECT_EQ(module->memory()[64], 500);
    EXPECT_EQ(module->memory()[65], 4500);
    EXPECT_EQ(module->memory()[66], 250);
    EXPECT_EQ(module->memory()[67], 2250);
    EXPECT_EQ(module->memory()[53], 0) << "throttle valve ranges untouched";
    EXPECT_FALSE(module->settingsKept());
}

TEST_F(CalibrationTest, ThrottleValveStartRunsAtOnceForBothSpringTypes) {
    for (int start : {1, 2}) {
        build(staticConfig());
        switchToHighSpeed();
        const Duration accepted = clock.now();
        EXPECT_EQ(step(start), 13);
        EXPECT_EQ(frameStatus(), 1);
        EXPECT_EQ(step(start), 13) << "a resend during the run";
        clock.advance(accepted + 2s + 1ms - clock.now());
        EXPECT_EQ(module->calibrationStatus(), 0) << "the resend did not start the run over";
        EXPECT_EQ(frameStatus(), 0);
        EXPECT_EQ(module->memory()[53], 600);
        EXPECT_EQ(module->memory()[54], 4400);
        EXPECT_EQ(module->memory()[926], 600);
        EXPECT_EQ(module->memory()[927], 4400);
        EXPECT_EQ(module->memory()[64], 0);
    }
}

TEST_F(CalibrationTest, FailedRunReportsItsStatusAndWritesNothing) {
    ModuleConfig c = staticConfig();
    c.calibrationResult = 6;
    build(c);
    switchToHighSpeed();
    EXPECT_EQ(step(1), 13);
    clock.advance(3s);
    EXPECT_EQ(frameStatus(), 6);
    EXPECT_EQ(module->memory()[53], 0);
    EXPECT_EQ(step(0), 10);
    EXPECT_EQ(frameStatus(), 0) << "a new start clears the old result";
}

TEST_F(CalibrationTest, RefusesWhileTheEngineRunsAndOutOfOrderSteps) {
    switchToHighSpeed();
    EXPECT_EQ(step(11), kCalibrationSequenceError);
    EXPECT_EQ(step(99), kCalibrationSequenceError);
    module->live().engineSpeed = 85;
    EXPECT_EQ(step(0), kCalibrationRefused);
    EXPECT_EQ(step(1), kCalibrationRefused);
    module->live().engineSpeed = 0;
    EXPECT_EQ(step(0), 10);
    EXPECT_EQ(step(11), kCalibrationSequenceError);
    EXPECT_EQ(step(10), 11) << "the sequence is still at 10";
    EXPECT_EQ(module->calibrationStatus(), 0);
}

// ---------------------------------------------------------------------------------------------------
// Faults

struct FaultCase {
    const char* fault;
    Bytes request;
    Bytes first;   // answer to the first request of that letter
    Bytes second;  // answer to the second
};

TEST_F(ModuleTest, FaultsStrikeTheNthRequestOfTheirLetter) {
    const Bytes serial = hex({0x53, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x88});
    const Bytes corruptSerial = hex({0x53, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x89});
    const Bytes write = request::blockWrite(request::blockWritePayload(3, hex({0x12, 0x34})));
    const std::vector<FaultCase> cases = {
        {"drop:S:2", request::serialNumber(), serial, {}},
        {"corrupt:S:1", request::serialNumber(), corruptSerial, serial},
        {"corrupt:E:2", write, text("Y"), hex({0xD9})},
        {"nak:E:1", write, text("N"), text("Y")},
        {"nak:B:1", request::cellWrite('B', request::cellWritePayload(3, 1, 1)), text("N"), text("Y")},
        {"nak:L:2", request::lock(), text("L"), text("N")},
        {"nak:p:1", request::password('p', "1234000000"), hex({0x70, 0x4E, 0x4F, 0x0D}),
         hex({0x70, 0x4F, 0x4B, 0x0A})},
        {"nak:S:1", request::serialNumber(), {}, serial},
        {"drop:*:1", request::livePoll(), {}, {}},  // second checked for its letter only below
    };
    for (const auto& c : cases) {
        build(staticConfig());
        const auto fault = parseFault(c.fault);
        ASSERT_TRUE(fault) << c.fault;
        module->addFault(*fault);
        switchToHighSpeed();
        EXPECT_EQ(exchange(c.request), c.first) << c.fault << " first";
        const Bytes second = exchange(c.request);
        if (c.request.front() == '*')
            EXPECT_EQ(second.size(), link::kLiveFrameLength) << c.fault;
        else
            EXPECT_EQ(second, c.second) << c.fault << " second";
        EXPECT_EQ(module->requestCount(static_cast<char>(c.request.front())), 2) << c.fault;
    }
}

TEST_F(ModuleTest, DroppedOrRefusedWriteStoresNothingButACorruptedAnswerStillStored) {
    const Bytes write = request::blockWrite(request::blockWritePayload(3, hex({0x12, 0x34})));
    for (const char* faultText : {"drop:E:1", "nak:E:1", "corrupt:E:1"}) {
        build(staticConfig());
        module->addFault(*parseFault(faultText));
        switchToHighSpeed();
        exchange(write);
        EXPECT_EQ(module->memory()[3], std::string_view(faultText).starts_with("corrupt") ? 0x1234 : 0)
            << faultText;
    }
}

TEST_F(ModuleTest, DroppedHighSpeedSwitchLeavesTheModuleAtLowSpeed) {
    module->addFault(*parseFault("drop:G:1"));
    exchange(request::version(), kLowSpeed);
    exchange(request::highSpeed(), kLowSpeed);
    EXPECT_FALSE(module->highSpeed());
    EXPECT_TRUE(exchange(request::serialNumber()).empty());
    exchange(request::highSpeed(), kLowSpeed);
    EXPECT_EQ(letterOf(exchange(request::serialNumber())), 'S');
}

TEST_F(ModuleTest, FaultsCountOnlyRequestsTheModuleHeard) {
    module->addFault(*parseFault("drop:S:1"));
    exchange(request::serialNumber(), kLowSpeed);  // before "G": not heard, not counted
    switchToHighSpeed();
    EXPECT_TRUE(exchange(request::serialNumber()).empty());
    EXPECT_EQ(letterOf(exchange(request::serialNumber())), 'S');
}

TEST_F(ModuleTest, DelayFaultAddsItsTimeToOneAnswer) {
    module->addFault(*parseFault("delay:S:2:700.5"));
    switchToHighSpeed();
    for (std::int64_t extra : {0LL, 700500000LL, 0LL}) {
        const Duration sent = clock.now();
        exchange(request::serialNumber(), kHighSpeed, 1s);
        ASSERT_EQ(arrivals.size(), 1u);
        EXPECT_EQ((arrivals[0].at - sent).count(), 86805 + extra + 694444);
    }
}

TEST_F(ModuleTest, UnplugFaultLosesTheRequestAndEverythingAfter) {
    int unplugs = 0;
    module->setUnplugHandler([&] { ++unplugs; });
    module->addFault(*parseFault("unplug:*:2"));
    switchToHighSpeed();
    module->receive(request::livePoll(), kHighSpeed);
    module->receive(request::livePoll(), kHighSpeed);  // the first answer is still on the line
    clock.advance(1s);
    EXPECT_TRUE(arrivals.empty()) << "the answer on the wire is lost with the cable";
    EXPECT_EQ(unplugs, 1);
    EXPECT_TRUE(module->unplugged());
    EXPECT_TRUE(exchange(request::serialNumber()).empty());
    EXPECT_TRUE(exchange(request::version(), kLowSpeed).empty());
    module->replug();
    EXPECT_EQ(letterOf(exchange(request::version(), kLowSpeed)), 'V');
    EXPECT_EQ(unplugs, 1);
}

// ---------------------------------------------------------------------------------------------------
// Settings image file

TEST(LoadImageTest, ReadsWordsHighByteFirstAndRejectsWrongSizes) {
    const auto dir = std::filesystem::temp_directory_path();
    const std::string good = (dir / "sim_image_good.bin").string();
    const std::string shortFile = (dir / "sim_image_short.bin").string();
    {
        std::ofstream out(good, std::ios::binary);
        for (int w = 0; w < 1024; ++w) {
            out.put(static_cast<char>(w >> 8));
            out.put(static_cast<char>(0xA0 | (w & 0x0F)));
        }
        std::ofstream(shortFile, std::ios::binary) << std::string(2047, 'x');
    }
    Memory memory{};
    std::string error;
    ASSERT_TRUE(loadImage(good, memory, error)) << error;
    EXPECT_EQ(memory[0], 0x00A0);
    EXPECT_EQ(memory[0x123], 0x01A3);
    EXPECT_EQ(memory[1023], 0x03AF);

    memory.fill(7);
    EXPECT_FALSE(loadImage(shortFile, memory, error));
    EXPECT_NE(error.find("2047"), std::string::npos) << error;
    EXPECT_FALSE(loadImage((dir / "sim_image_missing.bin").string(), memory, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(memory[0], 7) << "memory untouched on failure";
    std::filesystem::remove(good);
    std::filesystem::remove(shortFile);
}

}  // namespace
}  // namespace etc::sim
