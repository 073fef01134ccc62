// The settings image: the tool's one copy of the module's settings words, as typed values in
// engineering units, with the codec of every block.
//
// Fields are named after the controls that show them (less the component prefix). Scalars are held as
// doubles: numbers in their unit, check boxes 0/1, choices their item index. A value set through
// setValue is kept as given (the screens keep it inside the field's range); only encoding rounds, to
// the nearest integer with halves to even. Decoding never fails for a byte string of the block's size.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/codec.h"
#include "settings/block_map.h"

namespace etc::settings {

enum class FieldKind { Number, CheckBox, Choice };

struct FieldInfo {
    std::string_view name;
    Block block;
    FieldKind kind;
    double minimum;
    double maximum;
    double step;
    int decimals;
    int items;  // choices: the item count; 0 otherwise
    // Rx_n and ID_11Bit_n are the opposites of Tx_n and ID_29Bit_n: reading one gives the opposite of
    // its partner, setting one sets the partner to the opposite. They have no bits of their own.
    bool complement = false;
};

class SettingsImage {
  public:
    enum class Table {
        Throttle_response_curve_1,
        Throttle_response_curve_2,
        Throttle_limit,
        openloop_idle,
        PositieveSollwert
    };

    static constexpr int kCurvePoints = 21;  // columns of the curves, Throttle_limit, openloop_idle
    static constexpr int kPositieveSollwertCells = 255;  // columns 0..254 hold cells 1..255
    static constexpr int kCalibrationWordCount = 128;
    static constexpr int kControlLoopBytes = 36;  // P_versterking .. Dvtime_neg at the head of the ETC block

    // Start values: every table cell and both stored user curves 0, beginwaarde 400, the RPM axis
    // 500..10500, the CAN defaults of the CAN page, everything else 0 or its first item. TPS 1 limits
    // 0..5000 until a calibration block is decoded.
    SettingsImage();

    [[nodiscard]] BlockMap& blockMap() { return m_blockMap; }
    [[nodiscard]] const BlockMap& blockMap() const { return m_blockMap; }

    // Block codecs. Sizes come from the fixed layout (BlockMap::layout), so the codecs work whether or
    // not the block map has been set; the callers refuse transfers while it is empty.
    // decode requires exactly 2 * words bytes (otherwise it returns false and changes nothing), sets the
    // block's fields and runs the block's follow-up rule (curve redraw, axis headers, TPS 1 limits).
    [[nodiscard]] bool decode(Block block, link::ByteView bytes);
    // The block's 2 * words bytes, unused bytes 0. The curve blocks carry the stored user curves; the
    // last word of the CAN channel block is 256 while the CAN changed flag is set, else 0.
    // An unknown block gives an empty string.
    [[nodiscard]] link::Bytes encode(Block block) const;
    // Only P_versterking .. Dvtime_neg from the first 36 bytes of an ETC block (a predefined setting).
    // Longer input is accepted and the rest ignored; shorter input changes nothing and gives false.
    bool decodeControlLoop(link::ByteView first36Bytes);

    // Scalar fields by name. setValue gives false for an unknown name.
    [[nodiscard]] std::optional<double> value(std::string_view name) const;
    bool setValue(std::string_view name, double v);
    // Every scalar field in block order with the range of its control.
    [[nodiscard]] static const std::vector<FieldInfo>& fields();
    // As in fields(), except that Min_value_TPS1 and Max_value_TPS1 carry the current TPS 1 limits.
    [[nodiscard]] std::optional<FieldInfo> field(std::string_view name) const;
    // The item texts of a choice field (empty for other fields and unknown names).
    [[nodiscard]] static std::span<const std::string_view> items(std::string_view name);

    // Tables: 21 columns, PositieveSollwert 255. Columns outside the table read 0 and are not written.
    // setCell changes the grid only; an edit of a response curve also sets the stored user curve
    // through setUserCurve.
    [[nodiscard]] static int columns(Table table);
    [[nodiscard]] double cell(Table table, int column) const;
    void setCell(Table table, int column, double v);

    // The stored user curves (curve 1 or 2): wire values, value * 2. Other curve numbers read curve 1
    // and are not written.
    [[nodiscard]] const std::array<std::uint8_t, kCurvePoints>& userCurve(int curve) const;
    void setUserCurve(int curve, const std::array<std::uint8_t, kCurvePoints>& points);
    // Regenerates the grid of curve 1 or 2 from its response type: Lineair, E-log, or (type 2 and
    // higher) the stored user curve / 2.
    void redrawCurve(int curve);
    // The curve's warning panel is shown while some cell is smaller than the one to its left.
    [[nodiscard]] bool curveWarning(int curve) const;
    [[nodiscard]] static std::string_view curveWarningText(int curve);

    // Column headers: the curves "    0" .. " 100%", Throttle_limit the RPM axis as it was last taken
    // over (start, RPM block decode, refreshThrottleLimitAxis), openloop_idle beginwaarde + 20 * column,
    // PositieveSollwert the cell numbers "1".."255".
    [[nodiscard]] std::vector<std::string> axisHeaders(Table table) const;
    // Takes RPM_Range_Row1..21 into the Throttle_limit headers (end of a download sequence, an offline
    // ETC "Send" or Options "Ok"). Edits of the RPM rows alone do not move the headers.
    void refreshThrottleLimitAxis();

    // The calibration block as decoded; words 30 and 31 are the TPS 1 limits.
    [[nodiscard]] const std::array<std::uint16_t, kCalibrationWordCount>& calibrationWords() const {
        return m_calibration;
    }
    struct Limits {
        double minimum;
        double maximum;
        std::string hint;
        friend bool operator==(const Limits&, const Limits&) = default;
    };
    // Min_value_TPS1 and Max_value_TPS1: 0..5000 "0...5000" until a calibration block is decoded,
    // then w30..w31 "w30...w31".
    [[nodiscard]] Limits tps1Limits() const { return m_tps1Limits; }
    // The manual TPS 1 maximum of the calibration: 0..5000 "0...5000", then maximum w31 with the hint
    // "(w30 + 1000)...w31"; its minimum stays.
    [[nodiscard]] Limits hulpMaxTps1Limits() const { return m_hulpMaxTps1Limits; }

    // The CAN changed flag of the download context, written into the CAN channel block.
    [[nodiscard]] bool canChanged() const { return m_canChanged; }
    void setCanChanged(bool on) { m_canChanged = on; }

    // Called after every change the screens show: decode, setValue, setCell, setUserCurve, redraw.
    std::function<void()> changed;

  private:
    std::array<double, kCurvePoints>* curveGrid(int curve);
    const std::array<double, kCurvePoints>* curveGrid(int curve) const;
    // Decodes the block's fields that lie wholly within the first byteLimit bytes.
    void decodeFields(Block block, link::ByteView bytes, std::size_t byteLimit);
    void encodeFields(Block block, link::Bytes& out) const;
    void takeCalibrationLimits();
    void regenerateCurve(int curve);
    void takeThrottleLimitAxis();
    void notify() const;

    BlockMap m_blockMap;
    std::vector<double> m_values;  // indexed like fields()
    std::array<std::array<double, kCurvePoints>, 2> m_curves{};
    std::array<std::array<std::uint8_t, kCurvePoints>, 2> m_userCurves{};
    std::array<double, kCurvePoints> m_throttleLimit{};
    std::array<double, kCurvePoints> m_openloopIdle{};
    std::array<double, kPositieveSollwertCells> m_positieveSollwert{};
    std::array<std::uint16_t, kCalibrationWordCount> m_calibration{};
    std::vector<std::string> m_throttleLimitHeaders;
    Limits m_tps1Limits;
    Limits m_hulpMaxTps1Limits;
    bool m_canChanged = false;
};

}  // namespace etc::settings
