// "com.ini": the port name kept from one run to the next, and the choice of the port at start.
//
// The file is two fixed records of 21 bytes: a length byte (0..20) and 20 character bytes, of which
// those after the text are 0. Record 1 holds the port name, record 2 the text "Fast" (written on every
// save, ignored when read).
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace etc::link {

inline constexpr std::string_view kComIniFileName = "com.ini";
inline constexpr std::string_view kDefaultPortName = "COM1";
inline constexpr std::string_view kComIniSecondRecord = "Fast";
inline constexpr std::size_t kComIniTextLength = 20;
inline constexpr std::size_t kComIniRecordLength = kComIniTextLength + 1;

// What could be read. A record counts as read only when all 21 bytes are there and its length byte
// is at most 20: a larger length byte cannot come from this tool, so the record is taken as
// unreadable rather than guessed at, and reading stops there.
struct ComIniContent {
    std::optional<std::string> portName;  // record 1's text
    bool secondRecordRead = false;

    // Both records read: the command line is not consulted.
    [[nodiscard]] bool complete() const { return portName.has_value() && secondRecordRead; }
};

[[nodiscard]] ComIniContent readComIni(const std::filesystem::path& path);

// Rewrites the file: record 1 = the name cut to its first 20 characters, record 2 = "Fast". False when
// the file could not be created or written.
[[nodiscard]] bool writeComIni(const std::filesystem::path& path, std::string_view portName);

// The port name to use at start. "COM1", replaced by record 1's text when that was read. When the
// file could not be read completely (missing, or fewer than two records), the first two command-line
// arguments may choose a port: "-1" to "-9" give "COM1" to "COM9", the higher digit winning when both
// arguments match. `args` are the arguments after the program name; those beyond the second are not
// looked at.
[[nodiscard]] std::string resolvePortName(const std::filesystem::path& comIniPath,
                                          std::span<const std::string> args);

}  // namespace etc::link
