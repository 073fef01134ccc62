// Settings images with varied values, and the module memory that holds them.
#pragma once

#include <random>

#include "settings/settings_image.h"
#include "sim/module.h"

namespace etc::test {

// Every field set to a value on its step somewhere in its range, every table cell and both user
// curves varied, and calibration words that the tool shows and those it only keeps.
inline void varyImage(settings::SettingsImage& image, unsigned seed) {
    std::mt19937 rng(seed);
    auto pick = [&](int count) { return std::uniform_int_distribution<int>(0, count - 1)(rng); };
    for (const auto& f : settings::SettingsImage::fields()) {
        if (f.complement)
            continue;
        switch (f.kind) {
            case settings::FieldKind::CheckBox:
                (void)image.setValue(f.name, pick(2));
                break;
            case settings::FieldKind::Choice:
                (void)image.setValue(f.name, pick(f.items));
                break;
            case settings::FieldKind::Number: {
                const int steps = static_cast<int>((f.maximum - f.minimum) / f.step + 0.5);
                (void)image.setValue(f.name, f.minimum + f.step * pick(steps + 1));
                break;
            }
        }
    }
    using Table = settings::SettingsImage::Table;
    for (int c = 0; c < 21; ++c) {
        image.setCell(Table::Throttle_limit, c, pick(201) / 2.0);
        image.setCell(Table::openloop_idle, c, pick(201) / 2.0);
    }
    for (int c = 0; c < 255; ++c)
        image.setCell(Table::PositieveSollwert, c, pick(2001) - 1000);
    for (int curve = 1; curve <= 2; ++curve) {
        std::array<std::uint8_t, 21> points{};
        for (auto& p : points)
            p = static_cast<std::uint8_t>(pick(201));
        image.setUserCurve(curve, points);
    }
    link::Bytes calibration;
    for (int w = 0; w < 128; ++w) {
        const int v = w == 30 ? 400 + pick(100) : w == 31 ? 4000 + pick(900) : pick(65536);
        calibration.push_back(static_cast<std::uint8_t>(v >> 8));
        calibration.push_back(static_cast<std::uint8_t>(v & 0xFF));
    }
    (void)image.decode(settings::Block::Calibration, calibration);
}

// The module memory holding the image's blocks at their fixed addresses (the gap stays zero).
inline sim::Memory memoryOf(const settings::SettingsImage& image) {
    sim::Memory memory{};
    for (const settings::Block block : settings::kBlocks) {
        const auto span = settings::BlockMap::layout(block);
        const link::Bytes bytes = image.encode(block);
        for (int w = 0; w < span.words; ++w)
            memory[static_cast<std::size_t>(span.address + w)] = static_cast<std::uint16_t>(
                bytes[2 * static_cast<std::size_t>(w)] * 256 + bytes[2 * static_cast<std::size_t>(w) + 1]);
    }
    return memory;
}

}  // namespace etc::test
