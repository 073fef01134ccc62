#include "link/com_ini.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>

namespace etc::link {

namespace {

using Record = std::array<char, kComIniRecordLength>;

// A port argument "-N" chooses the port "COM" followed by the same digit.
constexpr std::string_view kPortPrefix = "COM";

std::optional<std::string> readRecord(std::istream& in) {
    Record record{};
    if (!in.read(record.data(), static_cast<std::streamsize>(record.size()))) {
        return std::nullopt;
    }
    const auto length = static_cast<std::uint8_t>(record[0]);
    if (length > kComIniTextLength) {
        return std::nullopt;
    }
    return std::string(record.data() + 1, length);
}

Record makeRecord(std::string_view text) {
    Record record{};  // bytes after the text stay 0
    const std::string_view kept = text.substr(0, kComIniTextLength);
    record[0] = static_cast<char>(kept.size());
    kept.copy(record.data() + 1, kept.size());
    return record;
}

}  // namespace

ComIniContent readComIni(const std::filesystem::path& path) {
    ComIniContent content;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return content;
    }
    content.portName = readRecord(in);
    if (content.portName) {
        content.secondRecordRead = readRecord(in).has_value();
    }
    return content;
}

bool writeComIni(const std::filesystem::path& path, std::string_view portName) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        return false;
    }
    for (const Record& record : {makeRecord(portName), makeRecord(kComIniSecondRecord)}) {
        out.write(record.data(), static_cast<std::streamsize>(record.size()));
    }
    out.close();
    return !out.fail();
}

std::string resolvePortName(const std::filesystem::path& comIniPath, std::span<const std::string> args) {
    const ComIniContent content = readComIni(comIniPath);
    std::string name = content.portName.value_or(std::string(kDefaultPortName));
    if (content.complete()) {
        return name;
    }
    const std::size_t looked = std::min<std::size_t>(args.size(), 2);
    for (char digit = '1'; digit <= '9'; ++digit) {
        const std::string option{'-', digit};
        for (std::size_t i = 0; i < looked; ++i) {
            if (args[i] == option) {
                name = std::string(kPortPrefix) + digit;
            }
        }
    }
    return name;
}

}  // namespace etc::link
