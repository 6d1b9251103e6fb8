#include "Look.h"

#include "UserDefaults.h"

#include <Glow.h>

#include <QSettings>
#include <QVariantList>

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

const int kGlowCount = int(Glow::all().size());

QString key(int number)
{
    return QStringLiteral("look") + QString::number(number);
}

// A stored colour index: its whole part when that names a glow, else none.
std::optional<int> colorIndex(double v)
{
    if (!(v >= 0) || v >= kGlowCount)
        return std::nullopt;
    return int(v);
}

double limited(double v, double top)
{
    return v <= 0 ? 0 : std::min(v, top);
}

struct Rgb {
    double r, g, b;
};

Rgb channels(uint32_t c)
{
    return {((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0};
}

Rgb mix(const Look& look, int glowIndex)
{
    const double t = look.tint;
    const Rgb c = channels(look.tintColor(glowIndex));
    const Rgb base = channels(Look::kBaseColor);
    return {t * c.r + (1 - t) * base.r, t * c.g + (1 - t) * base.g, t * c.b + (1 - t) * base.b};
}

}  // namespace

const Glow& glowTheme(int index)
{
    const int i = ((index % kGlowCount) + kGlowCount) % kGlowCount;
    return Glow::all()[size_t(i)];
}

uint32_t glowAccent(int index)
{
    return glowTheme(index).accent();
}

Look Look::load(int number)
{
    const QSettings settings(userDefaultsPath(), QSettings::IniFormat);
    return load(settings, number);
}

Look Look::load(const QSettings& settings, int number)
{
    const auto entries = numberArray(settings.value(key(number)));
    if (!entries || entries->size() < 3)
        return Look{};
    const std::vector<double>& e = *entries;
    Look look;
    look.color = colorIndex(e[0]);
    look.tint = limited(e[1], 1.0);
    look.seeThrough = limited(e[2], kMaxSeeThrough);
    look.prompt = e.size() >= 4 ? colorIndex(e[3]) : std::nullopt;
    look.promptOn = e.size() >= 5 ? e[4] != 0 : true;
    return look;
}

void Look::save(int number) const
{
    QSettings settings(userDefaultsPath(), QSettings::IniFormat);
    save(settings, number);
}

void Look::save(QSettings& settings, int number) const
{
    settings.setValue(key(number), QVariantList{color.value_or(-1), tint, seeThrough, prompt.value_or(-1),
                                                promptOn ? 1 : 0});
}

uint32_t Look::tintColor(int glowIndex) const
{
    return glowAccent(color.value_or(glowIndex));
}

uint32_t Look::promptAccent(int glowIndex) const
{
    return glowAccent(prompt.value_or(glowIndex));
}

uint32_t Look::tintedBackground(int glowIndex) const
{
    const Rgb m = mix(*this, glowIndex);
    auto byte = [](double v) { return uint32_t(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
    return byte(m.r) << 16 | byte(m.g) << 8 | byte(m.b);
}

bool Look::isLight(int glowIndex) const
{
    if (!(tint > 0))
        return false;
    const Rgb m = mix(*this, glowIndex);
    return 0.2126 * m.r + 0.7152 * m.g + 0.0722 * m.b > 0.5;
}

std::optional<uint32_t> Look::promptColor(int glowIndex) const
{
    if (!promptOn || isLight(glowIndex))
        return std::nullopt;
    return promptAccent(glowIndex);
}

PaneLook Look::paneLook(int glowIndex) const
{
    return {isLight(glowIndex), promptColor(glowIndex)};
}

GlowCycle cycleGlow(int glowIndex, const Look& look)
{
    GlowCycle next{((glowIndex + 1) % kGlowCount + kGlowCount) % kGlowCount, look, false};
    if (look.color || look.prompt) {
        next.look.color.reset();
        next.look.prompt.reset();
        next.lookChanged = true;
    }
    return next;
}

}  // namespace orvane
