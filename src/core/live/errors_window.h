// The "Errors and warnings" window as plain state.
//
// The module flags each of 24 conditions as a warning or as an error in three words of every live
// frame. The window opens by itself when anything is flagged and keeps every flag on screen until the
// user presses "Clear message"; a frame never takes a flag away. The desktop window renders the state
// and is told of every change through `changed`.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace etc::live {

inline constexpr std::size_t kConditionCount = 24;
inline constexpr std::size_t kErrorWordCount = 3;

// Label texts of the conditions, by number. The double blanks are the module tool's own.
inline constexpr std::array<std::string_view, kConditionCount> kConditionTexts{
    "Differentiation between TPS 1 and TPS 2",     // 00
    "Throttle not in startup position",            // 01
    "TPS 1  0.25V below calibration value",        // 02
    "TPS 1 0.25V above calibration value",         // 03
    "TPS 2  0.25V below calibration value",        // 04
    "TPS 2 0.25V above calibration value",         // 05
    "TPS 1 and 2  0.25V below calibration value",  // 06
    "TPS 1 and 2  0.25V above calibration value",  // 07
    "Differentiation between PPS 1 and PPS 2",     // 08
    "Pedal not in startup position",               // 09
    "PPS 1  0.25V below calibration value",        // 10
    "PPS 1 0.25V above calibration value",         // 11
    "PPS 2  0.25V below calibration value",        // 12
    "PPS 2 0.25V above calibration value",         // 13
    "PPS 1 and 2  0.25V below calibration value",  // 14
    "PPS 1 and 2  0.25V above calibration value",  // 15
    "Maximum  Intergrator  time",                  // 16
    "5V short circuit",                            // 17
    "motor current over 18 Amp",                   // 18
    "Target  not reached in 1.5 sec",              // 19
    "motor over  userdefined current",             // 20
    "non defined error 3",                         // 21
    "non defined error 2",                         // 22
    "non defined error 1",                         // 23
};

inline constexpr std::string_view kErrorsWindowCaption = "                    Errors and warnings";
inline constexpr std::string_view kWarningLegendText = "Orange = warning";
inline constexpr std::string_view kErrorLegendText = "Red with ! = error";
inline constexpr std::string_view kClearMessageText = "Clear message";

// Indicator looks, Windows colour numbers (0x00BBGGRR).
inline constexpr std::uint32_t kErrorFill = 0x0000FF;    // red
inline constexpr std::uint32_t kWarningFill = 0x2894FF;  // orange
inline constexpr std::string_view kErrorIndicatorCaption = "!";
inline constexpr std::string_view kWarningIndicatorCaption = "";

// How a condition is on screen. Hidden: neither its indicator nor its label shows.
enum class ConditionMark { Hidden, Warning, Error };

[[nodiscard]] constexpr std::uint32_t markFill(ConditionMark mark) {
    return mark == ConditionMark::Warning ? kWarningFill : kErrorFill;
}
[[nodiscard]] constexpr std::string_view markCaption(ConditionMark mark) {
    return mark == ConditionMark::Warning ? kWarningIndicatorCaption : kErrorIndicatorCaption;
}

// Control names with the condition number in two digits: `AdvSmoothStatusIndicator_error_07`,
// `Label_Error_message_07`.
[[nodiscard]] std::string indicatorName(std::size_t condition);
[[nodiscard]] std::string messageLabelName(std::size_t condition);

using ErrorWords = std::array<std::uint16_t, kErrorWordCount>;

class ErrorsWindow {
  public:
    // Called with the three error words of every valid live frame. While the window is hidden the
    // words are remembered and applied; while it shows, words equal to the remembered ones change
    // nothing and any others are applied without being remembered. A non-zero word shows the window.
    void showErrors(std::uint16_t word1, std::uint16_t word2, std::uint16_t word3);

    // "Clear message": every condition hidden and the window hidden. Nothing goes to the module, so a
    // condition it still flags comes back with the next frame.
    void clearMessage();
    // The window's own close control: the window hides, the flags stay.
    void close();

    [[nodiscard]] bool windowShown() const { return m_state.shown; }
    [[nodiscard]] ConditionMark mark(std::size_t condition) const;
    [[nodiscard]] bool conditionVisible(std::size_t condition) const {
        return mark(condition) != ConditionMark::Hidden;
    }
    [[nodiscard]] const std::array<ConditionMark, kConditionCount>& marks() const { return m_state.marks; }
    [[nodiscard]] const ErrorWords& rememberedWords() const { return m_state.remembered; }

    // Called after every change of what the window shows.
    std::function<void()> changed;

  private:
    struct State {
        bool shown = false;
        std::array<ConditionMark, kConditionCount> marks{};  // all Hidden
        ErrorWords remembered{};
        friend bool operator==(const State&, const State&) = default;
    };

    // Word of group 1..3: bits 15..8 flag conditions 8 × (group − 1) + 0..7 as warnings, bits 7..0 the
    // same conditions as errors. Taken from bit 15 down, so an error bit wins over a warning bit.
    static void apply(State& s, std::uint16_t word, std::size_t group);
    void notifyIfChanged(const State& before) const;

    State m_state;
};

}  // namespace etc::live
