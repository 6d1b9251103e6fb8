#include "WindowShortcuts.h"

#include "UserDefaults.h"

#include <QSettings>

namespace orvane {

namespace {

// The key's character as Shift alone would give it; none for keys without one.
std::optional<char32_t> keyCharacter(const KeyPress& p)
{
    if (p.key >= Qt::Key_A && p.key <= Qt::Key_Z)
        return char32_t(p.modifiers & Qt::ShiftModifier ? p.key : p.key + ('a' - 'A'));
    if (p.key >= 0x20 && p.key < 0x7F)
        return char32_t(p.key);
    return std::nullopt;
}

}  // namespace

std::optional<ShortcutMatch> matchShortcut(const KeyPress& p)
{
    if (p.key == Qt::Key_F11 && !(p.modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return ShortcutMatch{WindowAction::ToggleFullScreen};
    const bool shift = p.modifiers & Qt::ShiftModifier;
    const bool ctrl = p.modifiers & Qt::ControlModifier;
    const bool alt = p.modifiers & Qt::AltModifier;
    const bool super = p.modifiers & Qt::MetaModifier;

    // Ctrl+Shift letters stand for Super letters where nothing else claims them.
    if (!super && ctrl && shift && !alt) {
        switch (p.key) {
        case Qt::Key_T: return ShortcutMatch{WindowAction::NewTab};
        case Qt::Key_D: return ShortcutMatch{WindowAction::SplitPane};
        case Qt::Key_W: return ShortcutMatch{WindowAction::CloseFocused};
        case Qt::Key_N: return ShortcutMatch{WindowAction::NewWindow};
        default: return std::nullopt;
        }
    }
    if (!super)
        return std::nullopt;
    if (alt && p.key == Qt::Key_Up)
        return ShortcutMatch{WindowAction::FocusTop};
    if (alt && p.key == Qt::Key_Down)
        return ShortcutMatch{WindowAction::FocusBottom};
    const auto c = keyCharacter(p);
    if (!c)
        return std::nullopt;
    switch (*c) {
    case U's': return ShortcutMatch{WindowAction::ShowServers};
    case U'S': return ShortcutMatch{WindowAction::ShowSessions};
    case U't': case U'T': return ShortcutMatch{WindowAction::NewTab};
    case U'd': case U'D': return ShortcutMatch{WindowAction::SplitPane};
    case U'w': case U'W': return ShortcutMatch{WindowAction::CloseFocused};
    case U'n': case U'N': return ShortcutMatch{WindowAction::NewWindow};
    case U'[': return ShortcutMatch{WindowAction::PreviousTab};
    case U'{': return shift ? std::optional(ShortcutMatch{WindowAction::PreviousTab}) : std::nullopt;
    case U']': case U'}': return ShortcutMatch{WindowAction::NextTab};
    case U'+': case U'=': return ShortcutMatch{WindowAction::FontBigger};
    case U'-': return ShortcutMatch{WindowAction::FontSmaller};
    case U'0': return ShortcutMatch{WindowAction::FontReset};
    case U'f': return ctrl ? std::optional(ShortcutMatch{WindowAction::ToggleFullScreen}) : std::nullopt;
    default: break;
    }
    if (*c >= U'1' && *c <= U'9')
        return ShortcutMatch{WindowAction::SelectTab, int(*c - U'1')};
    return std::nullopt;
}

double storedFontSize()
{
    const QSettings settings(userDefaultsPath(), QSettings::IniFormat);
    bool ok = false;
    const double v = settings.value(QStringLiteral("fontSize")).toDouble(&ok);
    return ok && v >= 8 && v <= 40 ? v : 14;
}

void storeFontSize(double size)
{
    QSettings settings(userDefaultsPath(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("fontSize"), size);
}

}  // namespace orvane
