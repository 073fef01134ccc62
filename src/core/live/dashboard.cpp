#include "live/dashboard.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <span>
#include <utility>

#include "settings/settings_image.h"

namespace etc::live {

namespace {

// A gauge position from a value in 0.5 % steps: whole percent, halves to even (5 → 2, 7 → 4).
int halfStepsToPercent(int halfSteps) {
    const int whole = halfSteps / 2;
    const bool half = halfSteps % 2 != 0;
    if (!half) {
        return whole;
    }
    // Frame values are unsigned, so `whole` is the lower neighbour of the half.
    return whole % 2 == 0 ? whole : whole + 1;
}

// The selected item of a choice, read as the screens read it: an index beyond the last item selects
// the last item. Empty when the setting or its items are unknown.
std::string selectedFunction(const settings::SettingsImage& image, std::string_view setting) {
    const std::span<const std::string_view> items = settings::SettingsImage::items(setting);
    const std::optional<double> value = image.value(setting);
    if (items.empty() || !value) {
        return {};
    }
    const int last = static_cast<int>(items.size()) - 1;
    const int index = std::clamp(static_cast<int>(std::lround(*value)), 0, last);
    return digitalInputCaption(items[static_cast<std::size_t>(index)], index);
}

}  // namespace

Dashboard::Dashboard() {
    m_state.lamps.fill(kLampBlack);
    m_state.secondLabels[kCanInputLabel] = std::string(kCanInputSecondLabel);
}

template <typename Change>
void Dashboard::update(Change&& change) {
    const State before = m_state;
    std::forward<Change>(change)(m_state);
    if (m_state != before && changed) {
        changed();
    }
}

void Dashboard::setValueDisplay(State& s, bool enable) {
    s.valueDisplayEnabled = enable;
    s.lamps.fill(enable ? kLampGrey : kLampBlack);
}

void Dashboard::setOnline(bool online) {
    update([online](State& s) {
        s.online = online;
        if (!online) {
            setValueDisplay(s, false);
            s.texts = resetValueTexts();
        }
    });
}

FillColours Dashboard::fillColours() const {
    return m_state.online ? FillColours{kOnlineFill, kOnlineFillTo}
                          : FillColours{kOfflineFill, kOfflineFillTo};
}

void Dashboard::enableValueDisplay(bool enable) {
    update([enable](State& s) { setValueDisplay(s, enable); });
}

std::uint32_t Dashboard::valueTextColour() const {
    return m_state.valueDisplayEnabled ? kValueTextEnabledColour : kValueTextDisabledColour;
}

void Dashboard::hidePowerInterruptedPanel() {
    update([](State& s) { s.powerInterruptedShown = false; });
}

void Dashboard::resetValues() {
    update([](State& s) { s.texts = resetValueTexts(); });
}

const std::string& Dashboard::valueText(DashboardValue v) const {
    return m_state.texts[static_cast<std::size_t>(v)];
}

void Dashboard::showLiveFrame(const LiveFrame& frame, char decimalSeparator) {
    update([&frame, decimalSeparator](State& s) {
        if (!s.valueDisplayEnabled) {
            setValueDisplay(s, true);
        }
        const DashboardTexts texts = dashboardTexts(frame, decimalSeparator);
        s.texts = texts.values;
        s.engineSpeedPointSize = texts.engineSpeedPointSize;

        if (s.calibrationViewOpen) {
            CalibrationView& c = s.calibration;
            c.pedal1mV = texts[DashboardValue::Pedal1mV];
            c.pedal2mV = texts[DashboardValue::Pedal2mV];
            c.throttle1mV = texts[DashboardValue::Throttle1mV];
            c.throttle2mV = texts[DashboardValue::Throttle2mV];
            c.pedal1 = halfStepsToPercent(frame.pedal1);
            c.pedal1GreenEnd = halfStepsToPercent(frame.pedal1GreenEnd);
            c.pedal2 = halfStepsToPercent(frame.pedal2);
            c.pedal2GreenEnd = halfStepsToPercent(frame.pedal2GreenEnd);
            c.throttle1 = halfStepsToPercent(frame.throttle1);
            c.throttle2 = halfStepsToPercent(frame.throttle2);
        }

        const Lamps lamps = decodeLamps(frame.status);
        for (std::size_t i = 0; i < kLampCount; ++i) {
            s.lamps[i] = live::lampColour(lamps.lit[i]);
        }
        s.powerInterruptedShown = lamps.powerInterrupted;
        if (lamps.powerInterrupted) {
            ++s.focusRequests;
        }
    });
}

std::uint32_t Dashboard::lampColour(Lamp lamp) const {
    return m_state.lamps[static_cast<std::size_t>(lamp)];
}

void Dashboard::setCalibrationViewOpen(bool open) {
    update([open](State& s) { s.calibrationViewOpen = open; });
}

void Dashboard::refreshDigitalInputLabels(const settings::SettingsImage& image) {
    update([&image](State& s) {
        for (std::size_t i = 0; i < kDigitalInputSettings.size(); ++i) {
            s.secondLabels[i] = selectedFunction(image, kDigitalInputSettings[i]);
        }
    });
}

std::string_view Dashboard::lampLabel(Lamp lamp) {
    return kLampLabels[static_cast<std::size_t>(lamp)];
}

}  // namespace etc::live
