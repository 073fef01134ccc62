#include "live/errors_window.h"

#include <cstdio>

namespace etc::live {

namespace {

constexpr int kBitsPerWord = 16;
constexpr std::size_t kConditionsPerWord = 8;

std::string numbered(std::string_view prefix, std::size_t condition) {
    char digits[24];
    std::snprintf(digits, sizeof digits, "%02zu", condition);
    return std::string(prefix) + digits;
}

}  // namespace

std::string indicatorName(std::size_t condition) {
    return numbered("AdvSmoothStatusIndicator_error_", condition);
}

std::string messageLabelName(std::size_t condition) {
    return numbered("Label_Error_message_", condition);
}

void ErrorsWindow::showErrors(std::uint16_t word1, std::uint16_t word2, std::uint16_t word3) {
    const State before = m_state;
    const ErrorWords words{word1, word2, word3};
    if (!m_state.shown) {
        m_state.remembered = words;
    } else if (words == m_state.remembered) {
        return;
    }
    for (std::size_t g = 0; g < kErrorWordCount; ++g) {
        apply(m_state, words[g], g + 1);
    }
    notifyIfChanged(before);
}

void ErrorsWindow::apply(State& s, std::uint16_t word, std::size_t group) {
    if (word > 0) {
        s.shown = true;
    }
    for (int bit = kBitsPerWord - 1; bit >= 0; --bit) {
        if (((word >> bit) & 1u) == 0) {
            continue;
        }
        const auto b = static_cast<std::size_t>(bit);
        const std::size_t condition = kConditionsPerWord * (group - 1) + b % kConditionsPerWord;
        s.marks[condition] = b >= kConditionsPerWord ? ConditionMark::Warning : ConditionMark::Error;
    }
}

void ErrorsWindow::clearMessage() {
    const State before = m_state;
    m_state.marks.fill(ConditionMark::Hidden);
    m_state.shown = false;
    notifyIfChanged(before);
}

void ErrorsWindow::close() {
    const State before = m_state;
    m_state.shown = false;
    notifyIfChanged(before);
}

ConditionMark ErrorsWindow::mark(std::size_t condition) const {
    return condition < kConditionCount ? m_state.marks[condition] : ConditionMark::Hidden;
}

void ErrorsWindow::notifyIfChanged(const State& before) const {
    if (m_state != before && changed) {
        changed();
    }
}

}  // namespace etc::live
