#include "Glow.h"

namespace orvane {

namespace {

constexpr std::array<Glow, 8> kThemes = {{
    {"aurora", {0x3FD8FF, 0x5B6CFF, 0xB44DFF, 0xFF4FD8}},
    {"ember", {0xFFB45A, 0xFF7A1A, 0xFF4D1A, 0xFF9A3C}},
    {"tide", {0x7FFFD0, 0x14D6A0, 0x10A8C8, 0x2FE0FF}},
    {"rose", {0xFF9AC8, 0xFF4F9A, 0xD9368B, 0xFF7AB0}},
    {"ocean", {0x6FE6FF, 0x2F9BFF, 0x1B4DFF, 0x00C8FF}},
    {"gold", {0xFFE27A, 0xF5B82E, 0xE0901A, 0xFFD24D}},
    {"violet", {0xC9A2FF, 0x8A4DFF, 0x6A2FE0, 0xB07BFF}},
    {"lime", {0xD4FF7A, 0x8FE03A, 0x4CC23A, 0xB8F55A}},
}};

}  // namespace

const std::array<Glow, 8>& Glow::all()
{
    return kThemes;
}

}  // namespace orvane
