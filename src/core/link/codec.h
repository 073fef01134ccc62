// Frame codec and value encodings of the module's serial protocol.
//
// Pure functions over byte strings. Module words travel high byte first and module addresses count
// 16-bit words. Encoders keep only the low 8 bits of every byte they produce, so values outside an
// encoding's range do not round-trip (for example SignMag16 of -32768 gives 00 00).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace etc::link {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// Checksum: the arithmetic sum of the bytes reduced to its low 8 bits.
[[nodiscard]] std::uint8_t Sum8(ByteView bytes);

// Sign and magnitude: top bit of the high byte is the sign; 0x8000 decodes to 0.
struct SignMag16 {
    [[nodiscard]] static std::array<std::uint8_t, 2> encode(int v);
    [[nodiscard]] static int decode(std::uint8_t hi, std::uint8_t lo);
};

// Two's complement, high byte first.
struct Int16BE {
    [[nodiscard]] static std::array<std::uint8_t, 2> encode(int v);
    [[nodiscard]] static int decode(std::uint8_t hi, std::uint8_t lo);
};

struct UInt16BE {
    [[nodiscard]] static std::array<std::uint8_t, 2> encode(int v);
    [[nodiscard]] static int decode(std::uint8_t hi, std::uint8_t lo);
};

// One byte; negative values become v + 256. How a byte decodes (signed or not) is the field's business.
struct Byte8 {
    [[nodiscard]] static std::uint8_t encode(int v);
    [[nodiscard]] static int decodeUnsigned(std::uint8_t b) { return b; }
    [[nodiscard]] static int decodeSigned(std::uint8_t b) { return b >= 128 ? b - 256 : b; }
};

// Word address of a byte-sized table cell: two cells share one word, eight words per row.
// The data row of a one-row table is row 1. Address arithmetic truncates.
[[nodiscard]] int PairedCellAddress(int column, int row, int base);

// Request builders: each returns the complete frame as it goes on the wire.
namespace request {
[[nodiscard]] Bytes version();       // "V"
[[nodiscard]] Bytes highSpeed();     // "G"
[[nodiscard]] Bytes serialNumber();  // "S"
[[nodiscard]] Bytes livePoll();      // "*"
[[nodiscard]] Bytes lock();          // "L"
[[nodiscard]] Bytes closing();       // "R"
[[nodiscard]] Bytes accessLevels();  // "a" "A" "B" "C" "D" Sum8
// "A": the two level bytes are SignMag16 of master * 256 + user.
[[nodiscard]] Bytes setAccessLevel(int master, int user);
// "P" (new password) or "p" (password check); exactly ten password bytes.
[[nodiscard]] Bytes password(char letter, std::string_view tenBytes);
[[nodiscard]] Bytes calibration(int step);              // "q" "A" "B" "C" step Sum8
[[nodiscard]] Bytes blockRead(int address, int words);  // "Z"
// "B" or "C" with a prepared payload: address (SignMag16), value (Byte8), cell number.
[[nodiscard]] Bytes cellWrite(char letter, ByteView payload);
// The payload of a cell write.
[[nodiscard]] Bytes cellWritePayload(int address, int value, int cellNumber);
// "E" with a prepared payload: length N (SignMag16), address (SignMag16), N data bytes. The checksum
// covers letter and N + 4 payload bytes, N taken from the payload's own two length bytes.
[[nodiscard]] Bytes blockWrite(ByteView payload);
[[nodiscard]] Bytes blockWritePayload(int address, ByteView data);
}  // namespace request

// Reply check: the last byte equals Sum8 of all bytes before it. Applied to the whole buffer, so stray
// bytes make it fail. A buffer shorter than two bytes fails.
[[nodiscard]] bool replyCheck(ByteView reply);
// The characters between the first and the last byte.
[[nodiscard]] std::string replyText(ByteView reply);

// Frame lengths of the replies the tool relies on.
inline constexpr std::size_t kLiveFrameLength = 66;
inline constexpr std::size_t kVersionReplyMin = 11;
inline constexpr std::size_t kSerialReplyMin = 8;
inline constexpr std::size_t kLevelsReplyMin = 4;
inline constexpr std::size_t kAnswerReplyMin = 4;  // "A", "P", "p": letter, "OK"/"NO", Sum8
inline constexpr std::size_t kCalibrationReplyMin = 3;
[[nodiscard]] inline constexpr std::size_t blockReplyLength(int words) {
    return 2 * static_cast<std::size_t>(words) + 2;
}

// Wire time of n bytes at the given line speed: 8N1 is ten bit times a byte.
[[nodiscard]] std::int64_t wireTimeNs(std::size_t bytes, int baud);

}  // namespace etc::link
