#include "link/codec.h"

#include <algorithm>

namespace etc::link {

namespace {
std::uint8_t low8(int v) {
    return static_cast<std::uint8_t>(v & 0xFF);
}
void append(Bytes& out, const std::array<std::uint8_t, 2>& two) {
    out.insert(out.end(), two.begin(), two.end());
}
Bytes withSum(Bytes frame) {
    frame.push_back(Sum8(frame));
    return frame;
}
}  // namespace

std::uint8_t Sum8(ByteView bytes) {
    unsigned sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    return static_cast<std::uint8_t>(sum & 0xFF);
}

std::array<std::uint8_t, 2> SignMag16::encode(int v) {
    if (v >= 0)
        return {low8(v / 256), low8(v % 256)};
    const int m = -v;
    return {low8(m / 256 + 128), low8(m % 256)};
}

int SignMag16::decode(std::uint8_t hi, std::uint8_t lo) {
    const int raw = hi * 256 + lo;
    return raw <= 32767 ? raw : -(raw - 32768);
}

std::array<std::uint8_t, 2> Int16BE::encode(int v) {
    const int u = v < 0 ? v + 65536 : v;
    return {low8(u / 256), low8(u % 256)};
}

int Int16BE::decode(std::uint8_t hi, std::uint8_t lo) {
    const int raw = hi * 256 + lo;
    return raw <= 32767 ? raw : raw - 65536;
}

std::array<std::uint8_t, 2> UInt16BE::encode(int v) {
    return {low8(v / 256), low8(v % 256)};
}

int UInt16BE::decode(std::uint8_t hi, std::uint8_t lo) {
    return hi * 256 + lo;
}

std::uint8_t Byte8::encode(int v) {
    return low8(v < 0 ? v + 256 : v);
}

int PairedCellAddress(int column, int row, int base) {
    return base + column / 2 + 8 * (row - 1);
}

namespace request {
Bytes version() {
    return {'V'};
}
Bytes highSpeed() {
    return {'G'};
}
Bytes serialNumber() {
    return {'S'};
}
Bytes livePoll() {
    return {'*'};
}
Bytes lock() {
    return {'L'};
}
Bytes closing() {
    return {'R'};
}
Bytes accessLevels() {
    return withSum({'a', 'A', 'B', 'C', 'D'});
}

Bytes setAccessLevel(int master, int user) {
    Bytes f{'A'};
    append(f, SignMag16::encode(master * 256 + user));
    return withSum(std::move(f));
}

Bytes password(char letter, std::string_view tenBytes) {
    Bytes f{static_cast<std::uint8_t>(letter)};
    for (std::size_t i = 0; i < 10; ++i)
        f.push_back(i < tenBytes.size() ? static_cast<std::uint8_t>(tenBytes[i]) : std::uint8_t{'0'});
    return withSum(std::move(f));
}

Bytes calibration(int step) {
    return withSum({'q', 'A', 'B', 'C', Byte8::encode(step)});
}

Bytes blockRead(int address, int words) {
    Bytes f{'Z'};
    append(f, SignMag16::encode(address));
    append(f, SignMag16::encode(words));
    return withSum(std::move(f));
}

Bytes cellWritePayload(int address, int value, int cellNumber) {
    Bytes p;
    append(p, SignMag16::encode(address));
    p.push_back(Byte8::encode(value));
    p.push_back(low8(cellNumber));
    return p;
}

Bytes cellWrite(char letter, ByteView payload) {
    Bytes f{static_cast<std::uint8_t>(letter)};
    f.insert(f.end(), payload.begin(), payload.end());
    return withSum(std::move(f));
}

Bytes blockWritePayload(int address, ByteView data) {
    Bytes p;
    append(p, SignMag16::encode(static_cast<int>(data.size())));
    append(p, SignMag16::encode(address));
    p.insert(p.end(), data.begin(), data.end());
    return p;
}

Bytes blockWrite(ByteView payload) {
    Bytes f{'E'};
    f.insert(f.end(), payload.begin(), payload.end());
    // The frame's own length bytes say how far it reaches: letter, length, address and N data bytes,
    // then the checksum over them. Payload bytes beyond N are not sent.
    std::size_t covered = f.size();
    if (payload.size() >= 2)
        covered = std::min(f.size(), static_cast<std::size_t>(payload[0] * 256 + payload[1]) + 5);
    f.resize(covered);
    f.push_back(Sum8(f));
    return f;
}
}  // namespace request

bool replyCheck(ByteView reply) {
    if (reply.size() < 2)
        return false;
    return reply.back() == Sum8(reply.first(reply.size() - 1));
}

std::string replyText(ByteView reply) {
    if (reply.size() < 2)
        return {};
    return std::string(reply.begin() + 1, reply.end() - 1);
}

std::int64_t wireTimeNs(std::size_t bytes, int baud) {
    if (baud <= 0)
        return 0;
    return static_cast<std::int64_t>(bytes) * 10 * 1'000'000'000LL / baud;
}

}  // namespace etc::link
