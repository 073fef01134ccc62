#include "settings/field_table.h"

#include <algorithm>
#include <iterator>

#include "settings/settings_texts.h"

namespace etc::settings::detail {

namespace {

std::size_t blockPosition(Block block) {
    const auto it = std::find(kBlocks.begin(), kBlocks.end(), block);
    return static_cast<std::size_t>(std::distance(kBlocks.begin(), it));
}

// Scaling of a number field: value = raw * multiplier / divisor + shift.
struct Scale {
    int multiplier;
    int divisor;
    int shift = 0;
};
constexpr Scale kUnit{1, 1};
constexpr Scale kHalf{1, 2};         // half-percent units and other "/2" fields
constexpr Scale kHundredth{1, 100};  // gains
constexpr Scale kTimesFive{5, 1};
constexpr Scale kTimesTen{10, 1};
constexpr Scale kTimesTwentyFive{25, 1};
constexpr Scale kThousandth{1, 1000};  // s24 factor and offset
constexpr Scale kPwm{100, 2816};       // 100 % is the word 2816
constexpr Scale kTemperature{1, 1, -20};

// Control range of a number field.
struct Range {
    double minimum;
    double maximum;
    double step;
    int decimals;
};

std::string numbered(std::string_view stem, int n) {
    return std::string(stem) + std::to_string(n);
}

}  // namespace

class TableBuilder {
  public:
    explicit TableBuilder(FieldTable& table) : m_table(table) {}

    std::size_t number(std::string name, Block block, Codec codec, int offset, Scale scale, Range range,
                       double start = 0) {
        return add(std::move(name), block, FieldKind::Number, codec, offset, 0, scale, range, start, {});
    }
    std::size_t choice(std::string name, Block block, int offset, std::span<const std::string_view> items,
                       double start = 0, Codec codec = Codec::Choice) {
        const Range range{0, static_cast<double>(items.size()) - 1, 1, 0};
        return add(std::move(name), block, FieldKind::Choice, codec, offset, 0, kUnit, range, start, items);
    }
    std::size_t check(std::string name, Block block, Codec codec, int offset, int bit = 0) {
        return add(std::move(name), block, FieldKind::CheckBox, codec, offset, bit, kUnit, {0, 1, 1, 0}, 0,
                   {});
    }
    std::size_t complement(std::string name, Block block, std::size_t partner) {
        const std::size_t index = add(std::move(name), block, FieldKind::CheckBox, Codec::Complement, 0,
                                      static_cast<int>(partner), kUnit, {0, 1, 1, 0}, 0, {});
        m_table.m_defs[index].info.complement = true;
        m_table.m_infos[index].complement = true;
        return index;
    }

  private:
    std::size_t add(std::string name, Block block, FieldKind kind, Codec codec, int offset, int bit,
                    Scale scale, Range range, double start, std::span<const std::string_view> items) {
        const std::string_view view = m_table.m_names.emplace_back(std::move(name));
        const FieldInfo info{view,          block,      kind,           range.minimum,
                             range.maximum, range.step, range.decimals, static_cast<int>(items.size()),
                             false};
        const std::size_t index = m_table.m_defs.size();
        m_table.m_defs.push_back(
            {info, codec, offset, bit, scale.multiplier, scale.divisor, scale.shift, start, items});
        m_table.m_infos.push_back(info);
        m_table.m_byName.emplace(view, index);
        m_table.m_byBlock[blockPosition(block)].push_back(index);
        return index;
    }

    FieldTable& m_table;
};

FieldTable::FieldTable() : m_byBlock(kBlocks.size()) {
    TableBuilder b(*this);

    // Curve options block.
    {
        const Range limiter{0, 125, 0.5, 1};
        b.choice("throttle_response_type_1", Block::CurveOptions, 0, kResponseTypeItems);
        b.number("throttle_response_curve_1_acc_limiter", Block::CurveOptions, Codec::Byte, 1, kHalf,
                 limiter);
        b.choice("throttle_response_type_2", Block::CurveOptions, 2, kResponseTypeItems);
        b.number("throttle_response_curve_2_acc_limiter", Block::CurveOptions, Codec::Byte, 3, kHalf,
                 limiter);
    }

    // ETC block: 37 words, then the two error set-up words.
    {
        struct EtcWord {
            const char* name;
            Scale scale;
            Range range;
        };
        const Range gain{0, 10, 0.01, 2};
        const Range offset{0, 12.5, 0.5, 1};
        const Range percent{0, 100, 0.5, 1};
        const Range millivolts{0, 5000, 1, 0};
        const Range upTo63{0, 63, 1, 0};
        const Range flag{0, 1, 1, 0};
        const EtcWord words[] = {
            {"P_versterking", kHundredth, gain},
            {"P_neg", kHundredth, gain},
            {"PErrorOffSet", kHalf, offset},
            {"Iversterking", kHundredth, gain},
            {"Ineg", kHundredth, gain},
            {"IErrorOffSetNeg", kHalf, offset},
            {"ImaxPos", kUnit, {0, 3000, 1, 0}},
            {"ImaxNeg", kUnit, {0, 3000, 1, 0}},
            {"ImaxTijd", kUnit, {0, 1000, 1, 0}},
            {"ResetAcct", kUnit, upTo63},
            {"ResetDiff", kHalf, percent},
            {"PulsSampleTime", kUnit, {0, 100, 1, 0}},
            {"PulslengteOpen", kUnit, {0, 200, 1, 0}},
            {"PulslengteDicht", kUnit, {0, 200, 1, 0}},
            {"Dversterking", kHundredth, gain},
            {"Dtime", kUnit, upTo63},
            {"Dv_neg", kHundredth, gain},
            {"Dvtime_neg", kUnit, upTo63},
            {"Min_value_TPS1", kUnit, millivolts},
            {"Max_value_TPS1", kUnit, millivolts},
            {"Min_value_TPS2", kUnit, millivolts},
            {"Max_value_TPS2", kUnit, millivolts},
            {"MinTPS_standDp", kHalf, percent},
            {"MaxTPS_standDp", kHalf, percent},
            {"MaxDiffTps1Tps2", kHalf, percent},
            {"SingleSpring", kUnit, {0, 2, 1, 0}},
            {"TPS1_Inverted", kUnit, flag},
            {"TPS2_Inverted", kUnit, flag},
            {"AutoCalTPS", kUnit, {0, 50, 1, 0}},
            {"Min_Value_Ped1", kUnit, millivolts},
            {"Max_Value_Ped1", kUnit, millivolts},
            {"Min_Value_Ped2", kUnit, millivolts},
            {"Max_Value_Ped2", kUnit, millivolts},
            {"MaxDiffPed1Ped2", kHalf, percent},
            {"MaxPedPowerUp", kHalf, percent},
            {"pedal1_Inverted", kUnit, flag},
            {"pedal2_Inverted", kUnit, flag},
        };
        int offsetInBlock = 0;
        for (const EtcWord& w : words) {
            b.number(w.name, Block::Etc, Codec::Word, offsetInBlock, w.scale, w.range);
            offsetInBlock += 2;
        }
        for (int n = 0; n < 32; ++n)
            b.check(numbered("Error_setup_", n), Block::Etc, Codec::WordBit, n < 16 ? 74 : 76, n % 16);
    }

    // Hardware block.
    b.choice("hardware_settings_digital_input_1", Block::Hardware, 0, kDigitalInputItems);
    b.choice("hardware_settings_digital_input_2", Block::Hardware, 1, kDigitalInputItems);
    b.choice("hardware_settings_digital_input_3", Block::Hardware, 2, kDigitalInput3Items);
    b.choice("hardware_settings_analoge_input_1", Block::Hardware, 3, kAnalogInputItems);
    b.choice("hardware_settings_analoge_input_2", Block::Hardware, 4, kAnalogInputItems);

    // RPM block: the Throttle_limit axis, 500, 1000, ..., 10500 at start.
    for (int k = 1; k <= 21; ++k)
        b.number(numbered("RPM_Range_Row", k), Block::Rpm, Codec::Word, 2 * (k - 1), kTimesTen,
                 {500, 20000, 50, 0}, 500.0 * k);
    b.choice("RPM_pickup_pulses_per_revolution", Block::Rpm, 42, kPulsesPerRevolutionItems);

    // ALS and launch blocks.
    {
        const Range percent{0, 100, 0.5, 1};
        b.number("ALS_min", Block::Als, Codec::Byte, 0, kHalf, percent);
        b.number("ALS_max", Block::Als, Codec::Byte, 1, kHalf, percent);
        b.check("ALS_active", Block::Als, Codec::CheckByte, 2);
        b.number("Launch_min", Block::Launch, Codec::Byte, 0, kHalf, percent);
        b.number("Launch_max", Block::Launch, Codec::Byte, 1, kHalf, percent);
        b.check("Launch_active", Block::Launch, Codec::CheckByte, 2);
    }

    // Throttle settings block: one byte per field; the start conditions are five columns.
    {
        const Block t = Block::ThrottleSettings;
        const Range opening{0, 20, 0.5, 1};
        b.number("Startup_opening", t, Codec::Byte, 0, kHalf, opening);
        for (int k = 1; k <= 5; ++k)
            b.number(numbered("Startup_watertemp_up_to_", k), t, Codec::Byte, k, kTemperature,
                     {-20, 135, 1, 0});
        for (int k = 1; k <= 5; ++k)
            b.number(numbered("startup_400rpm_", k), t, Codec::Byte, 5 + k, kHalf, opening);
        for (int k = 1; k <= 5; ++k)
            b.number(numbered("startup_warmup_", k), t, Codec::Byte, 10 + k, kHalf, opening);
        for (int k = 1; k <= 5; ++k)
            b.number(numbered("startup_high_idle_procent_", k), t, Codec::Byte, 15 + k, kHalf, opening);
        for (int k = 1; k <= 5; ++k)
            b.number(numbered("startup_high_idle_sec_", k), t, Codec::Byte, 20 + k, kUnit, {0, 255, 1, 0});
        b.number("startup_Airco", t, Codec::Byte, 26, kHalf, {0, 10, 0.5, 1});
        b.number("startup_high_idle", t, Codec::Byte, 27, kHalf, {0, 10, 0.5, 1});
        b.number("startup_blib_max_opening", t, Codec::Byte, 28, kHalf, {0, 50, 0.5, 1});
        b.number("startup_blib_max_opening_time", t, Codec::Byte, 29, kTimesTen, {0, 2000, 10, 0});
        b.number("startup_Throttle_limit", t, Codec::Byte, 30, kHalf, {0, 100, 0.5, 1});
        b.number("Anti_stall_RPM_trigger", t, Codec::Byte, 31, kTimesTen, {0, 2500, 10, 0});
        b.number("Anti_stall_point", t, Codec::Byte, 32, kHalf, {0, 10, 0.5, 1});
        b.number("Anti_stall_RPM", t, Codec::Byte, 33, kTimesTen, {0, 2500, 10, 0});
        b.number("Anti_stall_time", t, Codec::Byte, 34, kTimesTwentyFive, {0, 5000, 25, 0});
    }

    // CAN settings block.
    b.choice("CAN_settings_Baudrate", Block::CanSettings, 0, kCanBaudrateItems);
    b.choice("CAN_settings_Protocol", Block::CanSettings, 1, kCanProtocolItems);
    b.choice("CAN_Master_Slave", Block::CanSettings, 2, kCanMasterSlaveItems);
    b.number("CAN_slaves", Block::CanSettings, Codec::Byte, 3, kUnit, {0, 12, 1, 0}, 1);

    // CAN message block: twelve messages of ten bytes.
    for (int n = 1; n <= 12; ++n) {
        const Block m = Block::CanMessages;
        const int base = 10 * (n - 1);
        b.check(numbered("msg_valid_", n), m, Codec::FlagBit, base, 3);
        b.check(numbered("Mode_On_", n), m, Codec::FlagBit, base, 2);
        const std::size_t id29 = b.check(numbered("ID_29Bit_", n), m, Codec::FlagBit, base, 1);
        b.complement(numbered("ID_11Bit_", n), m, id29);
        const std::size_t tx = b.check(numbered("Tx_", n), m, Codec::FlagBit, base, 0);
        b.complement(numbered("Rx_", n), m, tx);
        b.choice(numbered("DLC_", n), m, base + 1, kDlcItems, 7);  // "8"
        b.number(numbered("CAN_ID_", n), m, Codec::U32, base + 2, kUnit, {0, 536870969, 1, 0}, 536870969);
        b.number(numbered("TimeOut_ms_", n), m, Codec::Byte, base + 7, kTimesFive, {5, 1000, 5, 0}, 1000);
        b.choice(numbered("Start_bit_Mode_", n), m, base + 8, kStartBitModeItems);
    }

    // CAN channel block: eighteen channels of fourteen bytes (the last word is the CAN changed flag).
    for (int n = 1; n <= 18; ++n) {
        const Block c = Block::CanChannels;
        const int base = 14 * (n - 1);
        b.choice(numbered("msg_nr_", n), c, base, kMsgNrItems);
        b.choice(numbered("data_type_", n), c, base + 1, kDataTypeItems);
        b.choice(numbered("Mode_nr_", n), c, base + 2, kModeNrItems, 0, Codec::ModeCode);
        b.choice(numbered("Start_bit_", n), c, base + 3, kStartBitItems);
        b.choice(numbered("digits_", n), c, base + 4, kDigitsItems);
        b.number(numbered("Factor_", n), c, Codec::S24, base + 5, kThousandth, {-999.999, 999.999, 0.001, 3});
        b.number(numbered("offset_", n), c, Codec::S24, base + 8, kThousandth, {-999.999, 1000, 0.001, 3});
        b.choice(numbered("Channel_name_", n), c, base + 11, kChannelNameItems, 0, Codec::ChannelCode);
        b.choice(numbered("Unit_", n), c, base + 12, kUnitItems);
    }

    b.number("max_PWM", Block::Pwm, Codec::Word, 0, kPwm, {0, 100, 0.1, 1});
    b.number("beginwaarde", Block::IdleStart, Codec::IdleStart, 0, kUnit, {400, 980, 20, 0}, 400);
}

std::optional<std::size_t> FieldTable::find(std::string_view name) const {
    const auto it = m_byName.find(name);
    if (it == m_byName.end())
        return std::nullopt;
    return it->second;
}

const std::vector<std::size_t>& FieldTable::ofBlock(Block block) const {
    static const std::vector<std::size_t> kNone;
    const std::size_t position = blockPosition(block);
    return position < m_byBlock.size() ? m_byBlock[position] : kNone;
}

const FieldTable& fieldTable() {
    static const FieldTable table;
    return table;
}

}  // namespace etc::settings::detail
