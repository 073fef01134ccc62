// The live frame (reply to "*") and what the dashboard makes of it.
//
// Pure functions: decoding the 66 bytes into raw fields, turning the raw fields into engineering
// values and display texts, and the status word into lamps. No I/O and no state; the session decides
// when a frame is shown and the GUI draws the texts and colours given here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace etc::live {

// Raw fields of one live frame, each decoded with its own encoding and kept in the module's units.
// Plain data: the fields carry no invariant, so they are public and named without the m_ prefix.
struct LiveFrame {
    int engineSpeed = 0;                        // offset 1, UInt16BE, units of 10 rpm
    int pedal1 = 0;                             // offset 3, UInt16BE, 0.5 %
    int pedal1mV = 0;                           // offset 5, UInt16BE, mV
    int pedal2mV = 0;                           // offset 7, UInt16BE, mV
    int throttle1 = 0;                          // offset 9, UInt16BE, 0.5 %
    int throttle1mV = 0;                        // offset 11, UInt16BE, mV
    int battery = 0;                            // offset 13, UInt16BE, 0.25 V above 8 V
    int throttle2mV = 0;                        // offset 15, UInt16BE, mV
    int throttleCorrection = 0;                 // offset 17, Int16BE, shown as it is in %
    int motorCurrent = 0;                       // offset 19, UInt16BE, 0.1 A
    int pidCorrection = 0;                      // offset 21, Int16BE, 28.17 per %
    int pwm = 0;                                // offset 23, Int16BE, 28.17 per %
    int loadInput = 0;                          // offset 25, UInt16BE, 0.5 units
    int responseCurve = 0;                      // offset 27, UInt16BE, active curve as the module numbers it
    int waterTemp = 0;                          // offset 29, SignMag16, °C + 20
    int etcTemp = 0;                            // offset 31, SignMag16, °C + 20
    int varLaunch = 0;                          // offset 33, UInt16BE, 0.5 %
    int pedal1GreenEnd = 0;                     // offset 35, UInt16BE, 0.5 %, calibration view only
    int pedal2 = 0;                             // offset 37, UInt16BE, 0.5 %, calibration view only
    int pedal2GreenEnd = 0;                     // offset 39, UInt16BE, 0.5 %, calibration view only
    int throttle2 = 0;                          // offset 41, UInt16BE, 0.5 %, calibration view only
    std::uint16_t status = 0;                   // offset 43, lamp and notice bits (see Lamp)
    std::uint16_t calibrationStatus = 0;        // offset 45
    int varAls = 0;                             // offset 47, UInt16BE, 0.5 %
    std::array<std::uint16_t, 3> errorWords{};  // offsets 58, 60, 62: error words 1..3
};

// Decodes a complete live frame. Only the length is checked (exactly kLiveFrameLength bytes): the
// reply letter and the checksum have been checked by the request engine before the frame gets here.
[[nodiscard]] std::optional<LiveFrame> decodeLiveFrame(std::span<const std::uint8_t> frame);

// ---- Dashboard values ----

// The 18 values of the dashboard, in the order of the frame (and of the display).
enum class DashboardValue {
    EngineSpeed,
    Pedal1,
    Pedal1mV,
    Pedal2mV,
    Throttle1,
    Throttle1mV,
    Battery,
    Throttle2mV,
    ThrottleCorrection,
    MotorCurrent,
    PidCorrection,
    Pwm,
    LoadInput,
    ResponseCurve,
    WaterTemp,
    EtcTemp,
    VarLaunch,
    VarAls,
};
inline constexpr std::size_t kDashboardValueCount = 18;

// How one value is shown: the label that shows it, the unit shown beside it (empty: none), the
// decimals written and the significant digits it is rounded to.
struct DashboardField {
    std::string_view label;
    std::string_view unit;
    int decimals;
    int significantDigits;
};

inline constexpr std::string_view kUnitRpm = "RPM";
inline constexpr std::string_view kUnitPercent = "%";
inline constexpr std::string_view kUnitMilliVolt = "mV";
inline constexpr std::string_view kUnitVolt = "V";
inline constexpr std::string_view kUnitAmpere = "A";
inline constexpr std::string_view kUnitCelsius = "\u00B0C";  // "°C", UTF-8 encoded

// Indexed by DashboardValue.
inline constexpr std::array<DashboardField, kDashboardValueCount> kDashboardFields{{
    {"Label_enginespeed_waarde", kUnitRpm, 0, 5},
    {"Label_Pedal_pos_1_waarde", kUnitPercent, 1, 5},
    {"Label_Pedal_pos_mV_1_waarde", kUnitMilliVolt, 0, 5},
    {"Label_Pedal_pos_mV_2_waarde", kUnitMilliVolt, 0, 5},
    {"Label_Throttle_pos_1_waarde", kUnitPercent, 1, 5},
    {"Label_Throttle_pos_mV_1_waarde", kUnitMilliVolt, 0, 5},
    {"Label_Battery_Voltage_waarde", kUnitVolt, 1, 3},
    {"Label_Throttle_pos_mV_2_waarde", kUnitMilliVolt, 0, 5},
    {"Label_Throttle_correction_waarde", kUnitPercent, 1, 5},
    {"Label_Motor_current_waarde", kUnitAmpere, 1, 5},
    {"Label_Correction_PID_waarde", kUnitPercent, 1, 5},
    {"Label_PWM_Throttle_waarde", kUnitPercent, 1, 5},
    {"Label_Load_input_waarde", "", 1, 5},
    {"Label_Response_curve_waarde", "", 0, 5},
    {"Label_Water_temp_waarde", kUnitCelsius, 1, 5},
    {"Label_ETC_temp_waarde", kUnitCelsius, 1, 5},
    {"Label_var_launch_waarde", kUnitPercent, 1, 5},
    {"Label_var_ALS_waarde", kUnitPercent, 1, 5},
}};

[[nodiscard]] constexpr const DashboardField& dashboardField(DashboardValue v) {
    return kDashboardFields[static_cast<std::size_t>(v)];
}

// Counts of the PID correction and the PWM output per percent.
inline constexpr double kCountsPerPercent = 28.17;
// Temperatures travel with 20 added; outside this range (in °C) the sensor reading is not shown.
inline constexpr int kTemperatureOffset = 20;
inline constexpr int kTemperatureMin = -20;
inline constexpr int kTemperatureMax = 135;
inline constexpr std::string_view kInvalidTemperatureText = "---";

// The value in its engineering unit (rpm, %, mV, V, A, °C; load input and response curve unitless),
// e.g. for CSV output. Temperatures are the whole-number °C; a temperature outside
// kTemperatureMin..kTemperatureMax gives nothing (shown as kInvalidTemperatureText).
[[nodiscard]] std::optional<double> engineeringValue(const LiveFrame& frame, DashboardValue v);

// Writes a value the way the dashboard does.
//   - Rounded once, halves away from zero, to the fewer of `significantDigits` significant digits
//     and `decimals` decimals; digits beyond the significant ones are written as 0 ("100.0" for
//     100.25 at three digits and one decimal).
//   - When the rounded value has more integer digits than `significantDigits`, it is written in
//     scientific notation instead: one digit, the separator, significantDigits − 1 digits, "E", the
//     exponent's sign and at least three exponent digits ("6.5535E+005" for 655350 at five digits).
//   - A value that rounds to zero is written without a minus sign.
[[nodiscard]] std::string formatDisplayValue(double value, int significantDigits, int decimals,
                                             char decimalSeparator);

using ValueTexts = std::array<std::string, kDashboardValueCount>;  // indexed by DashboardValue

// Point sizes of the engine-speed text: the larger font leaves no room for five digits.
inline constexpr int kEngineSpeedPointSize = 32;
inline constexpr int kEngineSpeedPointSizeWide = 26;
inline constexpr int kEngineSpeedWideFromRpm = 10000;

struct DashboardTexts {
    ValueTexts values;  // without units; the unit texts are in kDashboardFields
    int engineSpeedPointSize = kEngineSpeedPointSize;

    [[nodiscard]] const std::string& operator[](DashboardValue v) const {
        return values[static_cast<std::size_t>(v)];
    }
};

[[nodiscard]] DashboardTexts dashboardTexts(const LiveFrame& frame, char decimalSeparator);

// The value texts after going offline: every one "0". The engine-speed point size is left as it is.
[[nodiscard]] ValueTexts resetValueTexts();

// ---- Lamps ----

// In the order of the status bits: lamp i is bit i.
enum class Lamp {
    DigitalInput1,
    DigitalInput2,
    DigitalInput3,
    CanInput,
    HighIdle,
    Blip,
    TpsLimit,
    TpsCurve2,
    Als,
    Launch,
    Airco,
};
inline constexpr std::size_t kLampCount = 11;

// Indexed by Lamp.
inline constexpr std::array<std::string_view, kLampCount> kLampNames{
    "Panel_Digital_input_1", "Panel_Digital_input_2", "Panel_Digital_input_3", "Panel_CAN_input",
    "Panel_highidle_Led",    "Panel_Blib_Led",        "Panel_TPS_lim_Led",     "Panel_TPS_curve_2_Led",
    "Panel_ALS_Led",         "Panel_Launch_Led",      "Panel_Airco_Led",
};
// The fixed label beside each lamp.
inline constexpr std::array<std::string_view, kLampCount> kLampLabels{
    "Digital input 1", "Digital input 2", "Digital input 3",
    "CAN input",       "High Idle",       "Blip",
    "TPS lim",         "TPS curve 2",     "ALS",
    "Launch",          "Airco",
};
// Second label of the CAN input (the digital inputs show their function there instead).
inline constexpr std::string_view kCanInputSecondLabel = "....";

// Windows colour numbers (0x00BBGGRR).
inline constexpr std::uint32_t kLampGreen = 65280;   // bit set
inline constexpr std::uint32_t kLampBlack = 0;       // bit clear, and every lamp while offline
inline constexpr std::uint32_t kLampGrey = 8421504;  // every lamp from going online to the first frame

// Status bit 11; bits 12..15 carry nothing.
inline constexpr std::uint16_t kPowerInterruptedBit = 1u << 11;

inline constexpr std::string_view kPowerInterruptedPanel = "Panel_power_to_system_was_interrupted";
inline constexpr std::array<std::string_view, 3> kPowerInterruptedTexts{"Power to the System",
                                                                        "was interruped !!!", "(see manual)"};

struct Lamps {
    std::array<bool, kLampCount> lit{};  // indexed by Lamp
    bool powerInterrupted = false;

    [[nodiscard]] bool isLit(Lamp lamp) const { return lit[static_cast<std::size_t>(lamp)]; }
};

[[nodiscard]] Lamps decodeLamps(std::uint16_t statusWord);
[[nodiscard]] constexpr std::uint32_t lampColour(bool lit) {
    return lit ? kLampGreen : kLampBlack;
}

// ---- Digital-input captions ----

// Item index of "Throttle response curve 2" in the hardware settings' digital-input lists; the
// dashboard has room only for the short text.
inline constexpr int kResponseCurve2Item = 7;
inline constexpr std::string_view kResponseCurve2Short = "Resp. curve 2";

// The second label of a digital-input lamp, from the selected item of its hardware-settings list.
[[nodiscard]] std::string digitalInputCaption(std::string_view itemText, int itemIndex);

}  // namespace etc::live
