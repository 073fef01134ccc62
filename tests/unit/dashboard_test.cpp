#include "live/dashboard.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/codec.h"
#include "settings/settings_image.h"

namespace etc::live {
namespace {

using Frame = std::array<std::uint8_t, link::kLiveFrameLength>;

constexpr std::size_t kOffEngineSpeed = 1;
constexpr std::size_t kOffPedal1 = 3;
constexpr std::size_t kOffPedal1mV = 5;
constexpr std::size_t kOffPedal2mV = 7;
constexpr std::size_t kOffThrottle1 = 9;
constexpr std::size_t kOffThrottle1mV = 11;
constexpr std::size_t kOffBattery = 13;
constexpr std::size_t kOffThrottle2mV = 15;
constexpr std::size_t kOffWaterTemp = 29;
constexpr std::size_t kOffPedal1GreenEnd = 35;
constexpr std::size_t kOffPedal2 = 37;
constexpr std::size_t kOffPedal2GreenEnd = 39;
constexpr std::size_t kOffThrottle2 = 41;
constexpr std::size_t kOffStatus = 43;

// A live frame with the given words (offset, value) and zeros elsewhere, through the real decoder.
LiveFrame frameOf(std::initializer_list<std::pair<std::size_t, std::uint16_t>> words) {
    Frame bytes{};
    bytes[0] = '*';
    for (const auto& [offset, value] : words) {
        bytes[offset] = static_cast<std::uint8_t>(value >> 8);
        bytes[offset + 1] = static_cast<std::uint8_t>(value & 0xFF);
    }
    const std::optional<LiveFrame> frame = decodeLiveFrame(bytes);
    EXPECT_TRUE(frame.has_value());
    return frame.value_or(LiveFrame{});
}

LiveFrame statusFrame(std::uint16_t status) {
    return frameOf({{kOffStatus, status}});
}

// A frame in which every value text differs from "0".
LiveFrame busyFrame() {
    return frameOf({{kOffEngineSpeed, 350},
                    {kOffPedal1, 41},
                    {kOffPedal1mV, 1234},
                    {kOffPedal2mV, 2345},
                    {kOffThrottle1, 77},
                    {kOffThrottle1mV, 3456},
                    {kOffBattery, 18},
                    {kOffThrottle2mV, 4321},
                    {17, 5},
                    {19, 12},
                    {21, 100},
                    {23, 200},
                    {25, 9},
                    {27, 2},
                    {kOffWaterTemp, 100},
                    {31, 60},
                    {33, 11},
                    {47, 13},
                    {kOffStatus, 0x0015}});
}

std::array<std::uint32_t, kLampCount> allLamps(std::uint32_t colour) {
    std::array<std::uint32_t, kLampCount> lamps{};
    lamps.fill(colour);
    return lamps;
}

// Counts the change notifications.
struct ChangeCounter {
    int count = 0;
    explicit ChangeCounter(Dashboard& d) {
        d.changed = [this] { ++count; };
    }
};

// ---- Start and online / offline ----

TEST(DashboardStart, OnlineWithDisabledZeroValuesAndBlackLamps) {
    const Dashboard d;
    EXPECT_TRUE(d.online());
    EXPECT_EQ(d.fillColours(), (FillColours{15329252, 12632256}));
    EXPECT_TRUE(d.panelsVisible());
    EXPECT_FALSE(d.offlineTextsVisible());
    EXPECT_FALSE(d.valueDisplayEnabled());
    EXPECT_EQ(d.valueTextColour(), kValueTextDisabledColour);
    EXPECT_EQ(d.valueTexts(), resetValueTexts());
    EXPECT_EQ(d.engineSpeedPointSize(), 32);
    EXPECT_EQ(d.lampColours(), allLamps(kLampBlack));
    EXPECT_FALSE(d.powerInterruptedPanelShown());
    EXPECT_EQ(d.powerInterruptedFocusRequests(), 0u);
    EXPECT_FALSE(d.calibrationViewOpen());
}

TEST(DashboardOnline, GoingOfflineShowsTheOfflineLook) {
    Dashboard d;
    d.showLiveFrame(busyFrame(), '.');
    ASSERT_TRUE(d.valueDisplayEnabled());
    ASSERT_NE(d.valueText(DashboardValue::EngineSpeed), "0");

    d.setOnline(false);
    EXPECT_FALSE(d.online());
    EXPECT_EQ(d.fillColours(), (FillColours{4342527, 255}));
    EXPECT_FALSE(d.panelsVisible());
    EXPECT_TRUE(d.offlineTextsVisible());
    EXPECT_FALSE(d.valueDisplayEnabled());
    EXPECT_EQ(d.valueTextColour(), 0xC0C0C0u);
    EXPECT_EQ(d.valueTexts(), resetValueTexts());
    EXPECT_EQ(d.lampColours(), allLamps(kLampBlack));
}

TEST(DashboardOnline, GoingOnlineShowsPanelsButLeavesTheValuesDisabled) {
    Dashboard d;
    d.setOnline(false);
    d.setOnline(true);
    EXPECT_TRUE(d.online());
    EXPECT_EQ(d.fillColours(), (FillColours{kOnlineFill, kOnlineFillTo}));
    EXPECT_TRUE(d.panelsVisible());
    EXPECT_FALSE(d.offlineTextsVisible());
    EXPECT_FALSE(d.valueDisplayEnabled());
    EXPECT_EQ(d.valueTexts(), resetValueTexts());
    EXPECT_EQ(d.lampColours(), allLamps(kLampBlack));
}

TEST(DashboardOnline, GoingOnlineKeepsADisplayTheCallerEnabled) {
    Dashboard d;
    d.setOnline(false);
    d.enableValueDisplay(true);
    d.setOnline(true);
    EXPECT_TRUE(d.valueDisplayEnabled());
    EXPECT_EQ(d.lampColours(), allLamps(kLampGrey));
}

TEST(DashboardOnline, OfflineTextsAreTheSystemsOwn) {
    EXPECT_EQ(kPressF10Text, "Press F10 for online");
    EXPECT_EQ(kCommunicationOfflineText, "communication is offline");
    EXPECT_EQ(kDashboardPanel, "Panel_dashbord");
}

TEST(DashboardOnline, NotifiesOnlyWhenTheStateChanges) {
    Dashboard d;
    ChangeCounter counter(d);
    d.setOnline(true);  // already online
    EXPECT_EQ(counter.count, 0);
    d.setOnline(false);
    EXPECT_EQ(counter.count, 1);
    d.setOnline(false);
    EXPECT_EQ(counter.count, 1);
    d.setOnline(true);
    EXPECT_EQ(counter.count, 2);
}

// ---- Value display ----

TEST(DashboardValueDisplay, EnableAndDisableSetColourAndLamps) {
    struct Case {
        bool enable;
        std::uint32_t textColour;
        std::uint32_t lamp;
    };
    const std::vector<Case> cases{{true, 0x00FFFF, 8421504}, {false, 0xC0C0C0, 0}, {true, 0x00FFFF, 8421504}};
    Dashboard d;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.enable);
        d.enableValueDisplay(c.enable);
        EXPECT_EQ(d.valueDisplayEnabled(), c.enable);
        EXPECT_EQ(d.valueTextColour(), c.textColour);
        EXPECT_EQ(d.lampColours(), allLamps(c.lamp));
    }
}

TEST(DashboardValueDisplay, EnablingOverridesLitLampsWithGrey) {
    Dashboard d;
    d.showLiveFrame(statusFrame(0x07FF), '.');
    d.enableValueDisplay(false);
    d.enableValueDisplay(true);
    EXPECT_EQ(d.lampColours(), allLamps(kLampGrey));
}

TEST(DashboardValueDisplay, ResetWritesZeroIntoAllEighteenTexts) {
    Dashboard d;
    d.showLiveFrame(busyFrame(), '.');
    ChangeCounter counter(d);
    d.showLiveFrame(frameOf({{kOffEngineSpeed, 1000}}), '.');
    d.resetValues();
    ASSERT_EQ(d.valueTexts().size(), 18u);
    for (const std::string& text : d.valueTexts()) {
        EXPECT_EQ(text, "0");
    }
    EXPECT_EQ(counter.count, 2);
    EXPECT_EQ(d.engineSpeedPointSize(), 26) << "the last frame's point size stays";
    EXPECT_TRUE(d.valueDisplayEnabled()) << "reset touches the texts only";
}

// ---- Live frames ----

TEST(DashboardLiveFrame, FirstFrameEnablesTheDisplay) {
    Dashboard d;
    ChangeCounter counter(d);
    d.showLiveFrame(frameOf({}), '.');
    EXPECT_TRUE(d.valueDisplayEnabled());
    EXPECT_EQ(d.valueTextColour(), kValueTextEnabledColour);
    EXPECT_EQ(d.lampColours(), allLamps(kLampBlack)) << "status 0 turns the grey lamps black";
    EXPECT_EQ(counter.count, 1);
}

TEST(DashboardLiveFrame, WritesTheTextsOfTheFrame) {
    Dashboard d;
    const LiveFrame frame = busyFrame();
    d.showLiveFrame(frame, ',');
    EXPECT_EQ(d.valueTexts(), dashboardTexts(frame, ',').values);
    EXPECT_EQ(d.valueText(DashboardValue::EngineSpeed), "3500");
    EXPECT_EQ(d.valueText(DashboardValue::Pedal1), "20,5");
    EXPECT_EQ(d.valueText(DashboardValue::Battery), "12,5");
    EXPECT_EQ(d.valueText(DashboardValue::WaterTemp), "80,0");
    EXPECT_EQ(d.valueText(DashboardValue::VarAls), "6,5");
}

TEST(DashboardLiveFrame, EngineSpeedPointSize) {
    struct Case {
        std::uint16_t raw;
        const char* text;
        int pointSize;
    };
    const std::vector<Case> cases{{999, "9990", 32}, {1000, "10000", 26}, {0, "0", 32}, {6553, "65530", 26}};
    Dashboard d;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raw);
        d.showLiveFrame(frameOf({{kOffEngineSpeed, c.raw}}), '.');
        EXPECT_EQ(d.valueText(DashboardValue::EngineSpeed), c.text);
        EXPECT_EQ(d.engineSpeedPointSize(), c.pointSize);
    }
}

TEST(DashboardLiveFrame, WaterTemperatureLimits) {
    struct Case {
        std::uint16_t raw;
        const char* text;
    };
    const std::vector<Case> cases{
        {0x0014, "0.0"}, {0x0000, "-20.0"}, {0x009B, "135.0"}, {0x009C, "---"}, {0x8001, "---"}};
    Dashboard d;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raw);
        d.showLiveFrame(frameOf({{kOffWaterTemp, c.raw}}), '.');
        EXPECT_EQ(d.valueText(DashboardValue::WaterTemp), c.text);
    }
}

// ---- Lamps and the power-interruption panel ----

TEST(DashboardLamps, StatusWords) {
    const std::uint32_t G = kLampGreen;
    const std::uint32_t B = kLampBlack;
    struct Case {
        const char* name;
        std::uint16_t status;
        std::array<std::uint32_t, kLampCount> lamps;
        bool panel;
    };
    const std::vector<Case> cases{
        {"08 00: power panel, all lamps black", 0x0800, allLamps(B), true},
        {"07 FF: all eleven lit, no panel", 0x07FF, allLamps(G), false},
        {"0F FF: all eleven lit and the panel", 0x0FFF, allLamps(G), true},
        {"00 00: all black", 0x0000, allLamps(B), false},
        {"F0 00: unused bits only", 0xF000, allLamps(B), false},
        {"F7 FF: as 07 FF", 0xF7FF, allLamps(G), false},
        {"F8 00: as 08 00", 0xF800, allLamps(B), true},
        {"05 2A: alternate lamps", 0x052A, {B, G, B, G, B, G, B, B, G, B, G}, false},
    };
    Dashboard d;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        d.showLiveFrame(statusFrame(c.status), '.');
        EXPECT_EQ(d.lampColours(), c.lamps);
        EXPECT_EQ(d.powerInterruptedPanelShown(), c.panel);
    }
}

TEST(DashboardLamps, EachBitLightsOnlyItsLamp) {
    Dashboard d;
    for (std::size_t bit = 0; bit < kLampCount; ++bit) {
        SCOPED_TRACE(kLampNames[bit]);
        d.showLiveFrame(statusFrame(static_cast<std::uint16_t>(1u << bit)), '.');
        for (std::size_t lamp = 0; lamp < kLampCount; ++lamp) {
            EXPECT_EQ(d.lampColour(static_cast<Lamp>(lamp)), lamp == bit ? kLampGreen : kLampBlack) << lamp;
        }
    }
}

TEST(DashboardLamps, HighBitsBehaveAsTheWordWithoutThem) {
    for (std::uint32_t low = 0; low < 0x1000; low += 0x0123) {
        for (std::uint32_t high : {0x1000u, 0x2000u, 0x4000u, 0x8000u, 0xF000u}) {
            Dashboard plain;
            Dashboard withHigh;
            plain.showLiveFrame(statusFrame(static_cast<std::uint16_t>(low)), '.');
            withHigh.showLiveFrame(statusFrame(static_cast<std::uint16_t>(low | high)), '.');
            EXPECT_EQ(withHigh.lampColours(), plain.lampColours()) << low << " " << high;
            EXPECT_EQ(withHigh.powerInterruptedPanelShown(), plain.powerInterruptedPanelShown());
            EXPECT_EQ(withHigh.powerInterruptedFocusRequests(), plain.powerInterruptedFocusRequests());
        }
    }
}

TEST(DashboardLamps, LabelsBesideTheLamps) {
    EXPECT_EQ(Dashboard::lampLabel(Lamp::DigitalInput1), "Digital input 1");
    EXPECT_EQ(Dashboard::lampLabel(Lamp::DigitalInput3), "Digital input 3");
    EXPECT_EQ(Dashboard::lampLabel(Lamp::CanInput), "CAN input");
    EXPECT_EQ(Dashboard::lampLabel(Lamp::HighIdle), "High Idle");
    EXPECT_EQ(Dashboard::lampLabel(Lamp::Airco), "Airco");
}

TEST(DashboardPowerPanel, EveryFrameWithTheBitAsksForTheFocusAgain) {
    Dashboard d;
    ChangeCounter counter(d);
    d.showLiveFrame(statusFrame(0x0800), '.');
    EXPECT_TRUE(d.powerInterruptedPanelShown());
    EXPECT_EQ(d.powerInterruptedFocusRequests(), 1u);
    d.showLiveFrame(statusFrame(0x0800), '.');
    EXPECT_EQ(d.powerInterruptedFocusRequests(), 2u);
    EXPECT_EQ(counter.count, 2) << "an identical frame still moves the focus";

    d.showLiveFrame(statusFrame(0x0000), '.');
    EXPECT_FALSE(d.powerInterruptedPanelShown());
    EXPECT_EQ(d.powerInterruptedFocusRequests(), 2u);
    d.showLiveFrame(statusFrame(0x0000), '.');
    EXPECT_EQ(counter.count, 3) << "a frame that changes nothing notifies nobody";
}

TEST(DashboardPowerPanel, GoingOfflineLeavesThePanelAsItIs) {
    Dashboard d;
    d.showLiveFrame(statusFrame(0x0800), '.');
    d.setOnline(false);
    EXPECT_TRUE(d.powerInterruptedPanelShown());
    EXPECT_EQ(d.powerInterruptedFocusRequests(), 1u);
}

// ---- Calibration view ----

// Gauge values in 0.5 % steps with the whole percent they show (halves to even), and four voltages.
LiveFrame calibrationFrame() {
    return frameOf({{kOffPedal1, 5},           // 2.5 -> 2
                    {kOffPedal1GreenEnd, 7},   // 3.5 -> 4
                    {kOffPedal2, 200},         // 100
                    {kOffPedal2GreenEnd, 11},  // 5.5 -> 6
                    {kOffThrottle1, 9},        // 4.5 -> 4
                    {kOffThrottle2, 3},        // 1.5 -> 2
                    {kOffPedal1mV, 512},
                    {kOffPedal2mV, 4095},
                    {kOffThrottle1mV, 65535},
                    {kOffThrottle2mV, 1000}});
}

TEST(DashboardCalibrationView, ClosedViewTakesNothingFromTheFrame) {
    Dashboard d;
    ChangeCounter counter(d);
    d.showLiveFrame(frameOf({}), '.');
    const int afterFirst = counter.count;
    d.showLiveFrame(
        frameOf({{kOffPedal1GreenEnd, 33}, {kOffPedal2, 44}, {kOffPedal2GreenEnd, 55}, {kOffThrottle2, 66}}),
        '.');
    EXPECT_EQ(d.calibrationView(), CalibrationView{});
    EXPECT_EQ(counter.count, afterFirst) << "offsets 35..42 alone change nothing visible";
}

TEST(DashboardCalibrationView, OpenViewTakesVoltagesAndGaugesHalvesToEven) {
    Dashboard d;
    d.setCalibrationViewOpen(true);
    d.showLiveFrame(calibrationFrame(), '.');
    const CalibrationView& c = d.calibrationView();
    EXPECT_EQ(c.pedal1mV, "512");
    EXPECT_EQ(c.pedal2mV, "4095");
    EXPECT_EQ(c.throttle1mV, "65535");
    EXPECT_EQ(c.throttle2mV, "1000");
    EXPECT_EQ(c.throttle1mV, d.valueText(DashboardValue::Throttle1mV));
    EXPECT_EQ(c.pedal1, 2);
    EXPECT_EQ(c.pedal1GreenEnd, 4);
    EXPECT_EQ(c.pedal2, 100);
    EXPECT_EQ(c.pedal2GreenEnd, 6);
    EXPECT_EQ(c.throttle1, 4);
    EXPECT_EQ(c.throttle2, 2);
}

TEST(DashboardCalibrationView, GaugeRoundingTable) {
    struct Case {
        std::uint16_t raw;
        int gauge;
    };
    const std::vector<Case> cases{{0, 0}, {1, 0}, {2, 1},     {3, 2},     {4, 2},        {5, 2},
                                  {6, 3}, {7, 4}, {199, 100}, {201, 100}, {65535, 32768}};
    Dashboard d;
    d.setCalibrationViewOpen(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raw);
        d.showLiveFrame(frameOf({{kOffPedal1, c.raw}}), '.');
        EXPECT_EQ(d.calibrationView().pedal1, c.gauge);
    }
}

TEST(DashboardCalibrationView, ClosingKeepsTheLastValues) {
    Dashboard d;
    d.setCalibrationViewOpen(true);
    d.showLiveFrame(calibrationFrame(), '.');
    const CalibrationView shown = d.calibrationView();
    d.setCalibrationViewOpen(false);
    d.showLiveFrame(frameOf({{kOffPedal1, 100}, {kOffPedal1mV, 1}}), '.');
    EXPECT_EQ(d.calibrationView(), shown);
}

// ---- Digital-input labels ----

TEST(DashboardInputLabels, CanInputShowsDotsAndDigitalInputsNothingBeforeARefresh) {
    const Dashboard d;
    EXPECT_EQ(d.secondLabels(), (std::array<std::string, kInputLabelCount>{"", "", "", "...."}));
}

TEST(DashboardInputLabels, FromTheHardwareSettings) {
    struct Case {
        std::size_t input;  // 0..2
        double index;
        const char* caption;
    };
    const std::vector<Case> cases{
        {0, 0, "None"},
        {0, 7, "Resp. curve 2"},
        {1, 7, "Resp. curve 2"},
        {2, 7, "Resp. curve 2"},
        {1, 3, "Airco correction"},
        {2, 6, "Throttle limit"},
        {2, 8, "RPM input"},
        {0, 1, "ALS activation"},
        {0, 12, "Resp. curve 2"},  // beyond the last item: the last item
        {2, 12, "RPM input"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.input) + " " + std::to_string(c.index));
        settings::SettingsImage image;
        ASSERT_TRUE(image.setValue(kDigitalInputSettings[c.input], c.index));
        Dashboard d;
        d.refreshDigitalInputLabels(image);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(d.secondLabels()[i], i == c.input ? c.caption : "None") << i;
        }
        EXPECT_EQ(d.secondLabels()[kCanInputLabel], "....");
    }
}

TEST(DashboardInputLabels, RefreshFollowsLaterChangesAndNotifies) {
    settings::SettingsImage image;
    Dashboard d;
    ChangeCounter counter(d);
    d.refreshDigitalInputLabels(image);
    EXPECT_EQ(counter.count, 1);
    ASSERT_TRUE(image.setValue("hardware_settings_digital_input_2", 4));
    EXPECT_EQ(d.secondLabels()[1], "None") << "only a refresh takes the settings over";
    d.refreshDigitalInputLabels(image);
    EXPECT_EQ(d.secondLabels()[1], "High idle");
    EXPECT_EQ(counter.count, 2);
    d.refreshDigitalInputLabels(image);
    EXPECT_EQ(counter.count, 2);
}

TEST(DashboardInputLabels, SecondLabelNames) {
    EXPECT_EQ(kDigitalInputSecondLabelNames[0], "Label_Digital_input_txt_2_1");
    EXPECT_EQ(kDigitalInputSecondLabelNames[2], "Label_Digital_input_txt_2_3");
}

}  // namespace
}  // namespace etc::live
