#include "settings/settings_image.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "settings/field_table.h"
#include "settings/settings_texts.h"

namespace etc::settings {

namespace {

using detail::Codec;
using detail::FieldDef;
using detail::fieldTable;

// Round to the nearest integer, halves to even (the default rounding mode), for the wire. Values that
// do not fit (only possible outside every field's range) saturate; NaN gives 0.
std::int64_t wireInt64(double v) {
    if (std::isnan(v))
        return 0;
    const double r = std::nearbyint(v);
    constexpr double kLimit = 9.0e18;
    return static_cast<std::int64_t>(std::clamp(r, -kLimit, kLimit));
}

int wireInt(double v) {
    return static_cast<int>(std::clamp<std::int64_t>(wireInt64(v), std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

std::uint8_t low8(std::int64_t v) {
    return static_cast<std::uint8_t>(v & 0xFF);
}

void putWord(link::Bytes& out, std::size_t at, int word) {
    const auto two = link::UInt16BE::encode(word);
    out[at] = two[0];
    out[at + 1] = two[1];
}

int getWord(link::ByteView bytes, std::size_t at) {
    return link::UInt16BE::decode(bytes[at], bytes[at + 1]);
}

constexpr int kS24Size = 0x1000000;
constexpr int kS24PositiveLimit = 0x800000;
constexpr int kModeOffCode = 64;
constexpr int kChannelNameDirectCodes = 5;  // indexes below this travel as themselves
constexpr int kChannelNameCodeShift = 95;
constexpr int kChannelNameFirstShiftedCode = 100;
constexpr int kIdleStartBase = 400;
constexpr int kIdleStartStep = 20;
constexpr int kCanChangedFlagWord = 256;
constexpr std::size_t kCanChangedFlagOffset = 252;
constexpr double kTps1StartMaximum = 5000;
constexpr int kHulpMaxTps1Margin = 1000;  // the manual TPS 1 maximum lies this far above the minimum
constexpr std::size_t kTps1LowerWord = 30;
constexpr std::size_t kTps1UpperWord = 31;

// E-log response curve, cells 0..20.
constexpr std::array<double, SettingsImage::kCurvePoints> kElogCurve{
    0, 2, 4, 6, 8.5, 11, 14.5, 17, 20.5, 24, 28.5, 33.5, 38.5, 43.5, 50, 56.5, 64, 72, 80.5, 90.5, 100};

int byteWidth(Codec codec) {
    switch (codec) {
        case Codec::Word:
        case Codec::WordBit:
        case Codec::IdleStart:
            return 2;
        case Codec::S24:
            return 3;
        case Codec::U32:
            return 4;
        case Codec::Complement:
            return 0;
        default:
            return 1;
    }
}

double scaled(const FieldDef& d, std::int64_t raw) {
    return static_cast<double>(raw * d.multiplier) / d.divisor + d.shift;
}

std::int64_t unscaled(const FieldDef& d, double v) {
    return wireInt64((v - d.shift) * d.divisor / d.multiplier);
}

int lastIndex(const FieldDef& d) {
    return d.info.items - 1;
}

double decodeField(const FieldDef& d, link::ByteView bytes) {
    const auto at = static_cast<std::size_t>(d.offset);
    switch (d.codec) {
        case Codec::Byte:
            return scaled(d, bytes[at]);
        case Codec::Word:
            return scaled(d, getWord(bytes, at));
        case Codec::CheckByte:
            return bytes[at] == 1 ? 1 : 0;
        case Codec::Choice:
            return std::min<int>(bytes[at], lastIndex(d));
        case Codec::ModeCode: {
            const int code = std::min<int>(bytes[at], lastIndex(d));
            return code == kModeOffCode ? 0 : code + 1;
        }
        case Codec::ChannelCode: {
            const int code = bytes[at];
            const int index = code < kChannelNameFirstShiftedCode ? code : code - kChannelNameCodeShift;
            return std::min(index, lastIndex(d));
        }
        case Codec::FlagBit:
            return (bytes[at] >> d.bit) & 1;
        case Codec::WordBit:
            return (getWord(bytes, at) >> d.bit) & 1;
        case Codec::S24: {
            const int u = (bytes[at] << 16) | (bytes[at + 1] << 8) | bytes[at + 2];
            return scaled(d, u <= kS24PositiveLimit ? u : u - kS24Size);
        }
        case Codec::U32: {
            const std::int64_t u = (std::int64_t{bytes[at]} << 24) | (std::int64_t{bytes[at + 1]} << 16) |
                                   (std::int64_t{bytes[at + 2]} << 8) | std::int64_t{bytes[at + 3]};
            return scaled(d, u);
        }
        case Codec::IdleStart:
            // The inverse of the encoding over the whole word. In range the first byte is always 0.
            return kIdleStartBase + kIdleStartStep * getWord(bytes, at);
        case Codec::Complement:
            break;
    }
    return 0;
}

void encodeField(const FieldDef& d, double v, link::Bytes& out) {
    const auto at = static_cast<std::size_t>(d.offset);
    const bool checked = v != 0;
    switch (d.codec) {
        case Codec::Byte:
            out[at] = link::Byte8::encode(static_cast<int>(unscaled(d, v) & 0xFF));
            break;
        case Codec::Word:
            putWord(out, at, static_cast<int>(unscaled(d, v) & 0xFFFF));
            break;
        case Codec::CheckByte:
            out[at] = checked ? 1 : 0;
            break;
        case Codec::Choice:
            out[at] = low8(wireInt(v));
            break;
        case Codec::ModeCode: {
            const int index = wireInt(v);
            out[at] = low8(index <= 0 ? kModeOffCode : index - 1);
            break;
        }
        case Codec::ChannelCode: {
            const int index = wireInt(v);
            out[at] = low8(index < kChannelNameDirectCodes ? index : index + kChannelNameCodeShift);
            break;
        }
        case Codec::FlagBit:
            if (checked)
                out[at] = static_cast<std::uint8_t>(out[at] | (1 << d.bit));
            break;
        case Codec::WordBit:
            if (checked)
                putWord(out, at, getWord(out, at) | (1 << d.bit));
            break;
        case Codec::S24: {
            std::int64_t r = unscaled(d, v);
            if (r < 0)
                r += kS24Size;
            out[at] = low8(r >> 16);
            out[at + 1] = low8(r >> 8);
            out[at + 2] = low8(r);
            break;
        }
        case Codec::U32: {
            const std::int64_t r = unscaled(d, v);
            out[at] = low8(r >> 24);
            out[at + 1] = low8(r >> 16);
            out[at + 2] = low8(r >> 8);
            out[at + 3] = low8(r);
            break;
        }
        case Codec::IdleStart: {
            // Rounded twice, as the download writes it: first to whole RPM, then to steps of 20.
            const int rpm = wireInt(v - kIdleStartBase);
            putWord(out, at, wireInt(static_cast<double>(rpm) / kIdleStartStep) & 0xFFFF);
            break;
        }
        case Codec::Complement:
            break;
    }
}

std::size_t blockBytes(Block block) {
    return 2 * static_cast<std::size_t>(BlockMap::layout(block).words);
}

// Half-percent table cells: one byte each, value * 2.
void decodeHalfCells(link::ByteView bytes, std::array<double, SettingsImage::kCurvePoints>& cells) {
    for (std::size_t c = 0; c < cells.size(); ++c)
        cells[c] = bytes[c] / 2.0;
}

void encodeHalfCells(const std::array<double, SettingsImage::kCurvePoints>& cells, link::Bytes& out) {
    for (std::size_t c = 0; c < cells.size(); ++c)
        out[c] = low8(wireInt64(cells[c] * 2));
}

std::string limitsHint(int lower, int upper) {
    return std::to_string(lower) + std::string(kHintSeparator) + std::to_string(upper);
}

int curveIndex(int curve) {
    return curve == 2 ? 1 : 0;
}

}  // namespace

SettingsImage::SettingsImage()
    : m_tps1Limits{0, kTps1StartMaximum, limitsHint(0, static_cast<int>(kTps1StartMaximum))},
      m_hulpMaxTps1Limits{0, kTps1StartMaximum, limitsHint(0, static_cast<int>(kTps1StartMaximum))} {
    const auto& defs = fieldTable().defs();
    m_values.reserve(defs.size());
    for (const FieldDef& d : defs)
        m_values.push_back(d.start);
    m_throttleLimitHeaders.resize(kCurvePoints);
    takeThrottleLimitAxis();
}

const std::vector<FieldInfo>& SettingsImage::fields() {
    return fieldTable().infos();
}

std::optional<FieldInfo> SettingsImage::field(std::string_view name) const {
    const auto index = fieldTable().find(name);
    if (!index)
        return std::nullopt;
    FieldInfo info = fieldTable().infos()[*index];
    if (name == "Min_value_TPS1" || name == "Max_value_TPS1") {
        info.minimum = m_tps1Limits.minimum;
        info.maximum = m_tps1Limits.maximum;
    }
    return info;
}

std::span<const std::string_view> SettingsImage::items(std::string_view name) {
    const auto index = fieldTable().find(name);
    if (!index)
        return {};
    return fieldTable().defs()[*index].itemTexts;
}

std::optional<double> SettingsImage::value(std::string_view name) const {
    const auto index = fieldTable().find(name);
    if (!index)
        return std::nullopt;
    const FieldDef& d = fieldTable().defs()[*index];
    if (d.codec == Codec::Complement)
        return m_values[static_cast<std::size_t>(d.bit)] != 0 ? 0.0 : 1.0;
    return m_values[*index];
}

bool SettingsImage::setValue(std::string_view name, double v) {
    const auto index = fieldTable().find(name);
    if (!index)
        return false;
    const FieldDef& d = fieldTable().defs()[*index];
    if (d.codec == Codec::Complement)
        m_values[static_cast<std::size_t>(d.bit)] = v != 0 ? 0.0 : 1.0;
    else
        m_values[*index] = v;
    notify();
    return true;
}

void SettingsImage::decodeFields(Block block, link::ByteView bytes, std::size_t byteLimit) {
    const auto& defs = fieldTable().defs();
    for (std::size_t index : fieldTable().ofBlock(block)) {
        const FieldDef& d = defs[index];
        if (d.codec == Codec::Complement)
            continue;
        if (static_cast<std::size_t>(d.offset + byteWidth(d.codec)) > byteLimit)
            continue;
        m_values[index] = decodeField(d, bytes);
    }
}

void SettingsImage::encodeFields(Block block, link::Bytes& out) const {
    const auto& defs = fieldTable().defs();
    for (std::size_t index : fieldTable().ofBlock(block))
        encodeField(defs[index], m_values[index], out);
}

bool SettingsImage::decode(Block block, link::ByteView bytes) {
    const std::size_t size = blockBytes(block);
    if (size == 0 || bytes.size() != size)
        return false;
    switch (block) {
        case Block::Curve1:
        case Block::Curve2: {
            const int c = block == Block::Curve1 ? 0 : 1;
            std::copy_n(bytes.begin(), kCurvePoints, m_userCurves[static_cast<std::size_t>(c)].begin());
            decodeHalfCells(bytes, m_curves[static_cast<std::size_t>(c)]);
            break;
        }
        case Block::CurveOptions:
            decodeFields(block, bytes, size);
            regenerateCurve(1);
            regenerateCurve(2);
            break;
        case Block::ThrottleLimit:
            decodeHalfCells(bytes, m_throttleLimit);
            break;
        case Block::IdleTable:
            decodeHalfCells(bytes, m_openloopIdle);
            break;
        case Block::PedalCorrection:
            for (std::size_t k = 0; k < m_positieveSollwert.size(); ++k)
                m_positieveSollwert[k] = link::Int16BE::decode(bytes[2 * k], bytes[2 * k + 1]);
            break;
        case Block::Rpm:
            decodeFields(block, bytes, size);
            takeThrottleLimitAxis();
            break;
        case Block::Calibration:
            for (std::size_t w = 0; w < m_calibration.size(); ++w)
                m_calibration[w] = static_cast<std::uint16_t>(getWord(bytes, 2 * w));
            takeCalibrationLimits();
            break;
        default:
            // Scalar blocks; the idle axis follows beginwaarde by itself.
            decodeFields(block, bytes, size);
            break;
    }
    notify();
    return true;
}

link::Bytes SettingsImage::encode(Block block) const {
    link::Bytes out(blockBytes(block), 0);
    if (out.empty())
        return out;
    switch (block) {
        case Block::Curve1:
        case Block::Curve2: {
            const auto& points = m_userCurves[block == Block::Curve1 ? 0 : 1];
            std::copy(points.begin(), points.end(), out.begin());
            break;
        }
        case Block::ThrottleLimit:
            encodeHalfCells(m_throttleLimit, out);
            break;
        case Block::IdleTable:
            encodeHalfCells(m_openloopIdle, out);
            break;
        case Block::PedalCorrection:
            for (std::size_t k = 0; k < m_positieveSollwert.size(); ++k) {
                const auto two = link::Int16BE::encode(wireInt(m_positieveSollwert[k]));
                out[2 * k] = two[0];
                out[2 * k + 1] = two[1];
            }
            break;
        case Block::Calibration:
            for (std::size_t w = 0; w < m_calibration.size(); ++w)
                putWord(out, 2 * w, m_calibration[w]);
            break;
        case Block::CanChannels:
            encodeFields(block, out);
            putWord(out, kCanChangedFlagOffset, m_canChanged ? kCanChangedFlagWord : 0);
            break;
        default:
            encodeFields(block, out);
            break;
    }
    return out;
}

bool SettingsImage::decodeControlLoop(link::ByteView first36Bytes) {
    if (first36Bytes.size() < kControlLoopBytes)
        return false;
    decodeFields(Block::Etc, first36Bytes, kControlLoopBytes);
    notify();
    return true;
}

int SettingsImage::columns(Table table) {
    return table == Table::PositieveSollwert ? kPositieveSollwertCells : kCurvePoints;
}

double SettingsImage::cell(Table table, int column) const {
    if (column < 0 || column >= columns(table))
        return 0;
    const auto c = static_cast<std::size_t>(column);
    switch (table) {
        case Table::Throttle_response_curve_1:
            return m_curves[0][c];
        case Table::Throttle_response_curve_2:
            return m_curves[1][c];
        case Table::Throttle_limit:
            return m_throttleLimit[c];
        case Table::openloop_idle:
            return m_openloopIdle[c];
        case Table::PositieveSollwert:
            return m_positieveSollwert[c];
    }
    return 0;
}

void SettingsImage::setCell(Table table, int column, double v) {
    if (column < 0 || column >= columns(table))
        return;
    const auto c = static_cast<std::size_t>(column);
    switch (table) {
        case Table::Throttle_response_curve_1:
            m_curves[0][c] = v;
            break;
        case Table::Throttle_response_curve_2:
            m_curves[1][c] = v;
            break;
        case Table::Throttle_limit:
            m_throttleLimit[c] = v;
            break;
        case Table::openloop_idle:
            m_openloopIdle[c] = v;
            break;
        case Table::PositieveSollwert:
            m_positieveSollwert[c] = v;
            break;
    }
    notify();
}

const std::array<std::uint8_t, SettingsImage::kCurvePoints>& SettingsImage::userCurve(int curve) const {
    return m_userCurves[static_cast<std::size_t>(curveIndex(curve))];
}

void SettingsImage::setUserCurve(int curve, const std::array<std::uint8_t, kCurvePoints>& points) {
    if (curve != 1 && curve != 2)
        return;
    m_userCurves[static_cast<std::size_t>(curveIndex(curve))] = points;
    notify();
}

std::array<double, SettingsImage::kCurvePoints>* SettingsImage::curveGrid(int curve) {
    if (curve != 1 && curve != 2)
        return nullptr;
    return &m_curves[static_cast<std::size_t>(curveIndex(curve))];
}

const std::array<double, SettingsImage::kCurvePoints>* SettingsImage::curveGrid(int curve) const {
    if (curve != 1 && curve != 2)
        return nullptr;
    return &m_curves[static_cast<std::size_t>(curveIndex(curve))];
}

void SettingsImage::redrawCurve(int curve) {
    regenerateCurve(curve);
    notify();
}

void SettingsImage::regenerateCurve(int curve) {
    auto* grid = curveGrid(curve);
    if (!grid)
        return;
    const double type = *value(curve == 1 ? "throttle_response_type_1" : "throttle_response_type_2");
    const int index = wireInt(type);
    for (std::size_t c = 0; c < grid->size(); ++c) {
        if (index <= 0)
            (*grid)[c] = 5.0 * static_cast<double>(c);
        else if (index == 1)
            (*grid)[c] = kElogCurve[c];
        else
            (*grid)[c] = userCurve(curve)[c] / 2.0;
    }
}

bool SettingsImage::curveWarning(int curve) const {
    const auto* grid = curveGrid(curve);
    if (!grid)
        return false;
    for (std::size_t c = 0; c + 1 < grid->size(); ++c)
        if ((*grid)[c + 1] < (*grid)[c])
            return true;
    return false;
}

std::string_view SettingsImage::curveWarningText(int curve) {
    return curve == 2 ? kCurve2WarningText : kCurve1WarningText;
}

std::vector<std::string> SettingsImage::axisHeaders(Table table) const {
    std::vector<std::string> headers;
    switch (table) {
        case Table::Throttle_response_curve_1:
        case Table::Throttle_response_curve_2:
            // Pedal position in steps of 5 %, right-aligned in five characters; the last carries the unit.
            for (int c = 0; c < kCurvePoints - 1; ++c) {
                const std::string number = std::to_string(5 * c);
                headers.push_back(std::string(5 - number.size(), ' ') + number);
            }
            headers.emplace_back(" 100%");
            break;
        case Table::Throttle_limit:
            headers = m_throttleLimitHeaders;
            break;
        case Table::openloop_idle: {
            int rpm = wireInt(*value("beginwaarde"));
            for (int c = 0; c < kCurvePoints; ++c, rpm += kIdleStartStep)
                headers.push_back(std::to_string(rpm));
            break;
        }
        case Table::PositieveSollwert:
            for (int k = 1; k <= kPositieveSollwertCells; ++k)
                headers.push_back(std::to_string(k));
            break;
    }
    return headers;
}

void SettingsImage::refreshThrottleLimitAxis() {
    takeThrottleLimitAxis();
    notify();
}

void SettingsImage::takeThrottleLimitAxis() {
    for (int k = 1; k <= kCurvePoints; ++k)
        m_throttleLimitHeaders[static_cast<std::size_t>(k - 1)] =
            std::to_string(wireInt(*value("RPM_Range_Row" + std::to_string(k))));
}

void SettingsImage::takeCalibrationLimits() {
    const int lower = m_calibration[kTps1LowerWord];
    const int upper = m_calibration[kTps1UpperWord];
    m_tps1Limits = {static_cast<double>(lower), static_cast<double>(upper), limitsHint(lower, upper)};
    m_hulpMaxTps1Limits.maximum = upper;
    m_hulpMaxTps1Limits.hint = limitsHint(lower + kHulpMaxTps1Margin, upper);
}

void SettingsImage::notify() const {
    if (changed)
        changed();
}

}  // namespace etc::settings
