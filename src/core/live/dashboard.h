// What the dashboard at the bottom of the main window shows, as plain state.
//
// The request engine keeps the online state itself; it tells the dashboard through setOnline, and the
// dashboard keeps what online and offline look like. Live frames come in through showLiveFrame. The
// desktop window renders the state and is told of every change through `changed`.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "live/live_frame.h"

namespace etc::settings {
class SettingsImage;
}

namespace etc::live {

// Windows colour numbers (0x00BBGGRR) of the dashboard panel `Panel_dashbord`: a gradient from the
// first colour to the second.
inline constexpr std::string_view kDashboardPanel = "Panel_dashbord";
inline constexpr std::uint32_t kOnlineFill = 15329252;
inline constexpr std::uint32_t kOnlineFillTo = 12632256;  // clSilver
inline constexpr std::uint32_t kOfflineFill = 4342527;
inline constexpr std::uint32_t kOfflineFillTo = 255;  // red

// Value texts are drawn yellow while the value display is enabled and silver while it is not.
inline constexpr std::uint32_t kValueTextEnabledColour = 0x00FFFF;   // clYellow
inline constexpr std::uint32_t kValueTextDisabledColour = 0xC0C0C0;  // clSilver

// Shown in place of the values while offline.
inline constexpr std::string_view kPressF10Text = "Press F10 for online";
inline constexpr std::string_view kCommunicationOfflineText = "communication is offline";

// The inputs that carry a second label under their lamp: digital inputs 1..3 and the CAN input, in
// the order of their status bits.
inline constexpr std::size_t kInputLabelCount = 4;
inline constexpr std::size_t kCanInputLabel = 3;
inline constexpr std::array<std::string_view, 3> kDigitalInputSecondLabelNames{
    "Label_Digital_input_txt_2_1", "Label_Digital_input_txt_2_2", "Label_Digital_input_txt_2_3"};
// The hardware-settings choice whose selected item names the function of digital input 1..3.
inline constexpr std::array<std::string_view, 3> kDigitalInputSettings{"hardware_settings_digital_input_1",
                                                                       "hardware_settings_digital_input_2",
                                                                       "hardware_settings_digital_input_3"};

struct FillColours {
    std::uint32_t from = kOnlineFill;
    std::uint32_t to = kOnlineFillTo;
    friend bool operator==(const FillColours&, const FillColours&) = default;
};

// What the Options window's calibration view takes from a live frame: the four sensor voltages as the
// dashboard writes them, and the gauges in whole percent (halves to even).
struct CalibrationView {
    std::string pedal1mV;
    std::string pedal2mV;
    std::string throttle1mV;
    std::string throttle2mV;
    int pedal1 = 0;
    int pedal1GreenEnd = 0;  // end of the green range of the pedal 1 gauge
    int pedal2 = 0;
    int pedal2GreenEnd = 0;  // end of the green range of the pedal 2 gauge
    int throttle1 = 0;
    int throttle2 = 0;
    friend bool operator==(const CalibrationView&, const CalibrationView&) = default;
};

class Dashboard {
  public:
    // As the main window is created: online, value display disabled, every value "0", every lamp black,
    // the power-interruption panel hidden, the digital-input functions not yet known (empty).
    Dashboard();

    // ---- Online and offline ----

    // Online shows the value panels, the lamps and their labels and hides the offline texts. Offline
    // hides them, shows the offline texts, and disables and resets the values. Going online leaves the
    // value display as it is: the first live frame (or the caller) enables it.
    void setOnline(bool online);
    [[nodiscard]] bool online() const { return m_state.online; }
    [[nodiscard]] FillColours fillColours() const;
    // The value panels, the eleven lamps and their labels.
    [[nodiscard]] bool panelsVisible() const { return m_state.online; }
    // "Press F10 for online" and "communication is offline".
    [[nodiscard]] bool offlineTextsVisible() const { return !m_state.online; }

    // ---- Values ----

    // Enabled: value texts enabled and yellow, every lamp grey until a status word sets it. Disabled:
    // value texts disabled and silver, every lamp black.
    void enableValueDisplay(bool enable);
    [[nodiscard]] bool valueDisplayEnabled() const { return m_state.valueDisplayEnabled; }
    [[nodiscard]] std::uint32_t valueTextColour() const;
    // Every value text "0"; the engine-speed point size stays.
    void resetValues();
    [[nodiscard]] const ValueTexts& valueTexts() const { return m_state.texts; }
    [[nodiscard]] const std::string& valueText(DashboardValue v) const;
    [[nodiscard]] int engineSpeedPointSize() const { return m_state.engineSpeedPointSize; }

    // ---- Live frames ----

    // Enables the value display if it is disabled, writes the value texts, sets the lamps from status
    // bits 0..10 and the power-interruption panel from bit 11, and fills the calibration view while it
    // is open. Calibration status and error words are for the calibration sequence and the errors window.
    void showLiveFrame(const LiveFrame& frame, char decimalSeparator);

    [[nodiscard]] std::uint32_t lampColour(Lamp lamp) const;
    [[nodiscard]] const std::array<std::uint32_t, kLampCount>& lampColours() const { return m_state.lamps; }

    // `Panel_power_to_system_was_interrupted`, shown while status bit 11 is set.
    [[nodiscard]] bool powerInterruptedPanelShown() const { return m_state.powerInterruptedShown; }
    // Counts the frames that asked for the focus on the panel's Up-load button: every frame with bit 11
    // set asks again. The window moves the focus whenever the count has grown since it last looked.
    [[nodiscard]] std::uint64_t powerInterruptedFocusRequests() const { return m_state.focusRequests; }
    // The upload and download commands hide the panel; the next frame with bit 11 shows it again.
    void hidePowerInterruptedPanel();

    // Whether the Options window's calibration view is showing; only then do frames fill it.
    void setCalibrationViewOpen(bool open);
    [[nodiscard]] bool calibrationViewOpen() const { return m_state.calibrationViewOpen; }
    [[nodiscard]] const CalibrationView& calibrationView() const { return m_state.calibration; }

    // ---- Input labels ----

    // The second labels of digital inputs 1..3 from the selected functions of the hardware settings
    // ("Throttle response curve 2" shortened to "Resp. curve 2"). The CAN input keeps "....".
    void refreshDigitalInputLabels(const settings::SettingsImage& image);
    // Indexed 0..2 for the digital inputs and kCanInputLabel for the CAN input.
    [[nodiscard]] const std::array<std::string, kInputLabelCount>& secondLabels() const {
        return m_state.secondLabels;
    }
    // The fixed label beside a lamp ("Digital input 1", "CAN input", "High Idle", ...).
    [[nodiscard]] static std::string_view lampLabel(Lamp lamp);

    // Called after every change of what the dashboard shows.
    std::function<void()> changed;

  private:
    struct State {
        bool online = true;
        bool valueDisplayEnabled = false;
        ValueTexts texts = resetValueTexts();
        int engineSpeedPointSize = kEngineSpeedPointSize;
        std::array<std::uint32_t, kLampCount> lamps{};  // all kLampBlack
        bool powerInterruptedShown = false;
        std::uint64_t focusRequests = 0;
        bool calibrationViewOpen = false;
        CalibrationView calibration;
        std::array<std::string, kInputLabelCount> secondLabels;
        friend bool operator==(const State&, const State&) = default;
    };

    // Runs `change` on the state and notifies when it changed anything.
    template <typename Change>
    void update(Change&& change);
    static void setValueDisplay(State& s, bool enable);

    State m_state;
};

}  // namespace etc::live
