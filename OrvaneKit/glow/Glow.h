// Glow themes: eight fixed named sets of four colours (0xRRGGBB), accent first.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace orvane {

struct Glow {
    std::string_view name;
    std::array<uint32_t, 4> colors;

    constexpr uint32_t accent() const { return colors[0]; }

    static const std::array<Glow, 8>& all();

    friend constexpr bool operator==(const Glow&, const Glow&) = default;
};

}  // namespace orvane
