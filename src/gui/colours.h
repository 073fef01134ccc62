// Colours as the module tool numbers them: Windows colour numbers, 0x00BBGGRR (red in the low byte).
#pragma once

#include <QColor>
#include <QString>
#include <cstdint>

namespace etc::gui {

[[nodiscard]] inline QColor windowsColour(std::uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFFu), static_cast<int>((bgr >> 8) & 0xFFu),
                  static_cast<int>((bgr >> 16) & 0xFFu));
}

// "#rrggbb" for style sheets.
[[nodiscard]] inline QString cssColour(std::uint32_t bgr) {
    return windowsColour(bgr).name(QColor::HexRgb);
}

inline constexpr std::uint32_t kOrange = 2659583;  // the main window's background and the splash strip
inline constexpr std::uint32_t kSilver = 12632256;
inline constexpr std::uint32_t kWhite = 0xFFFFFF;
inline constexpr std::uint32_t kYellow = 0x00FFFF;
inline constexpr std::uint32_t kBlack = 0;

}  // namespace etc::gui
