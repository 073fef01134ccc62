// The download against the in-process simulated module, on virtual time: the "E" frames on the wire in
// order, the closing "R", the module's memory afterwards, the shorter sequences, the version questions
// and what happens when the link is lost half-way.
#include <gtest/gtest.h>

#include <numeric>

#include "app/main_window_state.h"
#include "link/request_engine.h"
#include "settings/download.h"
#include "settings/settings_image.h"
#include "settings/version_rules.h"
#include "sim/module.h"
#include "sim/simulated_port.h"
#include "test_support.h"

using namespace etc;
using namespace etc::settings;
using namespace std::chrono_literals;
using link::Button;
using link::Bytes;

namespace {

// Words the download must not touch keep this pattern.
constexpr std::uint16_t kUntouched = 0xA55A;

// How the blocks are cut, written out by hand: block, first word address, data bytes of each frame.
struct Cut {
    Block block;
    int address;
    std::vector<int> sizes;
};

std::vector<int> repeat(int size, int times, std::vector<int> tail = {}) {
    std::vector<int> v(static_cast<std::size_t>(times), size);
    v.insert(v.end(), tail.begin(), tail.end());
    return v;
}

const Cut kCurve1{Block::Curve1, 0, {22}};
const Cut kCurve2{Block::Curve2, 11, {22}};
const Cut kResponseGroup{Block::CurveOptions, 22, {4}};
const Cut kThrottleLimit{Block::ThrottleLimit, 24, {22}};
const Cut kEtc{Block::Etc, 35, {22, 36, 20}};
const Cut kSetpoints{Block::PedalCorrection, 74, repeat(32, 15, {30})};
const Cut kHardware{Block::Hardware, 329, {6}};
const Cut kRpm{Block::Rpm, 332, {44}};
const Cut kAls{Block::Als, 354, {4}};
const Cut kLaunch{Block::Launch, 356, {4}};
const Cut kThrottle{Block::ThrottleSettings, 358, {36}};
const Cut kCanSettings{Block::CanSettings, 376, {6}};
const Cut kCanMessages{Block::CanMessages, 379, {30, 30, 30, 30}};
const Cut kCanChannels{Block::CanChannels, 439, repeat(28, 8, {30})};
const Cut kPwm{Block::Pwm, 566, {2}};
const Cut kIdleTable{Block::IdleTable, 567, {22}};
const Cut kIdleStart{Block::IdleStart, 578, {2}};
const Cut kCalibration{Block::Calibration, 896, repeat(32, 8)};

// The blocks from a group's entry to the end of the full sequence.
std::vector<Cut> tail(const std::vector<Cut>& from, bool idle) {
    std::vector<Cut> order = from;
    for (const Cut& c : {kCanSettings, kCanMessages, kCanChannels, kPwm})
        order.push_back(c);
    if (idle) {
        order.push_back(kIdleTable);
        order.push_back(kIdleStart);
    }
    order.push_back(kCalibration);
    return order;
}

std::vector<Cut> fromHardware(bool idle) {
    return tail({kHardware, kRpm, kAls, kLaunch, kThrottle}, idle);
}

std::vector<Cut> fullOrder(bool idle) {
    std::vector<Cut> order{kCurve1, kCurve2, kResponseGroup, kThrottleLimit, kEtc, kSetpoints};
    const auto rest = fromHardware(idle);
    order.insert(order.end(), rest.begin(), rest.end());
    return order;
}

Bytes eFrame(int address, const Bytes& data) {
    const int n = static_cast<int>(data.size());
    // Built byte by byte: GCC 12 warns wrongly about inserting behind an initializer list.
    Bytes f;
    f.reserve(data.size() + 6);
    for (const int b : {int{'E'}, n >> 8, n & 0xFF, address >> 8, address & 0xFF})
        f.push_back(static_cast<std::uint8_t>(b));
    f.insert(f.end(), data.begin(), data.end());
    const int sum = std::accumulate(f.begin(), f.end(), 0);
    f.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    return f;
}

// The frames the blocks must go out as: the image's encoding cut by the table.
std::vector<Bytes> expectedFrames(const SettingsImage& image, const std::vector<Cut>& order) {
    std::vector<Bytes> frames;
    for (const Cut& c : order) {
        const Bytes bytes = image.encode(c.block);
        std::size_t offset = 0;
        for (int size : c.sizes) {
            const Bytes data(
                bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                bytes.begin() + static_cast<std::ptrdiff_t>(offset + static_cast<std::size_t>(size)));
            frames.push_back(eFrame(c.address + static_cast<int>(offset / 2), data));
            offset += static_cast<std::size_t>(size);
        }
        EXPECT_EQ(offset, bytes.size()) << "block " << static_cast<int>(c.block);
    }
    return frames;
}

int dataBytes(const std::vector<Cut>& order) {
    int n = 0;
    for (const Cut& c : order)
        n += std::accumulate(c.sizes.begin(), c.sizes.end(), 0);
    return n;
}

// Every block gets bytes that differ from block to block and from byte to byte, so that a frame cut at
// the wrong place or sent twice shows.
void fillImage(SettingsImage& image) {
    for (Block b : kBlocks) {
        Bytes bytes(static_cast<std::size_t>(BlockMap::layout(b).words * 2));
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<std::uint8_t>(i * 7 + static_cast<std::size_t>(b) * 13 + 1);
        ASSERT_TRUE(image.decode(b, bytes)) << static_cast<int>(b);
    }
}

struct Rig {
    link::VirtualClock clock;
    std::unique_ptr<sim::Module> module;
    std::unique_ptr<sim::SimulatedPort> port;
    test::ScriptedPrompter prompter;
    std::unique_ptr<link::RequestEngine> engine;
    SettingsImage image;
    VersionRules rules{prompter};
    app::MainWindowState window;
    std::unique_ptr<Download> download;
    int liveFrames = 0;
    int ended = 0;
    int abandoned = 0;
    int editMenuHidden = 0;
    std::vector<int> steps;
    std::vector<std::string> errorLabels;

    explicit Rig(const std::string& moduleVersion = "1EA1AB1AA", const std::string& held = "1EA1AB1AA",
                 const std::vector<std::string>& faults = {}) {
        sim::ModuleConfig config;
        config.animate = false;
        config.version = moduleVersion;
        config.memory.fill(kUntouched);
        for (const auto& f : faults)
            config.faults.push_back(*sim::parseFault(f));
        module = std::make_unique<sim::Module>(clock, std::move(config));
        port = std::make_unique<sim::SimulatedPort>(clock, *module, std::vector<std::string>{"SIM"});
        engine = std::make_unique<link::RequestEngine>(*port, clock, prompter);
        engine->setPortName("SIM");
        engine->hooks().liveFrame = [this](link::ByteView) { ++liveFrames; };
        engine->hooks().accessLevels = [this](int, int) { engine->schedule(link::step::kPoll); };
        engine->hooks().errorLabelChanged = [this](const std::string& label) {
            errorLabels.push_back(label);
        };
        rules.setHeld(held);
        // As the session wires the version rules.
        rules.fillBlockMap = [this] { image.blockMap().set(); };
        rules.refuse = [this] {
            engine->stopPolling();
            window.progress.shown = false;
        };
        rules.enableMainButtons = [this] { window.setMainButtons(true); };
        download = std::make_unique<Download>(*engine, image, rules, window, prompter);
        download->ended = [this] { ++ended; };
        download->abandoned = [this] { ++abandoned; };
        download->hideEditMenu = [this] { ++editMenuHidden; };
        download->stepStarted = [this](int s) { steps.push_back(s); };
    }

    // Connected and polling at 115200 baud, with the block map set as an upload would have it. Returns
    // between two polls, so that no reply is on its way.
    void connect() {
        engine->schedule(link::step::kConnect);
        ASSERT_TRUE(clock.runUntil([&] { return liveFrames >= 1; }, 3s));
        rules.versionCheck(rules.held());
        ASSERT_TRUE(image.blockMap().isSet());
        port->clearWrites();
    }

    bool runToEnd(link::Duration limit = 20s) {
        return clock.runUntil([&] { return ended > 0 || abandoned > 0; }, limit);
    }

    std::vector<Bytes> blockWrites() const {
        std::vector<Bytes> e;
        for (const auto& w : port->writes())
            if (!w.bytes.empty() && w.bytes[0] == 'E')
                e.push_back(w.bytes);
        return e;
    }
    std::string letters() const {
        std::string l;
        for (const auto& w : port->writes())
            l += static_cast<char>(w.bytes.at(0));
        return l;
    }
    // The letters of the writes up to and including the closing request, block writes as one "E".
    std::string conversation() const {
        std::string l;
        for (char c : letters()) {
            if (c == 'E' && !l.empty() && l.back() == 'E')
                continue;
            l += c;
        }
        return l;
    }
    std::size_t eCount() const { return blockWrites().size(); }
};

// The module's memory holds the data of every frame at the frame's address, word for word.
void expectMemoryHolds(const Rig& rig, const std::vector<Bytes>& frames) {
    for (const Bytes& f : frames) {
        const int address = f[3] * 256 + f[4];
        const std::size_t words = (f.size() - 6) / 2;
        for (std::size_t w = 0; w < words; ++w) {
            const int expected = f[5 + 2 * w] * 256 + f[6 + 2 * w];
            EXPECT_EQ(rig.module->memory()[static_cast<std::size_t>(address) + w], expected)
                << "word " << address + static_cast<int>(w);
        }
    }
}

void expectUntouched(const Rig& rig, int from, int words) {
    for (int w = from; w < from + words; ++w)
        EXPECT_EQ(rig.module->memory()[static_cast<std::size_t>(w)], kUntouched) << "word " << w;
}

Bytes frameAt(const std::vector<Bytes>& frames, int address) {
    for (const auto& f : frames)
        if (f.size() > 5 && f[3] * 256 + f[4] == address)
            return f;
    return {};
}

// -------------------------------------------------------------------------------------------------
// The full download

TEST(DownloadFull, WritesEveryBlockInOrderThenClosesForBothVersionFamilies) {
    struct Case {
        const char* version;
        bool idle;
    };
    const Case cases[] = {{"1EA1AA1AA", false}, {"1EA1AB1AA", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        Rig rig(c.version, c.version);
        fillImage(rig.image);
        rig.download->start();
        EXPECT_TRUE(rig.download->running());
        ASSERT_TRUE(rig.runToEnd());

        const auto order = fullOrder(c.idle);
        const auto expected = expectedFrames(rig.image, order);
        EXPECT_EQ(rig.blockWrites(), expected);
        // "V" and "G" at 9600, every block write and the closing request at 115200, then polling.
        EXPECT_EQ(rig.conversation().substr(0, 4), "VGER");
        const auto& w = rig.port->writes();
        EXPECT_EQ(w[0].baud, 9600);
        EXPECT_EQ(w[1].baud, 9600);
        for (std::size_t i = 2; i < w.size(); ++i)
            EXPECT_EQ(w[i].baud, 115200) << "write " << i;
        const auto closing = w.begin() + 2 + static_cast<std::ptrdiff_t>(rig.eCount());
        ASSERT_LT(closing, w.end());
        EXPECT_EQ(closing->bytes, Bytes{'R'});

        expectMemoryHolds(rig, expected);
        expectUntouched(rig, BlockMap::kGap.address, BlockMap::kGap.words);
        if (!c.idle)
            expectUntouched(rig, 567, 12);

        EXPECT_EQ(rig.window.progress.maximum, 2050);
        EXPECT_EQ(rig.window.progress.position, dataBytes(order) + kGapGaugeStep);
        EXPECT_FALSE(rig.window.progress.shown);
        EXPECT_TRUE(rig.window.mainButtonsEnabled);
        EXPECT_TRUE(rig.window.tablesEnabled);
        EXPECT_EQ(rig.download->sequenceState(), 0);
        EXPECT_FALSE(rig.download->running());
        EXPECT_FALSE(rig.download->incomplete());
        EXPECT_TRUE(rig.prompter.shown.empty());
        // Live polling resumes after the module's "R".
        rig.port->clearWrites();
        rig.clock.advance(300ms);
        EXPECT_EQ(rig.letters().substr(0, 2), "**");
    }
}

TEST(DownloadFull, StepsRunInTheOrderOfTheSequenceTable) {
    const std::vector<int> withIdle{30,  40,  50,  60,  70,  80,  90,  100, 110, 120,
                                    130, 140, 150, 160, 170, 171, 172, 190, 191, 200};
    std::vector<int> withoutIdle = withIdle;
    std::erase_if(withoutIdle, [](int s) { return s == 171 || s == 172; });
    for (const auto& [version, expected] :
         {std::pair{"1EA1AB1AA", withIdle}, std::pair{"1EA1AA1AA", withoutIdle}}) {
        Rig rig(version, version);
        // The progress panel shows until the calibration block is out, before the closing request.
        std::vector<std::pair<int, bool>> shownAt;
        rig.download->stepStarted = [&](int s) {
            rig.steps.push_back(s);
            shownAt.emplace_back(s, rig.window.progress.shown);
        };
        rig.download->start();
        ASSERT_TRUE(rig.runToEnd()) << version;
        EXPECT_EQ(rig.steps, expected) << version;
        ASSERT_GE(shownAt.size(), 2u);
        EXPECT_EQ(shownAt[shownAt.size() - 2], std::pair(191, true)) << version;
        EXPECT_EQ(shownAt.back(), std::pair(200, false)) << version;
    }
}

TEST(DownloadFull, EdgeFramesCarryTheExactBytes) {
    Rig rig;
    ASSERT_TRUE(rig.image.setValue("P_versterking", 2.5));
    ASSERT_TRUE(rig.image.setValue("ALS_min", 20));
    ASSERT_TRUE(rig.image.setValue("ALS_max", 80));
    ASSERT_TRUE(rig.image.setValue("ALS_active", 1));
    ASSERT_TRUE(rig.image.setValue("max_PWM", 100));
    ASSERT_TRUE(rig.image.setValue("beginwaarde", 980));
    rig.download->start();
    ASSERT_TRUE(rig.runToEnd());
    const auto frames = rig.blockWrites();

    const Bytes etc1 = frameAt(frames, 35);
    ASSERT_EQ(etc1.size(), 22u + 6u);
    EXPECT_EQ(Bytes(etc1.begin(), etc1.begin() + 7), (Bytes{0x45, 0x00, 0x16, 0x00, 0x23, 0x00, 0xFA}));
    EXPECT_EQ(frameAt(frames, 354), (Bytes{0x45, 0x00, 0x04, 0x01, 0x62, 0x28, 0xA0, 0x01, 0x00, 0x75}));
    EXPECT_EQ(frameAt(frames, 566), (Bytes{0x45, 0x00, 0x02, 0x02, 0x36, 0x0B, 0x00, 0x8A}));
    // beginwaarde 980: (980 - 400) / 20 = 29.
    EXPECT_EQ(frameAt(frames, 578), eFrame(578, {0x00, 0x1D}));
}

TEST(DownloadFull, SetpointTableGoesOutAsSixteenFramesOfItsCells) {
    Rig rig;
    // Distinct signed cells: cell k (column k - 1) holds 3k - 400.
    for (int col = 0; col < 255; ++col)
        rig.image.setCell(SettingsImage::Table::PositieveSollwert, col, 3 * (col + 1) - 400);
    rig.download->start();
    ASSERT_TRUE(rig.runToEnd());
    const auto frames = rig.blockWrites();
    for (int k = 1; k <= 16; ++k) {
        const int address = 74 + 16 * (k - 1);
        const int first = 16 * k - 15;
        const int last = k < 16 ? 16 * k : 255;
        Bytes data;
        for (int cell = first; cell <= last; ++cell) {
            const auto v = static_cast<std::uint16_t>(static_cast<std::int16_t>(3 * cell - 400));
            data.push_back(static_cast<std::uint8_t>(v >> 8));
            data.push_back(static_cast<std::uint8_t>(v & 0xFF));
        }
        EXPECT_EQ(frameAt(frames, address), eFrame(address, data)) << "frame " << k;
    }
    EXPECT_EQ(frameAt(frames, 314).size(), 30u + 6u);
}

TEST(DownloadFull, RefusedFifthSetpointFrameIsSentAgainUnchanged) {
    // Block writes 1..7 are the curves, the response group, the throttle limit and the ETC block; the
    // fifth setpoint frame is the twelfth.
    Rig rig("1EA1AB1AA", "1EA1AB1AA", {"nak:E:12"});
    fillImage(rig.image);
    rig.download->start();
    ASSERT_TRUE(rig.runToEnd());
    const auto frames = rig.blockWrites();
    auto expected = expectedFrames(rig.image, fullOrder(true));
    ASSERT_EQ(frames.size(), expected.size() + 1);
    EXPECT_EQ(frames[11][3] * 256 + frames[11][4], 138);
    EXPECT_EQ(frames[12], frames[11]);
    expected.insert(expected.begin() + 12, expected[11]);
    EXPECT_EQ(frames, expected);
    // One count, cleared again by the next "Y".
    EXPECT_EQ(rig.errorLabels, (std::vector<std::string>{"Errors: 1", "Errors: 0"}));
    expectMemoryHolds(rig, frames);
    EXPECT_TRUE(rig.prompter.shown.empty());
}

TEST(DownloadFull, LastCanChannelWordMarksAnOpenedCanPageUntilASequenceEnds) {
    Rig rig;
    rig.image.setCanChanged(true);  // the CAN page was opened
    const std::pair<const char*, Bytes> rounds[] = {{"after opening the CAN page", {0x01, 0x00}},
                                                    {"after a completed sequence", {0x00, 0x00}}};
    for (const auto& [when, mark] : rounds) {
        SCOPED_TRACE(when);
        rig.port->clearWrites();
        rig.ended = 0;
        rig.download->start();
        ASSERT_TRUE(rig.runToEnd());
        const Bytes last = frameAt(rig.blockWrites(), 551);
        ASSERT_EQ(last.size(), 30u + 6u);
        EXPECT_EQ(Bytes(last.end() - 3, last.end() - 1), mark);
        EXPECT_FALSE(rig.image.canChanged());
        EXPECT_EQ(rig.module->memory()[565], mark[0] * 256 + mark[1]);
    }
}

// -------------------------------------------------------------------------------------------------
// Versions

TEST(DownloadVersion, MismatchCancelStopsBeforeAnyWrite) {
    Rig rig("1EA1AA1AA", "1EA1AB1AA");
    rig.prompter.answers = {Button::Cancel};
    rig.download->start();
    rig.clock.advance(2s);
    ASSERT_EQ(rig.prompter.shown.size(), 1u);
    EXPECT_EQ(rig.prompter.shown[0].text,
              "The file does not match the current system!!!\r\r\nFile version nr  : 1EA1AB1AA\r\r\n"
              "System version nr: 1EA1AA1AA");
    EXPECT_EQ(rig.prompter.shown[0].buttons, link::ButtonSet::CancelIgnore);
    EXPECT_EQ(rig.letters(), "V");
    EXPECT_FALSE(rig.window.progress.shown);
    EXPECT_TRUE(rig.window.mainButtonsEnabled);
    EXPECT_FALSE(rig.download->running());
    EXPECT_EQ(rig.ended, 0);
}

TEST(DownloadVersion, MismatchIgnoreShowsTheReminderAndWritesTheHeldSettings) {
    Rig rig("1EA1AA1AA", "1EA1AB1AA");
    fillImage(rig.image);
    rig.prompter.answers = {Button::Ignore};
    rig.download->start();
    ASSERT_TRUE(rig.runToEnd());
    EXPECT_EQ(
        rig.prompter.texts(),
        (std::vector<std::string>{"The file does not match the current system!!!\r\r\nFile version nr  : "
                                  "1EA1AB1AA\r\r\nSystem version nr: 1EA1AA1AA",
                                  "After downloading, upload data (System -> PC)\r\r\nand check all "
                                  "settings for correct values!!!"}));
    // The held version decides the idle blocks, not the module's reply.
    EXPECT_EQ(rig.blockWrites(), expectedFrames(rig.image, fullOrder(true)));
    EXPECT_EQ(rig.rules.held(), "1EA1AB1AA");
}

TEST(DownloadVersion, NewerHeldVersionAsksCancelOrIgnoreBeforeAnything) {
    for (const Button answer : {Button::Cancel, Button::Ignore}) {
        const bool goesOn = answer == Button::Ignore;
        SCOPED_TRACE(goesOn ? "Ignore" : "Cancel");
        Rig rig("1EA1AC1AA", "1EA1AC1AA");
        rig.prompter.answers = {answer};
        rig.download->start();
        if (goesOn)
            ASSERT_TRUE(rig.runToEnd());
        else
            rig.clock.advance(2s);
        ASSERT_EQ(rig.prompter.shown.size(), 1u);
        EXPECT_EQ(rig.prompter.shown[0].text,
                  "ECU is newer then the PC software\n\rPlease download newer OXT PC software");
        EXPECT_EQ(rig.prompter.shown[0].buttons, link::ButtonSet::CancelIgnore);
        // Cancel ends the attempt before the version query.
        EXPECT_EQ(rig.conversation().substr(0, 4), goesOn ? "VGER" : "");
        EXPECT_EQ(rig.ended, goesOn ? 1 : 0);
    }
}

TEST(DownloadVersion, UnsupportedModuleFamilyRefusesTheStart) {
    struct Case {
        const char* module;
        const char* text;
    };
    const Case cases[] = {
        {"2EA1AA1AA",
         "This Version nr : 2EA1AA1AA\r\r\nis not supported by this software \r\r\nCall your Software "
         "supplier for information !!!"},
        {"1FA1AA1AA",
         "This software is for E-Gas management systems only\r\r\nCall your Software supplier for the Fuel "
         "version !!!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.module);
        Rig rig(c.module, "1EA1AB1AA");
        rig.download->start();
        EXPECT_TRUE(rig.window.progress.shown);
        rig.clock.advance(2s);
        EXPECT_EQ(rig.prompter.texts(), std::vector<std::string>{c.text});
        EXPECT_EQ(rig.letters(), "V");
        EXPECT_FALSE(rig.window.progress.shown);
        EXPECT_FALSE(rig.download->running());
        EXPECT_TRUE(rig.engine->receiveBlocked());
    }
}

TEST(DownloadVersion, NothingStartsWithoutABlockMap) {
    // A held text of an unsupported family: the version check says why and the map stays empty.
    Rig rig("1EA1AB1AA", "2EA1AA1AA");
    rig.download->start();
    EXPECT_EQ(
        rig.prompter.texts(),
        std::vector<std::string>{"This Version nr : 2EA1AA1AAWith Serialnumber : \r\r\nis not supported by "
                                 "this software \r\r\nCall your Software supplier for information !!!"});
    rig.download->sendGroup(Group::Hardware);
    rig.download->sendFromStep60();
    rig.download->writeResponseGroup();
    rig.download->writeCalibrationResult();
    rig.download->writeFirstEtcFrame();
    rig.clock.advance(2s);
    EXPECT_TRUE(rig.port->writes().empty());
    EXPECT_EQ(rig.download->sequenceState(), 0);
    EXPECT_FALSE(rig.image.blockMap().isSet());
    EXPECT_EQ(rig.prompter.shown.size(), 1u);
}

// -------------------------------------------------------------------------------------------------
// Group sends and the shorter sequences

TEST(DownloadGroups, EachSendEntersAtItsStepAndRunsToTheClosingRequest) {
    struct Case {
        const char* name;
        Group group;
        int entry;
        bool sentAtOnce;
        std::vector<Cut> order;
    };
    const std::vector<Case> cases = {
        {"ETC", Group::Etc, 204, false, {kSetpoints, kEtc, kPwm}},
        {"Hardware", Group::Hardware, 90, true, fromHardware(true)},
        {"RPM pickup", Group::RpmPickup, 100, true, tail({kRpm, kAls, kLaunch, kThrottle}, true)},
        {"ALS", Group::Als, 110, true, tail({kAls, kLaunch, kThrottle}, true)},
        {"Launch", Group::Launch, 120, true, tail({kLaunch, kThrottle}, true)},
        {"Throttle", Group::Throttle, 130, true, tail({kThrottle}, true)},
        {"CAN", Group::Can, 140, true, tail({}, true)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.connect();
        fillImage(rig.image);
        const link::Duration pressed = rig.clock.now();
        rig.download->sendGroup(c.group);
        // Taken now: the CAN changed flag that the CAN group sets is cleared again at the end.
        const auto expected = expectedFrames(rig.image, c.order);
        EXPECT_EQ(rig.download->sequenceState(), c.entry);
        EXPECT_FALSE(rig.window.optionsCancelEnabled);
        EXPECT_EQ(rig.eCount(), c.sentAtOnce ? 1u : 0u);
        ASSERT_TRUE(rig.runToEnd());
        EXPECT_EQ(rig.port->writes().front().at, c.sentAtOnce ? pressed : pressed + 50ms);
        EXPECT_EQ(rig.blockWrites(), expected);
        EXPECT_EQ(rig.conversation().substr(0, 2), "ER");
        expectMemoryHolds(rig, expected);
        EXPECT_EQ(rig.steps.front(), c.entry);
        EXPECT_EQ(rig.steps.back(), 200);
        EXPECT_FALSE(rig.image.canChanged());
        EXPECT_TRUE(rig.prompter.shown.empty());
    }
}

TEST(DownloadGroups, CanSendMarksTheLastChannelWord) {
    Rig rig;
    rig.connect();
    ASSERT_FALSE(rig.image.canChanged());
    rig.download->sendGroup(Group::Can);
    EXPECT_TRUE(rig.image.canChanged());
    ASSERT_TRUE(rig.runToEnd());
    const Bytes last = frameAt(rig.blockWrites(), 551);
    ASSERT_EQ(last.size(), 36u);
    EXPECT_EQ(Bytes(last.end() - 3, last.end() - 1), (Bytes{0x01, 0x00}));
    EXPECT_FALSE(rig.image.canChanged());
}

TEST(DownloadGroups, EtcSendOfflineWritesNothingButTakesTheRpmAxis) {
    Rig rig;
    rig.connect();
    rig.engine->goOffline();
    ASSERT_TRUE(rig.image.setValue("RPM_Range_Row1", 1250));
    rig.window.setMainButtons(false);
    rig.port->clearWrites();
    rig.download->sendGroup(Group::Etc);
    rig.clock.advance(2s);
    EXPECT_TRUE(rig.port->writes().empty());
    EXPECT_TRUE(rig.window.mainButtonsEnabled);
    EXPECT_EQ(rig.image.axisHeaders(SettingsImage::Table::Throttle_limit).at(0), "1250");
    EXPECT_EQ(rig.download->sequenceState(), 0);
}

TEST(DownloadShort, SendFromStep60WritesFromTheThrottleLimitOn) {
    Rig rig;
    rig.connect();
    fillImage(rig.image);
    rig.window.setMainButtons(true);
    const link::Duration pressed = rig.clock.now();
    rig.download->sendFromStep60();
    EXPECT_FALSE(rig.window.mainButtonsEnabled);
    EXPECT_FALSE(rig.window.tablesEnabled);
    EXPECT_TRUE(rig.window.progress.shown);
    EXPECT_EQ(rig.window.progress.caption, "Down_loading");
    EXPECT_EQ(rig.window.progress.maximum, 1010);
    ASSERT_TRUE(rig.runToEnd());
    const std::vector<Cut> order = [] {
        std::vector<Cut> o{kThrottleLimit, kEtc, kSetpoints};
        const auto rest = fromHardware(true);
        o.insert(o.end(), rest.begin(), rest.end());
        return o;
    }();
    EXPECT_EQ(rig.port->writes().front().at, pressed + 50ms);
    EXPECT_EQ(rig.blockWrites(), expectedFrames(rig.image, order));
    EXPECT_EQ(rig.conversation().substr(0, 2), "ER");
    EXPECT_TRUE(rig.window.mainButtonsEnabled);
    EXPECT_TRUE(rig.window.tablesEnabled);
    EXPECT_FALSE(rig.window.progress.shown);
}

TEST(DownloadShort, WriteResponseGroupSendsAtOnceThenRunsOnFromStep60) {
    Rig rig;
    rig.connect();
    fillImage(rig.image);
    ASSERT_TRUE(rig.image.setValue("throttle_response_type_1", 2));
    ASSERT_TRUE(rig.image.setValue("throttle_response_curve_2_acc_limiter", 12.5));
    rig.download->writeResponseGroup();
    ASSERT_EQ(rig.eCount(), 1u);
    EXPECT_EQ(rig.download->sequenceState(), 50);
    ASSERT_TRUE(rig.runToEnd());
    std::vector<Cut> order{kResponseGroup, kThrottleLimit, kEtc, kSetpoints};
    const auto rest = fromHardware(true);
    order.insert(order.end(), rest.begin(), rest.end());
    EXPECT_EQ(rig.blockWrites(), expectedFrames(rig.image, order));
    const Bytes group = frameAt(rig.blockWrites(), 22);
    ASSERT_EQ(group.size(), 10u);
    EXPECT_EQ(group[5], 2);   // type 1: "User defined"
    EXPECT_EQ(group[8], 25);  // acc limiter 2 x 2
    // Response group, max_PWM and idle start each hide the Edit menu when they complete.
    EXPECT_EQ(rig.editMenuHidden, 3);
    EXPECT_EQ(rig.conversation().substr(0, 2), "ER");
}

TEST(DownloadShort, SingleFrameWritesThenClose) {
    struct Case {
        const char* name;
        void (Download::*operation)();
        Cut cut;
    };
    const Case cases[] = {
        {"response group", &Download::writeResponseGroupAndClose, kResponseGroup},
        {"idle start", &Download::writeIdleStartAndClose, kIdleStart},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.connect();
        fillImage(rig.image);
        (rig.download.get()->*c.operation)();
        EXPECT_EQ(rig.eCount(), 1u);
        ASSERT_TRUE(rig.runToEnd());
        const auto expected = expectedFrames(rig.image, {c.cut});
        EXPECT_EQ(rig.blockWrites(), expected);
        EXPECT_EQ(rig.conversation().substr(0, 2), "ER");
        EXPECT_EQ(rig.editMenuHidden, 1);
        expectMemoryHolds(rig, expected);
    }
}

TEST(DownloadShort, IdleStartIsNotWrittenToSettingsWithoutIdleBlocks) {
    Rig rig("1EA1AA1AA", "1EA1AA1AA");
    rig.connect();
    rig.download->writeIdleStartAndClose();
    rig.clock.advance(1s);
    EXPECT_EQ(rig.eCount(), 0u);
    EXPECT_EQ(rig.download->sequenceState(), 0);
}

TEST(DownloadShort, CalibrationResultWritesEtcBlockAndPwmThenCloses) {
    Rig rig;
    rig.connect();
    fillImage(rig.image);
    ASSERT_TRUE(rig.image.setValue("Max_value_TPS1", 4321));
    const link::Duration entered = rig.clock.now();
    rig.download->writeCalibrationResult();
    EXPECT_EQ(rig.download->sequenceState(), 205);
    EXPECT_FALSE(rig.window.optionsCancelEnabled);
    ASSERT_TRUE(rig.runToEnd());
    EXPECT_EQ(rig.port->writes().front().at, entered + 50ms);
    EXPECT_EQ(rig.blockWrites(), expectedFrames(rig.image, {kEtc, kPwm}));
    // Max_value_TPS1 is ETC bytes 38-39: bytes 16-17 of the second frame, after letter, length and address.
    const Bytes second = frameAt(rig.blockWrites(), 46);
    ASSERT_EQ(second.size(), 42u);
    EXPECT_EQ(second[5 + 16], 0x10);
    EXPECT_EQ(second[5 + 17], 0xE1);
    EXPECT_EQ(rig.module->memory()[35 + 19], 4321);
    EXPECT_EQ(rig.steps, (std::vector<int>{205, 206, 207, 200}));
    EXPECT_EQ(rig.conversation().substr(0, 2), "ER");
}

TEST(DownloadShort, FirstEtcFrameAloneWhileIdle) {
    Rig rig;
    rig.connect();
    ASSERT_TRUE(rig.image.setValue("P_versterking", 2.5));
    ASSERT_TRUE(rig.image.setValue("ResetDiff", 7.5));
    ASSERT_TRUE(rig.image.setValue("PulsSampleTime", 99));  // frame 2: must not go out
    rig.engine->stopPolling();                              // the Options window is open
    rig.download->writeFirstEtcFrame();
    EXPECT_FALSE(rig.window.optionsCancelEnabled);
    rig.clock.advance(2s);
    ASSERT_EQ(rig.letters(), "E");
    const Bytes etc = rig.image.encode(Block::Etc);
    const Bytes data(etc.begin(), etc.begin() + 22);
    EXPECT_EQ(rig.blockWrites().front(), eFrame(35, data));
    EXPECT_EQ(rig.module->memory()[35], 250);
    EXPECT_EQ(rig.module->memory()[45], 15);
    EXPECT_EQ(rig.module->memory()[46], kUntouched);
    EXPECT_EQ(rig.download->sequenceState(), 0);
    EXPECT_EQ(rig.ended, 0);
}

// -------------------------------------------------------------------------------------------------
// The link lost half-way

TEST(DownloadAbandoned, OfflineMidSequenceWarnsAndStopsTheSequence) {
    const std::string kIncomplete =
        "The download did not complete.\r\nThe module may now hold a mix of old and new settings.\r\n"
        "Download again, or upload to see what the module holds.";
    struct Case {
        const char* name;
        std::vector<std::string> faults;
        bool failWriteAtRpm;
        std::vector<std::string> texts;
    };
    const std::vector<Case> cases = {
        {"six refusals",
         {"nak:E:10", "nak:E:11", "nak:E:12", "nak:E:13", "nak:E:14", "nak:E:15"},
         false,
         {kIncomplete}},
        {"adapter unplugged", {"unplug:E:10"}, false, {kIncomplete, "USB Communicatie Error"}},
        {"write fails", {}, true, {kIncomplete, "USB Communicatie Error"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig("1EA1AB1AA", "1EA1AB1AA", c.faults);
        if (c.failWriteAtRpm)
            rig.download->stepStarted = [&rig](int s) {
                if (s == 100)
                    rig.port->setWriteFails(true);
            };
        int stateWhenAsked = -1;
        rig.prompter.whileOpen = [&] {
            if (rig.prompter.shown.back().text == kIncomplete)
                stateWhenAsked = rig.engine->sequenceState();
            rig.clock.advance(500ms);
        };
        rig.download->start();
        ASSERT_TRUE(rig.runToEnd());
        EXPECT_EQ(rig.abandoned, 1);
        EXPECT_EQ(rig.ended, 0);
        EXPECT_EQ(rig.prompter.texts(), c.texts);
        EXPECT_EQ(rig.prompter.shown.front().kind, link::MessageKind::Warning);
        EXPECT_EQ(rig.prompter.shown.front().buttons, link::ButtonSet::Ok);
        EXPECT_EQ(stateWhenAsked, 0);
        EXPECT_FALSE(rig.engine->online());
        EXPECT_EQ(rig.download->sequenceState(), 0);
        EXPECT_TRUE(rig.download->incomplete());
        EXPECT_FALSE(rig.download->running());
        EXPECT_FALSE(rig.window.progress.shown);
        EXPECT_FALSE(rig.engine->sequenceTimer().isActive());

        // Even a late acknowledgement finds nothing to continue.
        const std::size_t writes = rig.port->writes().size();
        rig.engine->setContinue(true);
        rig.engine->sequenceTimer().start();
        rig.clock.advance(1s);
        EXPECT_EQ(rig.port->writes().size(), writes);
        EXPECT_EQ(rig.abandoned, 1);

        // The next operation starts clean.
        rig.port->replug();
        rig.port->setWriteFails(false);
        rig.module->replug();
        rig.module->clearFaults();
        rig.download->stepStarted = nullptr;
        rig.download->start();
        EXPECT_FALSE(rig.download->incomplete());
        ASSERT_TRUE(rig.clock.runUntil([&] { return rig.ended > 0; }, 20s));
        expectMemoryHolds(rig, expectedFrames(rig.image, fullOrder(true)));
    }
}

TEST(DownloadAbandoned, LostBeforeAnyBlockWriteSaysNothingMore) {
    Rig rig("1EA1AB1AA", "1EA1AB1AA",
            {"drop:V:1", "drop:V:2", "drop:V:3", "drop:V:4", "drop:V:5", "drop:V:6"});
    rig.download->start();
    ASSERT_TRUE(rig.clock.runUntil([&] { return !rig.engine->online(); }, 10s));
    EXPECT_TRUE(rig.prompter.shown.empty());
    EXPECT_EQ(rig.abandoned, 0);
    EXPECT_FALSE(rig.download->incomplete());
    EXPECT_FALSE(rig.download->running());
    EXPECT_FALSE(rig.window.progress.shown);
    EXPECT_EQ(rig.letters(), "VVVVVV");
}

// -------------------------------------------------------------------------------------------------
// Hooks

TEST(DownloadHooks, HooksSetBeforeAreStillCalledAndComeBackAfterwards) {
    Rig rig;
    rig.download.reset();
    std::vector<std::string> calls;
    auto& h = rig.engine->hooks();
    h.sequenceState = [&](int s) { calls.push_back("state " + std::to_string(s)); };
    h.downloadDone = [&] { calls.emplace_back("done"); };
    h.gaveUp = [&] { calls.emplace_back("gave up"); };
    h.onlineChanged = [&](bool on) { calls.emplace_back(on ? "online" : "offline"); };
    rig.download = std::make_unique<Download>(*rig.engine, rig.image, rig.rules, rig.window, rig.prompter);
    rig.download->ended = [&] { ++rig.ended; };

    // A state of the edit runs goes to the hook that was there; the download's own states do not.
    rig.engine->setSequenceState(402);
    rig.engine->setContinue(true);
    rig.engine->sequenceTimer().start();
    rig.clock.advance(60ms);
    EXPECT_EQ(calls, std::vector<std::string>{"state 402"});

    calls.clear();
    rig.download->start();
    ASSERT_TRUE(rig.runToEnd());
    EXPECT_EQ(calls, std::vector<std::string>{"done"});

    calls.clear();
    // The module stops answering polls: the sixth count takes the tool offline.
    for (int n = rig.module->requestCount('*') + 1; n < rig.module->requestCount('*') + 100; ++n)
        rig.module->addFault({sim::FaultKind::Drop, '*', n, {}});
    ASSERT_TRUE(rig.clock.runUntil([&] { return !rig.engine->online(); }, 10s));
    EXPECT_EQ(calls, (std::vector<std::string>{"offline", "gave up"}));
    EXPECT_TRUE(rig.prompter.shown.empty());

    rig.download.reset();
    calls.clear();
    h.sequenceState(30);
    EXPECT_EQ(calls, std::vector<std::string>{"state 30"});
}

}  // namespace
