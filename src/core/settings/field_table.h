// The layout of every scalar field of the settings image: block, byte offset, wire coding, scaling,
// control range and start value. One table drives decoding, encoding and field access by name.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "settings/settings_image.h"

namespace etc::settings::detail {

enum class Codec {
    Byte,         // one unsigned byte, scaled
    Word,         // UInt16BE, scaled
    CheckByte,    // one byte: 1 = checked, anything else unchecked
    Choice,       // one byte, the item index; beyond the last item selects the last
    ModeCode,     // Mode_nr_n: index 0 travels as 64, index i >= 1 as i - 1
    ChannelCode,  // Channel_name_n: index i < 5 travels as i, index i >= 5 as i + 95
    FlagBit,      // one bit of a byte (CAN message flags)
    WordBit,      // one bit of a UInt16BE word (error set-up), bit 0 = value 1
    S24,          // three bytes, high first; above 0x800000 negative; scaled
    U32,          // four bytes, high first, unsigned
    Complement,   // no bits of its own: the opposite of another check box
    IdleStart     // beginwaarde: 400 + 20 * word
};

struct FieldDef {
    FieldInfo info;
    Codec codec;
    int offset;  // first byte in the block
    int bit;     // FlagBit, WordBit: bit number; Complement: index of the partner field
    // value = raw * multiplier / divisor + shift; encoding inverts this and rounds.
    int multiplier;
    int divisor;
    int shift;
    double start;
    std::span<const std::string_view> itemTexts;
};

class FieldTable {
  public:
    FieldTable();
    FieldTable(const FieldTable&) = delete;
    FieldTable& operator=(const FieldTable&) = delete;

    [[nodiscard]] const std::vector<FieldDef>& defs() const { return m_defs; }
    [[nodiscard]] const std::vector<FieldInfo>& infos() const { return m_infos; }
    [[nodiscard]] std::optional<std::size_t> find(std::string_view name) const;
    // Indexes into defs() of the fields of one block, in byte order.
    [[nodiscard]] const std::vector<std::size_t>& ofBlock(Block block) const;

  private:
    friend class TableBuilder;
    std::deque<std::string> m_names;  // stable storage behind the string_views of the field infos
    std::vector<FieldDef> m_defs;
    std::vector<FieldInfo> m_infos;
    std::unordered_map<std::string_view, std::size_t> m_byName;
    std::vector<std::vector<std::size_t>> m_byBlock;  // indexed by position in kBlocks
};

[[nodiscard]] const FieldTable& fieldTable();

}  // namespace etc::settings::detail
