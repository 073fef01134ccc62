#include "live/live_frame.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/codec.h"

namespace etc::live {
namespace {

using Frame = std::array<std::uint8_t, link::kLiveFrameLength>;

Frame emptyFrame() {
    Frame f{};
    f[0] = '*';
    return f;
}

Frame frameWith(std::size_t offset, std::uint8_t hi, std::uint8_t lo) {
    Frame f = emptyFrame();
    f[offset] = hi;
    f[offset + 1] = lo;
    return f;
}

LiveFrame decoded(const Frame& f) {
    const std::optional<LiveFrame> frame = decodeLiveFrame(f);
    EXPECT_TRUE(frame.has_value());
    return frame.value_or(LiveFrame{});
}

// ---- Decoding ----

enum class Enc { U16, I16, SM16 };

struct FieldRow {
    const char* name;
    std::size_t offset;
    Enc encoding;
    std::function<long(const LiveFrame&)> get;
};

// Every raw field with the offset and encoding of its word.
const std::vector<FieldRow>& allFields() {
    static const std::vector<FieldRow> rows{
        {"engineSpeed", 1, Enc::U16, [](const LiveFrame& f) { return f.engineSpeed; }},
        {"pedal1", 3, Enc::U16, [](const LiveFrame& f) { return f.pedal1; }},
        {"pedal1mV", 5, Enc::U16, [](const LiveFrame& f) { return f.pedal1mV; }},
        {"pedal2mV", 7, Enc::U16, [](const LiveFrame& f) { return f.pedal2mV; }},
        {"throttle1", 9, Enc::U16, [](const LiveFrame& f) { return f.throttle1; }},
        {"throttle1mV", 11, Enc::U16, [](const LiveFrame& f) { return f.throttle1mV; }},
        {"battery", 13, Enc::U16, [](const LiveFrame& f) { return f.battery; }},
        {"throttle2mV", 15, Enc::U16, [](const LiveFrame& f) { return f.throttle2mV; }},
        {"throttleCorrection", 17, Enc::I16, [](const LiveFrame& f) { return f.throttleCorrection; }},
        {"motorCurrent", 19, Enc::U16, [](const LiveFrame& f) { return f.motorCurrent; }},
        {"pidCorrection", 21, Enc::I16, [](const LiveFrame& f) { return f.pidCorrection; }},
        {"pwm", 23, Enc::I16, [](const LiveFrame& f) { return f.pwm; }},
        {"loadInput", 25, Enc::U16, [](const LiveFrame& f) { return f.loadInput; }},
        {"responseCurve", 27, Enc::U16, [](const LiveFrame& f) { return f.responseCurve; }},
        {"waterTemp", 29, Enc::SM16, [](const LiveFrame& f) { return f.waterTemp; }},
        {"etcTemp", 31, Enc::SM16, [](const LiveFrame& f) { return f.etcTemp; }},
        {"varLaunch", 33, Enc::U16, [](const LiveFrame& f) { return f.varLaunch; }},
        {"pedal1GreenEnd", 35, Enc::U16, [](const LiveFrame& f) { return f.pedal1GreenEnd; }},
        {"pedal2", 37, Enc::U16, [](const LiveFrame& f) { return f.pedal2; }},
        {"pedal2GreenEnd", 39, Enc::U16, [](const LiveFrame& f) { return f.pedal2GreenEnd; }},
        {"throttle2", 41, Enc::U16, [](const LiveFrame& f) { return f.throttle2; }},
        {"status", 43, Enc::U16, [](const LiveFrame& f) { return f.status; }},
        {"calibrationStatus", 45, Enc::U16, [](const LiveFrame& f) { return f.calibrationStatus; }},
        {"varAls", 47, Enc::U16, [](const LiveFrame& f) { return f.varAls; }},
        {"errorWord1", 58, Enc::U16, [](const LiveFrame& f) { return f.errorWords[0]; }},
        {"errorWord2", 60, Enc::U16, [](const LiveFrame& f) { return f.errorWords[1]; }},
        {"errorWord3", 62, Enc::U16, [](const LiveFrame& f) { return f.errorWords[2]; }},
    };
    return rows;
}

// 81 2C reads differently in each encoding and backwards (2C 81 = 11393), so a field that takes the
// wrong word, the wrong byte order or the wrong encoding shows up.
TEST(LiveFrameDecode, EachWordLandsInItsOwnFieldWithItsEncoding) {
    for (const FieldRow& row : allFields()) {
        SCOPED_TRACE(row.name);
        const LiveFrame f = decoded(frameWith(row.offset, 0x81, 0x2C));
        const long expected = row.encoding == Enc::U16 ? 33068 : row.encoding == Enc::I16 ? -32468 : -300;
        EXPECT_EQ(row.get(f), expected);
        for (const FieldRow& other : allFields()) {
            if (other.offset != row.offset) {
                EXPECT_EQ(other.get(f), 0) << other.name << " also read offset " << row.offset;
            }
        }
    }
}

TEST(LiveFrameDecode, UnusedBytesLetterAndChecksumAffectNoField) {
    Frame f = emptyFrame();
    f[0] = 'X';
    for (std::size_t i = 49; i < 58; ++i) {
        f[i] = 0xFF;
    }
    f[64] = 0xFF;
    f[65] = 0xA5;  // not the Sum8 of the frame: checking it is the engine's job
    const LiveFrame frame = decoded(f);
    for (const FieldRow& row : allFields()) {
        EXPECT_EQ(row.get(frame), 0) << row.name;
    }
}

TEST(LiveFrameDecode, RejectsAnyLengthButSixtySix) {
    for (std::size_t length : {0u, 1u, 65u, 67u, 132u}) {
        const std::vector<std::uint8_t> bytes(length, 0);
        EXPECT_FALSE(decodeLiveFrame(bytes).has_value()) << length;
    }
    const std::vector<std::uint8_t> exact(66, 0);
    EXPECT_TRUE(decodeLiveFrame(exact).has_value());
}

// ---- Value texts ----

struct TextCase {
    const char* name;
    DashboardValue value;
    std::size_t offset;
    std::uint8_t hi;
    std::uint8_t lo;
    const char* expected;
};
// Names the case in test output instead of dumping its bytes.
void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.name;
}

class LiveDashboardText : public ::testing::TestWithParam<TextCase> {};

// Apart from the value under test, every text must stay what an all-zero frame shows: that catches
// a value written into the wrong label.
TEST_P(LiveDashboardText, ShowsValueInItsLabelOnly) {
    const TextCase& c = GetParam();
    const DashboardTexts zero = dashboardTexts(decoded(emptyFrame()), '.');
    const DashboardTexts texts = dashboardTexts(decoded(frameWith(c.offset, c.hi, c.lo)), '.');
    EXPECT_EQ(texts[c.value], c.expected);
    for (std::size_t i = 0; i < kDashboardValueCount; ++i) {
        if (i != static_cast<std::size_t>(c.value)) {
            EXPECT_EQ(texts.values[i], zero.values[i]) << kDashboardFields[i].label;
        }
    }
}

using V = DashboardValue;
INSTANTIATE_TEST_SUITE_P(
    LiveFrames, LiveDashboardText,
    ::testing::Values(TextCase{"water_20_is_0", V::WaterTemp, 29, 0x00, 0x14, "0.0"},
                      TextCase{"water_0_is_minus20", V::WaterTemp, 29, 0x00, 0x00, "-20.0"},
                      TextCase{"water_155_is_135", V::WaterTemp, 29, 0x00, 0x9B, "135.0"},
                      TextCase{"water_156_invalid", V::WaterTemp, 29, 0x00, 0x9C, "---"},
                      TextCase{"water_minus1_invalid", V::WaterTemp, 29, 0x80, 0x01, "---"},
                      TextCase{"water_negative_zero_is_minus20", V::WaterTemp, 29, 0x80, 0x00, "-20.0"},
                      TextCase{"water_big_sign_magnitude_invalid", V::WaterTemp, 29, 0x7F, 0xFF, "---"},
                      TextCase{"etc_temp_21_is_1", V::EtcTemp, 31, 0x00, 0x15, "1.0"},
                      TextCase{"etc_temp_156_invalid", V::EtcTemp, 31, 0x00, 0x9C, "---"},
                      TextCase{"etc_temp_minus1_invalid", V::EtcTemp, 31, 0x80, 0x01, "---"},
                      TextCase{"engine_10000", V::EngineSpeed, 1, 0x03, 0xE8, "10000"},
                      TextCase{"engine_9990", V::EngineSpeed, 1, 0x03, 0xE7, "9990"},
                      TextCase{"engine_100000_scientific", V::EngineSpeed, 1, 0x27, 0x10, "1.0000E+005"},
                      TextCase{"engine_max_scientific", V::EngineSpeed, 1, 0xFF, 0xFF, "6.5535E+005"},
                      TextCase{"battery_18_is_12_5", V::Battery, 13, 0x00, 0x12, "12.5"},
                      TextCase{"battery_half_rounds_away", V::Battery, 13, 0x00, 0x11, "12.3"},
                      TextCase{"battery_12_75", V::Battery, 13, 0x00, 0x13, "12.8"},
                      TextCase{"battery_99_75", V::Battery, 13, 0x01, 0x6F, "99.8"},
                      TextCase{"battery_100_25_three_digits", V::Battery, 13, 0x01, 0x71, "100.0"},
                      TextCase{"battery_999_75_carries_to_scientific", V::Battery, 13, 0x0F, 0x7F,
                               "1.00E+003"},
                      TextCase{"battery_max_scientific", V::Battery, 13, 0xFF, 0xFF, "1.64E+004"},
                      TextCase{"pid_minus28_is_minus1", V::PidCorrection, 21, 0xFF, 0xE4, "-1.0"},
                      TextCase{"pid_14_is_0_5", V::PidCorrection, 21, 0x00, 0x0E, "0.5"},
                      TextCase{"pid_minus1_no_negative_zero", V::PidCorrection, 21, 0xFF, 0xFF, "0.0"},
                      TextCase{"pid_most_negative", V::PidCorrection, 21, 0x80, 0x00, "-1163.2"},
                      TextCase{"pwm_28_is_1", V::Pwm, 23, 0x00, 0x1C, "1.0"},
                      TextCase{"pwm_minus56_is_minus2", V::Pwm, 23, 0xFF, 0xC8, "-2.0"},
                      TextCase{"correction_as_it_is", V::ThrottleCorrection, 17, 0xFF, 0xFB, "-5.0"},
                      TextCase{"correction_most_negative", V::ThrottleCorrection, 17, 0x80, 0x00, "-32768.0"},
                      TextCase{"current_tenths", V::MotorCurrent, 19, 0x00, 0x19, "2.5"},
                      TextCase{"pedal1_half_percent", V::Pedal1, 3, 0x00, 0x01, "0.5"},
                      TextCase{"pedal1_full", V::Pedal1, 3, 0x00, 0xC8, "100.0"},
                      TextCase{"pedal1_max_five_digits", V::Pedal1, 3, 0xFF, 0xFF, "32768.0"},
                      TextCase{"throttle1_half_percent", V::Throttle1, 9, 0x00, 0x51, "40.5"},
                      TextCase{"pedal_mv_1", V::Pedal1mV, 5, 0x13, 0x88, "5000"},
                      TextCase{"pedal_mv_2", V::Pedal2mV, 7, 0x01, 0x02, "258"},
                      TextCase{"throttle_mv_1", V::Throttle1mV, 11, 0x03, 0x04, "772"},
                      TextCase{"throttle_mv_2_max", V::Throttle2mV, 15, 0xFF, 0xFF, "65535"},
                      TextCase{"load_input", V::LoadInput, 25, 0x00, 0x03, "1.5"},
                      TextCase{"response_curve", V::ResponseCurve, 27, 0x00, 0x02, "2"},
                      TextCase{"var_launch", V::VarLaunch, 33, 0x00, 0x05, "2.5"},
                      TextCase{"var_als", V::VarAls, 47, 0x00, 0x07, "3.5"}),
    [](const ::testing::TestParamInfo<TextCase>& p) { return std::string(p.param.name); });

TEST(LiveDashboardTexts, ZeroFrameShowsZerosAndTheLowestValues) {
    const DashboardTexts t = dashboardTexts(decoded(emptyFrame()), '.');
    const std::array<const char*, kDashboardValueCount> expected{
        "0",   "0.0", "0",   "0",   "0.0", "0",     "8.0",   "0",   "0.0",
        "0.0", "0.0", "0.0", "0.0", "0",   "-20.0", "-20.0", "0.0", "0.0"};
    for (std::size_t i = 0; i < kDashboardValueCount; ++i) {
        EXPECT_EQ(t.values[i], expected[i]) << kDashboardFields[i].label;
    }
}

TEST(LiveDashboardTexts, UsesTheGivenDecimalSeparator) {
    struct Case {
        DashboardValue value;
        std::size_t offset;
        std::uint8_t hi, lo;
        const char* expected;
    };
    const Case cases[] = {
        {V::Battery, 13, 0x00, 0x12, "12,5"},           {V::PidCorrection, 21, 0xFF, 0xE4, "-1,0"},
        {V::EngineSpeed, 1, 0xFF, 0xFF, "6,5535E+005"}, {V::EngineSpeed, 1, 0x03, 0xE8, "10000"},
        {V::WaterTemp, 29, 0x00, 0x14, "0,0"},          {V::WaterTemp, 29, 0x00, 0x9C, "---"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dashboardTexts(decoded(frameWith(c.offset, c.hi, c.lo)), ',')[c.value], c.expected);
    }
}

TEST(LiveDashboardTexts, EngineSpeedPointSizeDropsFrom10000Rpm) {
    const struct {
        std::uint8_t hi, lo;
        int points;
    } cases[] = {{0x00, 0x00, 32}, {0x03, 0xE7, 32}, {0x03, 0xE8, 26}, {0xFF, 0xFF, 26}};
    for (const auto& c : cases) {
        EXPECT_EQ(dashboardTexts(decoded(frameWith(1, c.hi, c.lo)), '.').engineSpeedPointSize, c.points)
            << int(c.hi) << " " << int(c.lo);
    }
}

TEST(LiveDashboardTexts, ResetGivesZeroInEveryValueText) {
    const ValueTexts texts = resetValueTexts();
    for (std::size_t i = 0; i < kDashboardValueCount; ++i) {
        EXPECT_EQ(texts[i], "0") << kDashboardFields[i].label;
    }
}

// The GUI finds each label by the name in kDashboardFields[value]; a shifted row would show every
// value in its neighbour's label.
TEST(LiveDashboardTexts, FieldTableFollowsTheValueOrder) {
    const struct {
        DashboardValue value;
        const char* label;
        const char* unit;
    } rows[] = {
        {V::EngineSpeed, "Label_enginespeed_waarde", "RPM"},
        {V::Pedal1, "Label_Pedal_pos_1_waarde", "%"},
        {V::Pedal1mV, "Label_Pedal_pos_mV_1_waarde", "mV"},
        {V::Pedal2mV, "Label_Pedal_pos_mV_2_waarde", "mV"},
        {V::Throttle1, "Label_Throttle_pos_1_waarde", "%"},
        {V::Throttle1mV, "Label_Throttle_pos_mV_1_waarde", "mV"},
        {V::Battery, "Label_Battery_Voltage_waarde", "V"},
        {V::Throttle2mV, "Label_Throttle_pos_mV_2_waarde", "mV"},
        {V::ThrottleCorrection, "Label_Throttle_correction_waarde", "%"},
        {V::MotorCurrent, "Label_Motor_current_waarde", "A"},
        {V::PidCorrection, "Label_Correction_PID_waarde", "%"},
        {V::Pwm, "Label_PWM_Throttle_waarde", "%"},
        {V::LoadInput, "Label_Load_input_waarde", ""},
        {V::ResponseCurve, "Label_Response_curve_waarde", ""},
        {V::WaterTemp, "Label_Water_temp_waarde",
         "\xC2\xB0"
         "C"},
        {V::EtcTemp, "Label_ETC_temp_waarde",
         "\xC2\xB0"
         "C"},
        {V::VarLaunch, "Label_var_launch_waarde", "%"},
        {V::VarAls, "Label_var_ALS_waarde", "%"},
    };
    static_assert(std::size(rows) == kDashboardValueCount);
    for (const auto& row : rows) {
        EXPECT_EQ(dashboardField(row.value).label, row.label);
        EXPECT_EQ(dashboardField(row.value).unit, row.unit) << row.label;
    }
}

// ---- Number formatting ----

struct FormatCase {
    double value;
    int digits;
    int decimals;
    const char* expected;
};
void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.value << " to " << c.digits << " digits, " << c.decimals << " decimals";
}

class LiveDisplayFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(LiveDisplayFormat, RoundsAndWrites) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(formatDisplayValue(c.value, c.digits, c.decimals, '.'), c.expected)
        << c.value << " at " << c.digits << " digits, " << c.decimals << " decimals";
}

INSTANTIATE_TEST_SUITE_P(
    LiveTable, LiveDisplayFormat,
    ::testing::Values(
        // halves away from zero, where halves to even would differ
        FormatCase{0.25, 5, 1, "0.3"}, FormatCase{-0.25, 5, 1, "-0.3"}, FormatCase{2.5, 5, 0, "3"},
        FormatCase{-2.5, 5, 0, "-3"}, FormatCase{12.25, 3, 1, "12.3"}, FormatCase{1234.5, 5, 0, "1235"},
        // a value that rounds to nothing has no sign; one that rounds up gains a digit
        FormatCase{0.04, 5, 1, "0.0"}, FormatCase{-0.04, 5, 1, "0.0"}, FormatCase{0.06, 5, 1, "0.1"},
        FormatCase{1e-20, 5, 1, "0.0"}, FormatCase{0.0, 5, 1, "0.0"}, FormatCase{0.0, 5, 0, "0"},
        FormatCase{9.96, 3, 1, "10.0"}, FormatCase{0.96, 5, 0, "1"},
        // significant digits limit before decimals do
        FormatCase{1234.56, 5, 1, "1234.6"}, FormatCase{12345.67, 5, 1, "12346.0"},
        FormatCase{100.25, 3, 1, "100.0"}, FormatCase{99999.4, 5, 0, "99999"},
        // more integer digits than significant digits: scientific
        FormatCase{99999.5, 5, 0, "1.0000E+005"}, FormatCase{655350.0, 5, 0, "6.5535E+005"},
        FormatCase{-655350.0, 5, 0, "-6.5535E+005"}, FormatCase{123456.0, 5, 1, "1.2346E+005"},
        FormatCase{999.75, 3, 1, "1.00E+003"}, FormatCase{1e10, 5, 0, "1.0000E+010"},
        FormatCase{1.5e120, 5, 1, "1.5000E+120"}));

TEST(LiveDisplayFormatSeparator, AppliesToFixedAndScientific) {
    EXPECT_EQ(formatDisplayValue(12.5, 3, 1, ','), "12,5");
    EXPECT_EQ(formatDisplayValue(655350.0, 5, 0, ','), "6,5535E+005");
    EXPECT_EQ(formatDisplayValue(42.0, 5, 0, ','), "42");
}

// ---- Engineering values ----

TEST(LiveEngineeringValues, InTheirUnits) {
    const struct {
        DashboardValue value;
        std::size_t offset;
        std::uint8_t hi, lo;
        std::optional<double> expected;
    } cases[] = {
        {V::EngineSpeed, 1, 0x03, 0xE8, 10000.0},
        {V::Pedal1, 3, 0x00, 0x03, 1.5},
        {V::Pedal2mV, 7, 0x13, 0x88, 5000.0},
        {V::Battery, 13, 0x00, 0x12, 12.5},
        {V::ThrottleCorrection, 17, 0xFF, 0xFB, -5.0},
        {V::MotorCurrent, 19, 0x00, 0x19, 2.5},
        {V::PidCorrection, 21, 0xFF, 0xE4, -28 / 28.17},
        {V::Pwm, 23, 0x01, 0x00, 256 / 28.17},
        {V::LoadInput, 25, 0x00, 0x03, 1.5},
        {V::ResponseCurve, 27, 0x00, 0x02, 2.0},
        {V::WaterTemp, 29, 0x00, 0x00, -20.0},
        {V::WaterTemp, 29, 0x00, 0x9B, 135.0},
        {V::WaterTemp, 29, 0x00, 0x9C, std::nullopt},
        {V::EtcTemp, 31, 0x80, 0x01, std::nullopt},
        {V::EtcTemp, 31, 0x00, 0x32, 30.0},
        {V::VarLaunch, 33, 0x00, 0x05, 2.5},
        {V::VarAls, 47, 0x00, 0x07, 3.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(dashboardField(c.value).label));
        const std::optional<double> got = engineeringValue(decoded(frameWith(c.offset, c.hi, c.lo)), c.value);
        ASSERT_EQ(got.has_value(), c.expected.has_value());
        if (got) {
            EXPECT_DOUBLE_EQ(*got, *c.expected);
        }
    }
}

// ---- Lamps ----

TEST(LiveLamps, StatusWordsLightLampsAndThePowerNotice) {
    const struct {
        std::uint16_t status;
        std::uint16_t litMask;  // bit i: lamp i lit
        bool power;
    } cases[] = {
        {0x0000, 0x000, false}, {0x0800, 0x000, true}, {0x07FF, 0x7FF, false}, {0xF000, 0x000, false},
        {0xF7FF, 0x7FF, false}, {0xFFFF, 0x7FF, true}, {0x0155, 0x155, false}, {0x52AA, 0x2AA, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        const Lamps lamps = decodeLamps(c.status);
        EXPECT_EQ(lamps.powerInterrupted, c.power);
        for (std::size_t i = 0; i < kLampCount; ++i) {
            const bool lit = (c.litMask >> i) & 1u;
            EXPECT_EQ(lamps.isLit(static_cast<Lamp>(i)), lit) << kLampNames[i];
            EXPECT_EQ(lampColour(lamps.lit[i]), lit ? 65280u : 0u) << kLampNames[i];
        }
    }
}

TEST(LiveLamps, StatusBytesFromTheFrame) {
    const LiveFrame power = decoded(frameWith(43, 0x08, 0x00));
    const Lamps p = decodeLamps(power.status);
    EXPECT_TRUE(p.powerInterrupted);
    for (bool lit : p.lit) {
        EXPECT_FALSE(lit);
    }
    const Lamps all = decodeLamps(decoded(frameWith(43, 0x07, 0xFF)).status);
    EXPECT_FALSE(all.powerInterrupted);
    for (bool lit : all.lit) {
        EXPECT_TRUE(lit);
    }
}

TEST(LiveLamps, EachStatusBitLightsItsNamedLamp) {
    const struct {
        int bit;
        const char* name;
        const char* label;
    } rows[] = {
        {0, "Panel_Digital_input_1", "Digital input 1"},
        {1, "Panel_Digital_input_2", "Digital input 2"},
        {2, "Panel_Digital_input_3", "Digital input 3"},
        {3, "Panel_CAN_input", "CAN input"},
        {4, "Panel_highidle_Led", "High Idle"},
        {5, "Panel_Blib_Led", "Blip"},
        {6, "Panel_TPS_lim_Led", "TPS lim"},
        {7, "Panel_TPS_curve_2_Led", "TPS curve 2"},
        {8, "Panel_ALS_Led", "ALS"},
        {9, "Panel_Launch_Led", "Launch"},
        {10, "Panel_Airco_Led", "Airco"},
    };
    for (const auto& row : rows) {
        const Lamps lamps = decodeLamps(static_cast<std::uint16_t>(1u << row.bit));
        std::vector<std::size_t> lit;
        for (std::size_t i = 0; i < kLampCount; ++i) {
            if (lamps.lit[i]) {
                lit.push_back(i);
            }
        }
        ASSERT_EQ(lit.size(), 1u) << "bit " << row.bit;
        EXPECT_EQ(kLampNames[lit[0]], row.name);
        EXPECT_EQ(kLampLabels[lit[0]], row.label);
    }
}

// ---- Digital-input captions ----

TEST(LiveDigitalInputCaption, ShortTextOnlyForResponseCurve2) {
    const struct {
        const char* item;
        int index;
        const char* expected;
    } cases[] = {
        {"Throttle response curve 2", 7, "Resp. curve 2"},
        {"None", 0, "None"},
        {"Throttle limit", 6, "Throttle limit"},
        {"RPM input", 8, "RPM input"},
        {"Launch control activation", 2, "Launch control activation"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(digitalInputCaption(c.item, c.index), c.expected) << c.index;
    }
}

}  // namespace
}  // namespace etc::live
