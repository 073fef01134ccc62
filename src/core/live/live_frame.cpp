#include "live/live_frame.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "link/codec.h"

namespace etc::live {

namespace {

using link::Int16BE;
using link::SignMag16;
using link::UInt16BE;

// Byte offsets of the words in the live frame; byte 0 is the reply letter.
constexpr std::size_t kOffEngineSpeed = 1;
constexpr std::size_t kOffPedal1 = 3;
constexpr std::size_t kOffPedal1mV = 5;
constexpr std::size_t kOffPedal2mV = 7;
constexpr std::size_t kOffThrottle1 = 9;
constexpr std::size_t kOffThrottle1mV = 11;
constexpr std::size_t kOffBattery = 13;
constexpr std::size_t kOffThrottle2mV = 15;
constexpr std::size_t kOffThrottleCorrection = 17;
constexpr std::size_t kOffMotorCurrent = 19;
constexpr std::size_t kOffPidCorrection = 21;
constexpr std::size_t kOffPwm = 23;
constexpr std::size_t kOffLoadInput = 25;
constexpr std::size_t kOffResponseCurve = 27;
constexpr std::size_t kOffWaterTemp = 29;
constexpr std::size_t kOffEtcTemp = 31;
constexpr std::size_t kOffVarLaunch = 33;
constexpr std::size_t kOffPedal1GreenEnd = 35;
constexpr std::size_t kOffPedal2 = 37;
constexpr std::size_t kOffPedal2GreenEnd = 39;
constexpr std::size_t kOffThrottle2 = 41;
constexpr std::size_t kOffStatus = 43;
constexpr std::size_t kOffCalibrationStatus = 45;
constexpr std::size_t kOffVarAls = 47;
constexpr std::array<std::size_t, 3> kOffErrorWords{58, 60, 62};

// Battery voltage: 0.25 V steps above 8 V.
constexpr double kBatteryVoltsPerStep = 0.25;
constexpr double kBatteryBaseVolts = 8.0;

// Digits of a positive number: value = 0.d1d2d3... × 10^exponent, so `exponent` is the count of
// integer digits when positive. The digit string may be empty (value zero).
struct Decimal {
    std::string digits;
    int exponent = 0;
};

// 18 significant digits: enough to tell on which side of a decimal half any double lies.
Decimal toDecimal(double magnitude) {
    Decimal d;
    if (magnitude == 0.0) {
        return d;
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17e", magnitude);  // "d.ddddddddddddddddde±XX"
    const std::string_view text(buf);
    const std::size_t e = text.find('e');
    d.digits.push_back(text[0]);
    d.digits.append(text.substr(2, e - 2));
    d.exponent = std::atoi(buf + e + 1) + 1;
    return d;
}

// Keeps the first `count` digits, rounding halves away from zero; count ≤ 0 keeps none and may round
// up to a single 1 in front of the number.
void roundTo(Decimal& d, int count) {
    if (d.digits.empty()) {
        return;
    }
    if (count < 0) {
        d.digits.clear();
        return;
    }
    const auto n = static_cast<std::size_t>(count);
    if (n >= d.digits.size()) {
        return;
    }
    const bool up = d.digits[n] >= '5';
    d.digits.resize(n);
    if (up) {
        std::size_t i = n;
        while (i > 0 && d.digits[i - 1] == '9') {
            d.digits[--i] = '0';
        }
        if (i == 0) {
            d.digits.insert(d.digits.begin(), '1');
            ++d.exponent;
        } else {
            ++d.digits[i - 1];
        }
    }
    while (!d.digits.empty() && d.digits.back() == '0') {
        d.digits.pop_back();
    }
    if (d.digits.empty()) {
        d.exponent = 0;
    }
}

// Digit at position i counting from the first significant digit; '0' outside the kept digits.
char digitAt(const Decimal& d, int i) {
    return i >= 0 && static_cast<std::size_t>(i) < d.digits.size() ? d.digits[static_cast<std::size_t>(i)]
                                                                   : '0';
}

int raw(const LiveFrame& f, DashboardValue v) {
    switch (v) {
        case DashboardValue::EngineSpeed:
            return f.engineSpeed;
        case DashboardValue::Pedal1:
            return f.pedal1;
        case DashboardValue::Pedal1mV:
            return f.pedal1mV;
        case DashboardValue::Pedal2mV:
            return f.pedal2mV;
        case DashboardValue::Throttle1:
            return f.throttle1;
        case DashboardValue::Throttle1mV:
            return f.throttle1mV;
        case DashboardValue::Battery:
            return f.battery;
        case DashboardValue::Throttle2mV:
            return f.throttle2mV;
        case DashboardValue::ThrottleCorrection:
            return f.throttleCorrection;
        case DashboardValue::MotorCurrent:
            return f.motorCurrent;
        case DashboardValue::PidCorrection:
            return f.pidCorrection;
        case DashboardValue::Pwm:
            return f.pwm;
        case DashboardValue::LoadInput:
            return f.loadInput;
        case DashboardValue::ResponseCurve:
            return f.responseCurve;
        case DashboardValue::WaterTemp:
            return f.waterTemp;
        case DashboardValue::EtcTemp:
            return f.etcTemp;
        case DashboardValue::VarLaunch:
            return f.varLaunch;
        case DashboardValue::VarAls:
            return f.varAls;
    }
    return 0;
}

}  // namespace

std::optional<LiveFrame> decodeLiveFrame(std::span<const std::uint8_t> frame) {
    if (frame.size() != link::kLiveFrameLength) {
        return std::nullopt;
    }
    const auto u16 = [&](std::size_t off) { return UInt16BE::decode(frame[off], frame[off + 1]); };
    const auto i16 = [&](std::size_t off) { return Int16BE::decode(frame[off], frame[off + 1]); };
    const auto sm16 = [&](std::size_t off) { return SignMag16::decode(frame[off], frame[off + 1]); };
    const auto word = [&](std::size_t off) { return static_cast<std::uint16_t>(u16(off)); };

    LiveFrame f;
    f.engineSpeed = u16(kOffEngineSpeed);
    f.pedal1 = u16(kOffPedal1);
    f.pedal1mV = u16(kOffPedal1mV);
    f.pedal2mV = u16(kOffPedal2mV);
    f.throttle1 = u16(kOffThrottle1);
    f.throttle1mV = u16(kOffThrottle1mV);
    f.battery = u16(kOffBattery);
    f.throttle2mV = u16(kOffThrottle2mV);
    f.throttleCorrection = i16(kOffThrottleCorrection);
    f.motorCurrent = u16(kOffMotorCurrent);
    f.pidCorrection = i16(kOffPidCorrection);
    f.pwm = i16(kOffPwm);
    f.loadInput = u16(kOffLoadInput);
    f.responseCurve = u16(kOffResponseCurve);
    f.waterTemp = sm16(kOffWaterTemp);
    f.etcTemp = sm16(kOffEtcTemp);
    f.varLaunch = u16(kOffVarLaunch);
    f.pedal1GreenEnd = u16(kOffPedal1GreenEnd);
    f.pedal2 = u16(kOffPedal2);
    f.pedal2GreenEnd = u16(kOffPedal2GreenEnd);
    f.throttle2 = u16(kOffThrottle2);
    f.status = word(kOffStatus);
    f.calibrationStatus = word(kOffCalibrationStatus);
    f.varAls = u16(kOffVarAls);
    for (std::size_t i = 0; i < kOffErrorWords.size(); ++i) {
        f.errorWords[i] = word(kOffErrorWords[i]);
    }
    return f;
}

std::optional<double> engineeringValue(const LiveFrame& frame, DashboardValue v) {
    const int r = raw(frame, v);
    switch (v) {
        case DashboardValue::EngineSpeed:
            return r * 10.0;
        case DashboardValue::Pedal1:
        case DashboardValue::Throttle1:
        case DashboardValue::LoadInput:
        case DashboardValue::VarLaunch:
        case DashboardValue::VarAls:
            return r / 2.0;
        case DashboardValue::Battery:
            return r * kBatteryVoltsPerStep + kBatteryBaseVolts;
        case DashboardValue::MotorCurrent:
            return r / 10.0;
        case DashboardValue::PidCorrection:
        case DashboardValue::Pwm:
            return r / kCountsPerPercent;
        case DashboardValue::WaterTemp:
        case DashboardValue::EtcTemp: {
            const int t = r - kTemperatureOffset;
            if (t < kTemperatureMin || t > kTemperatureMax) {
                return std::nullopt;
            }
            return t;
        }
        case DashboardValue::Pedal1mV:
        case DashboardValue::Pedal2mV:
        case DashboardValue::Throttle1mV:
        case DashboardValue::Throttle2mV:
        case DashboardValue::ThrottleCorrection:
        case DashboardValue::ResponseCurve:
            return r;
    }
    return r;
}

std::string formatDisplayValue(double value, int significantDigits, int decimals, char decimalSeparator) {
    Decimal d = toDecimal(std::fabs(value));
    roundTo(d, std::min(significantDigits, d.exponent + decimals));

    std::string out;
    if (value < 0 && !d.digits.empty()) {
        out.push_back('-');
    }
    if (d.exponent > significantDigits) {
        out.push_back(digitAt(d, 0));
        if (significantDigits > 1) {
            out.push_back(decimalSeparator);
            for (int i = 1; i < significantDigits; ++i) {
                out.push_back(digitAt(d, i));
            }
        }
        char exp[16];
        std::snprintf(exp, sizeof exp, "E%+04d", d.exponent - 1);  // sign and at least three digits
        out += exp;
        return out;
    }
    if (d.exponent <= 0) {
        out.push_back('0');
    } else {
        for (int i = 0; i < d.exponent; ++i) {
            out.push_back(digitAt(d, i));
        }
    }
    if (decimals > 0) {
        out.push_back(decimalSeparator);
        for (int i = 0; i < decimals; ++i) {
            out.push_back(digitAt(d, d.exponent + i));
        }
    }
    return out;
}

DashboardTexts dashboardTexts(const LiveFrame& frame, char decimalSeparator) {
    DashboardTexts texts;
    for (std::size_t i = 0; i < kDashboardValueCount; ++i) {
        const auto v = static_cast<DashboardValue>(i);
        const DashboardField& field = kDashboardFields[i];
        const std::optional<double> value = engineeringValue(frame, v);
        texts.values[i] =
            value ? formatDisplayValue(*value, field.significantDigits, field.decimals, decimalSeparator)
                  : std::string(kInvalidTemperatureText);
    }
    texts.engineSpeedPointSize =
        frame.engineSpeed * 10 >= kEngineSpeedWideFromRpm ? kEngineSpeedPointSizeWide : kEngineSpeedPointSize;
    return texts;
}

ValueTexts resetValueTexts() {
    ValueTexts texts;
    texts.fill("0");
    return texts;
}

Lamps decodeLamps(std::uint16_t statusWord) {
    Lamps lamps;
    for (std::size_t bit = 0; bit < kLampCount; ++bit) {
        lamps.lit[bit] = (statusWord >> bit) & 1u;
    }
    lamps.powerInterrupted = (statusWord & kPowerInterruptedBit) != 0;
    return lamps;
}

std::string digitalInputCaption(std::string_view itemText, int itemIndex) {
    return std::string(itemIndex == kResponseCurve2Item ? kResponseCurve2Short : itemText);
}

}  // namespace etc::live
