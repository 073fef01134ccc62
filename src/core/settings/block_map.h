// The blocks of the module's 1024 settings words and where they sit.
//
// A block is numbered by the upload step that reads it. The layout is fixed for the supported module
// families; the block map only says whether a supported version has been seen yet, because nothing may
// be read, loaded, saved or written before that.
#pragma once

#include <array>
#include <optional>

namespace etc::settings {

enum class Block : int {
    Curve1 = 3,
    Curve2 = 4,
    CurveOptions = 5,
    ThrottleLimit = 6,
    Etc = 7,
    PedalCorrection = 8,
    Hardware = 9,
    Rpm = 10,
    Als = 11,
    Launch = 12,
    ThrottleSettings = 13,
    CanSettings = 14,
    CanMessages = 15,
    CanChannels = 16,
    Pwm = 17,
    IdleTable = 18,
    IdleStart = 19,
    Calibration = 60
};

// All blocks in block-map order, which is also the order they must be decoded in: the curve options
// redraw needs both stored user curves, the idle axis follows the idle table.
inline constexpr std::array<Block, 18> kBlocks{
    Block::Curve1,           Block::Curve2,      Block::CurveOptions, Block::ThrottleLimit, Block::Etc,
    Block::PedalCorrection,  Block::Hardware,    Block::Rpm,          Block::Als,           Block::Launch,
    Block::ThrottleSettings, Block::CanSettings, Block::CanMessages,  Block::CanChannels,   Block::Pwm,
    Block::IdleTable,        Block::IdleStart,   Block::Calibration};

// Word address and length in 16-bit module words.
struct BlockSpan {
    int address = 0;
    int words = 0;
    friend constexpr bool operator==(const BlockSpan&, const BlockSpan&) = default;
};

class BlockMap {
  public:
    // Each block starts where the one before it ends; the gap 579..895 is never read or written.
    static constexpr std::array<int, 20> kBoundaries{0,   11,  22,  24,  35,  74,  329, 332, 354, 356,
                                                     358, 376, 379, 439, 566, 567, 578, 579, 896, 1024};
    static constexpr int kTotalWords = 1024;
    static constexpr BlockSpan kGap{579, 317};

    [[nodiscard]] bool isSet() const { return m_set; }
    // Filled once by the version check for a supported family; nothing empties it again.
    void set() { m_set = true; }

    // Address 0 and length 0 while the map is not set.
    [[nodiscard]] BlockSpan span(Block block) const { return m_set ? layout(block) : BlockSpan{}; }
    [[nodiscard]] int address(Block block) const { return span(block).address; }
    [[nodiscard]] int words(Block block) const { return span(block).words; }

    // The fixed layout of a block, set or not: the block codecs use it for their sizes.
    // An unknown block number gives {0, 0}.
    [[nodiscard]] static constexpr BlockSpan layout(Block block) {
        const int n = static_cast<int>(block);
        int index = -1;
        if (n >= static_cast<int>(Block::Curve1) && n <= static_cast<int>(Block::IdleStart))
            index = n - static_cast<int>(Block::Curve1);
        else if (block == Block::Calibration)
            index = 18;
        if (index < 0)
            return {};
        return {
            kBoundaries[static_cast<std::size_t>(index)],
            kBoundaries[static_cast<std::size_t>(index) + 1] - kBoundaries[static_cast<std::size_t>(index)]};
    }

    // The block with this upload step number, if there is one.
    [[nodiscard]] static constexpr std::optional<Block> fromNumber(int number) {
        for (Block b : kBlocks)
            if (static_cast<int>(b) == number)
                return b;
        return std::nullopt;
    }

  private:
    bool m_set = false;
};

}  // namespace etc::settings
