// The colour palette: 16 base colours, the 6x6x6 cube and the grey ramp.
#pragma once

#include "VTCell.h"

#include <array>
#include <cstdint>
#include <optional>

namespace orvane::Palette {

inline constexpr std::array<uint32_t, 16> ansi = {
    0x1B1E26, 0xFF5C57, 0x5AF78E, 0xF3F99D, 0x57C7FF, 0xFF6AC1, 0x9AEDFE, 0xD7DBE3,
    0x686F7D, 0xFF7A75, 0x7CFFA6, 0xFFFFB0, 0x7FD3FF, 0xFF8AD0, 0xB8F4FF, 0xFFFFFF,
};

// 0xRRGGBB of palette index i.
constexpr uint32_t indexed(uint8_t i)
{
    if (i < 16)
        return ansi[i];
    if (i < 232) {
        const uint32_t k = i - 16u;
        auto level = [](uint32_t v) { return v == 0 ? 0u : 55u + 40u * v; };
        return level(k / 36) << 16 | level(k / 6 % 6) << 8 | level(k % 6);
    }
    const uint32_t v = 8u + 10u * (i - 232u);
    return v << 16 | v << 8 | v;
}

// 0xRRGGBB of a cell colour; bold text takes the bright variant of the eight base colours.
// Absent for the default colour: the caller substitutes its own.
constexpr std::optional<uint32_t> color(VTColor c, bool bright)
{
    switch (c.kind()) {
    case VTColor::Kind::Indexed: {
        const uint8_t i = c.index();
        return indexed(bright && i < 8 ? static_cast<uint8_t>(i + 8) : i);
    }
    case VTColor::Kind::Rgb:
        return c.rgbValue();
    case VTColor::Kind::Default:
        break;
    }
    return std::nullopt;
}

}  // namespace orvane::Palette
