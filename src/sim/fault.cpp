#include "sim/fault.h"

#include <array>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <utility>

namespace etc::sim {

namespace {

constexpr std::array<std::pair<std::string_view, FaultKind>, 5> kKindNames{{
    {"drop", FaultKind::Drop},
    {"corrupt", FaultKind::Corrupt},
    {"nak", FaultKind::Nak},
    {"delay", FaultKind::Delay},
    {"unplug", FaultKind::Unplug},
}};

std::optional<FaultKind> kindFromName(std::string_view name) {
    for (const auto& [text, kind] : kKindNames) {
        if (text.size() != name.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < text.size() && same; ++i)
            same = std::tolower(static_cast<unsigned char>(name[i])) == text[i];
        if (same)
            return kind;
    }
    return std::nullopt;
}

std::optional<int> parsePositive(std::string_view text) {
    int value = 0;
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc{} || ptr != end || value < 1)
        return std::nullopt;
    return value;
}

// Milliseconds, fractions allowed; strtod-like parsing without locale or exceptions.
std::optional<double> parseMilliseconds(std::string_view text) {
    double value = 0;
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (text.empty() || ec != std::errc{} || ptr != end || !std::isfinite(value) || value < 0)
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<Fault> parseFault(std::string_view text) {
    // Positional: the letter may itself be ':', so it is taken as the single character after the
    // first colon rather than by splitting.
    const auto firstColon = text.find(':');
    if (firstColon == std::string_view::npos || firstColon + 2 >= text.size())
        return std::nullopt;
    const auto kind = kindFromName(text.substr(0, firstColon));
    if (!kind)
        return std::nullopt;
    const char letter = text[firstColon + 1];
    if (text[firstColon + 2] != ':')
        return std::nullopt;

    std::string_view rest = text.substr(firstColon + 3);
    std::string_view countText = rest;
    std::optional<std::string_view> msText;
    if (const auto colon = rest.find(':'); colon != std::string_view::npos) {
        countText = rest.substr(0, colon);
        msText = rest.substr(colon + 1);
    }
    const auto nth = parsePositive(countText);
    if (!nth)
        return std::nullopt;

    Fault fault{*kind, letter, *nth, {}};
    if (*kind == FaultKind::Delay) {
        if (!msText)
            return std::nullopt;
        const auto ms = parseMilliseconds(*msText);
        if (!ms)
            return std::nullopt;
        fault.delay =
            std::chrono::duration_cast<link::Duration>(std::chrono::duration<double, std::milli>(*ms));
    } else if (msText) {
        return std::nullopt;
    }
    return fault;
}

}  // namespace etc::sim
