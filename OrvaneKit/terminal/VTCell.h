// Cell types of the emulator: colours, renditions, cells and shell-integration marks.
#pragma once

#include <cstdint>
#include <optional>

namespace orvane {

// A colour of a cell: the view's default, a palette index or a 24-bit value.
// Packed into 26 bits (kind in bits 24-25, payload below) so a cell stays small.
class VTColor {
public:
    enum class Kind : uint8_t { Default = 0, Indexed = 1, Rgb = 2 };

    constexpr VTColor() = default;
    static constexpr VTColor defaultColor() { return VTColor(0); }
    static constexpr VTColor indexed(uint8_t i) { return VTColor(1u << 24 | i); }
    static constexpr VTColor rgb(uint8_t r, uint8_t g, uint8_t b)
    {
        return VTColor(2u << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | b);
    }

    constexpr Kind kind() const { return static_cast<Kind>(bits_ >> 24); }
    constexpr bool isDefault() const { return bits_ == 0; }
    constexpr uint8_t index() const { return static_cast<uint8_t>(bits_); }
    // 0xRRGGBB of an rgb colour.
    constexpr uint32_t rgbValue() const { return bits_ & 0xFFFFFF; }

    constexpr uint32_t bits() const { return bits_; }
    static constexpr VTColor fromBits(uint32_t b) { return VTColor(b & 0x3FFFFFF); }

    friend constexpr bool operator==(VTColor, VTColor) = default;

private:
    constexpr explicit VTColor(uint32_t b) : bits_(b) {}
    uint32_t bits_ = 0;
};

// A rendition. Colours and flags share two 32-bit words.
struct VTAttrs {
    uint32_t fgBits : 26 = 0;
    uint32_t bold : 1 = 0;
    uint32_t dim : 1 = 0;
    uint32_t italic : 1 = 0;
    uint32_t underline : 1 = 0;
    uint32_t inverse : 1 = 0;
    uint32_t bgBits : 26 = 0;

    constexpr VTColor fg() const { return VTColor::fromBits(fgBits); }
    constexpr VTColor bg() const { return VTColor::fromBits(bgBits); }
    constexpr void setFg(VTColor c) { fgBits = c.bits(); }
    constexpr void setBg(VTColor c) { bgBits = c.bits(); }

    friend constexpr bool operator==(const VTAttrs&, const VTAttrs&) = default;
};
static_assert(sizeof(VTAttrs) == 8);

// One cell: a Unicode scalar, its rendition, and the halves of a double-width character.
struct VTCell {
    // A scalar needs 21 bits; 30 make the three fields fill their word, so a cell is
    // written whole, without reading the old one first.
    char32_t ch : 30 = U' ';
    uint32_t wide : 1 = 0;    // left half of a double-width character
    uint32_t spacer : 1 = 0;  // right half; its ch is a space, skipped when text is extracted
    VTAttrs attrs;

    friend constexpr bool operator==(const VTCell&, const VTCell&) = default;
};
static_assert(sizeof(VTCell) <= 12, "a cell must stay at most 12 bytes");

// Shell-integration marks (OSC 133).
struct VTMark {
    enum class Kind : uint8_t { PromptStart, CommandStart, OutputStart, CommandEnd };
    Kind kind = Kind::PromptStart;
    std::optional<int64_t> status;  // exit status of CommandEnd, when the host sent one

    static VTMark promptStart() { return {Kind::PromptStart, {}}; }
    static VTMark commandStart() { return {Kind::CommandStart, {}}; }
    static VTMark outputStart() { return {Kind::OutputStart, {}}; }
    static VTMark commandEnd(std::optional<int64_t> s) { return {Kind::CommandEnd, s}; }

    friend bool operator==(const VTMark&, const VTMark&) = default;
};

}  // namespace orvane
