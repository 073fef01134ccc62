#include "live/live_csv.h"

#include <array>
#include <cstdio>
#include <string_view>

namespace etc::live {

namespace {

struct Column {
    std::string_view name;
    DashboardValue value;
};

constexpr std::array<Column, kDashboardValueCount> kValueColumns{{
    {"engine_speed_rpm", DashboardValue::EngineSpeed},
    {"pedal_1_pct", DashboardValue::Pedal1},
    {"pedal_1_mv", DashboardValue::Pedal1mV},
    {"pedal_2_mv", DashboardValue::Pedal2mV},
    {"throttle_1_pct", DashboardValue::Throttle1},
    {"throttle_1_mv", DashboardValue::Throttle1mV},
    {"battery_v", DashboardValue::Battery},
    {"throttle_2_mv", DashboardValue::Throttle2mV},
    {"throttle_correction_pct", DashboardValue::ThrottleCorrection},
    {"motor_current_a", DashboardValue::MotorCurrent},
    {"pid_correction_pct", DashboardValue::PidCorrection},
    {"pwm_pct", DashboardValue::Pwm},
    {"load_input", DashboardValue::LoadInput},
    {"response_curve", DashboardValue::ResponseCurve},
    {"water_temp_c", DashboardValue::WaterTemp},
    {"etc_temp_c", DashboardValue::EtcTemp},
    {"var_launch_pct", DashboardValue::VarLaunch},
    {"var_als_pct", DashboardValue::VarAls},
}};

// The calibration view's values, in 0.5 % on the wire.
struct HalfPercentColumn {
    std::string_view name;
    int LiveFrame::*field;
};
constexpr std::array<HalfPercentColumn, 4> kCalibrationColumns{{
    {"pedal_2_pct", &LiveFrame::pedal2},
    {"throttle_2_pct", &LiveFrame::throttle2},
    {"pedal_1_green_end_pct", &LiveFrame::pedal1GreenEnd},
    {"pedal_2_green_end_pct", &LiveFrame::pedal2GreenEnd},
}};

constexpr std::array<std::string_view, 12> kStatusBits{
    "digital_input_1", "digital_input_2", "digital_input_3",
    "can_input",       "high_idle",       "blip",
    "tps_lim",         "tps_curve_2",     "als",
    "launch",          "airco",           "power_interrupted"};

std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

}  // namespace

std::string csvHeader() {
    std::string h = "time_s";
    for (const auto& c : kValueColumns)
        (h += ',') += c.name;
    for (const auto& c : kCalibrationColumns)
        (h += ',') += c.name;
    h += ",status_word";
    for (const auto& b : kStatusBits)
        (h += ',') += b;
    h += ",calibration_status,error_word_1,error_word_2,error_word_3";
    return h;
}

std::string csvRow(double seconds, const LiveFrame& frame) {
    char time[32];
    std::snprintf(time, sizeof time, "%.3f", seconds);
    std::string r = time;
    for (const auto& c : kValueColumns) {
        r += ',';
        if (const auto v = engineeringValue(frame, c.value))
            r += number(*v);
    }
    for (const auto& c : kCalibrationColumns)
        (r += ',') += number(frame.*(c.field) / 2.0);
    (r += ',') += std::to_string(frame.status);
    for (std::size_t bit = 0; bit < kStatusBits.size(); ++bit)
        r += (frame.status >> bit) & 1U ? ",1" : ",0";
    (r += ',') += std::to_string(frame.calibrationStatus);
    for (const auto w : frame.errorWords)
        (r += ',') += std::to_string(w);
    return r;
}

std::string monitorLine(double seconds, const LiveFrame& frame) {
    char head[32];
    std::snprintf(head, sizeof head, "%8.3f s", seconds);
    std::string line = head;
    const DashboardTexts texts = dashboardTexts(frame, '.');
    static constexpr std::array<std::string_view, kDashboardValueCount> kShort{
        "rpm", "ped1", "ped1", "ped2", "tps1",  "tps1",  "bat", "tps2",   "corr",
        "mot", "pid",  "pwm",  "load", "curve", "water", "etc", "launch", "als"};
    for (std::size_t i = 0; i < kDashboardValueCount; ++i) {
        const auto& field = kDashboardFields[i];
        line += "  ";
        line += kShort[i];
        line += ' ';
        line += texts.values[i];
        if (!field.unit.empty() && texts.values[i] != kInvalidTemperatureText)
            (line += ' ') += field.unit;
    }
    char tail[64];
    std::snprintf(tail, sizeof tail, "  status %04X  cal %u  errors %04X %04X %04X", frame.status,
                  static_cast<unsigned>(frame.calibrationStatus), frame.errorWords[0], frame.errorWords[1],
                  frame.errorWords[2]);
    return line + tail;
}

}  // namespace etc::live
