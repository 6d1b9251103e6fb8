// A window's appearance: tint colour and strength, transparency of the glass and the prompt colour.
// Stored per window number, so a window that reopens under the same number looks the same.
#pragma once

#include <cstdint>
#include <optional>

class QSettings;

namespace orvane {

struct Glow;

// What a pane takes from the look.
struct PaneLook {
    bool lightBackground = false;
    std::optional<uint32_t> promptColor;  // 0xRRGGBB; none turns prompt colouring off

    friend bool operator==(const PaneLook&, const PaneLook&) = default;
};

struct Look {
    std::optional<int> color;  // index into Glow::all() of the tint; none follows the window's glow
    double tint = 0.3;         // [0, 1]
    double seeThrough = 0.05;  // [0, 0.7]
    std::optional<int> prompt; // index into Glow::all() of the prompt colour; none follows the glow
    bool promptOn = true;

    static constexpr uint32_t kBaseColor = 0x090B18;  // the glass itself
    static constexpr double kMaxSeeThrough = 0.7;

    friend bool operator==(const Look&, const Look&) = default;

    // The look stored under "look" + number: an array [color or -1, tint, seeThrough,
    // prompt or -1, promptOn 1/0]. Nothing stored, an entry that is not a number or fewer than
    // three entries give the default look; tint and seeThrough are limited to their ranges;
    // a colour index that is negative or not in Glow::all() means none.
    static Look load(int number);                           // the user defaults
    static Look load(const QSettings& settings, int number);
    void save(int number) const;
    void save(QSettings& settings, int number) const;

    // Derived colours for a window whose glow is `glowIndex`.
    uint32_t tintColor(int glowIndex) const;        // accent of `color`, else of the window's glow
    uint32_t promptAccent(int glowIndex) const;     // accent of `prompt`, else of the window's glow
    uint32_t tintedBackground(int glowIndex) const; // tint × tintColor + (1 - tint) × base, rounded
    bool isLight(int glowIndex) const;              // tint > 0 and the mix's luma exceeds 0.5
    // The pane's promptColor: none when promptOn is off or the background is light.
    std::optional<uint32_t> promptColor(int glowIndex) const;
    PaneLook paneLook(int glowIndex) const;
};

// The theme of Glow::all() at `index`, wrapped into the list's range, and its accent.
const Glow& glowTheme(int index);
uint32_t glowAccent(int index);

// The palette button's left click: the next glow (modulo 8); explicit tint and prompt colours are
// cleared so both follow the new glow, and `lookChanged` says the look must then be saved.
struct GlowCycle {
    int glowIndex = 0;
    Look look;
    bool lookChanged = false;

    friend bool operator==(const GlowCycle&, const GlowCycle&) = default;
};
GlowCycle cycleGlow(int glowIndex, const Look& look);

}  // namespace orvane
