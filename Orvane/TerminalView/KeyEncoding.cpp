#include "KeyEncoding.h"

#include <QList>

namespace orvane {

namespace {

constexpr char ESC = 0x1B;

// The character of a key as if only Shift applied (letters come from Qt upper-case).
QString ignoringModifiers(const KeyPress& p)
{
    if (p.key <= 0 || p.key >= 0x110000 || p.key < 0x20)
        return {};
    const char32_t c = char32_t(p.key);
    QString s = QString::fromUcs4(&c, 1);
    return p.modifiers & Qt::ShiftModifier ? s : s.toLower();
}

bool isDefaultIgnorable(char32_t c)
{
    return c == 0x00AD || c == 0x034F || c == 0x061C || (c >= 0x115F && c <= 0x1160) ||
           (c >= 0x17B4 && c <= 0x17B5) || (c >= 0x180B && c <= 0x180F) || (c >= 0x200B && c <= 0x200F) ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F) || c == 0x3164 ||
           (c >= 0xFE00 && c <= 0xFE0F) || c == 0xFEFF || c == 0xFFA0 || (c >= 0xFFF0 && c <= 0xFFF8) ||
           (c >= 0xE0000 && c <= 0xE0FFF);
}

std::string utf8(const QString& s)
{
    return s.toStdString();
}

}  // namespace

std::string encodeKey(const KeyPress& p, bool appCursorKeys)
{
    const bool shift = p.modifiers & Qt::ShiftModifier;
    const bool alt = p.modifiers & Qt::AltModifier;
    const bool ctrl = p.modifiers & Qt::ControlModifier;
    const int m = 1 + (shift ? 1 : 0) + (alt ? 2 : 0) + (ctrl ? 4 : 0);

    // 1. Special keys.
    char cursorFinal = 0;
    switch (p.key) {
    case Qt::Key_Up: cursorFinal = 'A'; break;
    case Qt::Key_Down: cursorFinal = 'B'; break;
    case Qt::Key_Right: cursorFinal = 'C'; break;
    case Qt::Key_Left: cursorFinal = 'D'; break;
    case Qt::Key_Home: cursorFinal = 'H'; break;
    case Qt::Key_End: cursorFinal = 'F'; break;
    case Qt::Key_PageUp: return "\x1b[5~";
    case Qt::Key_PageDown: return "\x1b[6~";
    case Qt::Key_Delete: return "\x1b[3~";
    case Qt::Key_Backtab: return "\x1b[Z";
    case Qt::Key_F1: return "\x1bOP";
    case Qt::Key_F2: return "\x1bOQ";
    case Qt::Key_F3: return "\x1bOR";
    case Qt::Key_F4: return "\x1bOS";
    case Qt::Key_F5: return "\x1b[15~";
    case Qt::Key_F6: return "\x1b[17~";
    case Qt::Key_F7: return "\x1b[18~";
    case Qt::Key_F8: return "\x1b[19~";
    case Qt::Key_F9: return "\x1b[20~";
    case Qt::Key_F10: return "\x1b[21~";
    case Qt::Key_F11: return "\x1b[23~";
    case Qt::Key_F12: return "\x1b[24~";
    default: break;
    }
    if (cursorFinal) {
        if (m == 1)
            return std::string{ESC, appCursorKeys ? 'O' : '[', cursorFinal};
        return std::string("\x1b[1;") + std::to_string(m) + cursorFinal;
    }

    // 2. Keys that always send the same byte.
    switch (p.key) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return "\r";
    case Qt::Key_Tab: return "\t";
    case Qt::Key_Backspace: return "\x7f";
    case Qt::Key_Escape: return "\x1b";
    default: break;
    }

    // 3. Control: the ASCII character of the key, masked to a control code.
    if (ctrl && p.key >= 0x20 && p.key < 0x80)
        return std::string(1, char(p.key & 0x1F));

    // 4. Alt as Meta, unless the combination types an ordinary character.
    if (alt && !ctrl) {
        const QString u = ignoringModifiers(p);
        const QString& t = p.text;
        if (!u.isEmpty() && !t.isEmpty()) {
            bool special = t == u;
            for (const uint c : t.toUcs4())
                special |= c < 0x20 || (c > 0x7F && c != 0x20AC) || isDefaultIgnorable(c);
            if (special)
                return ESC + utf8(u);
        }
    }

    // 5. What the key produced.
    return utf8(p.text);
}

KeyCommand keyCommand(const KeyPress& p)
{
    const Qt::KeyboardModifiers mods = p.modifiers & (Qt::ShiftModifier | Qt::ControlModifier |
                                                      Qt::AltModifier | Qt::MetaModifier);
    if (p.key == Qt::Key_Insert && mods == Qt::ShiftModifier)
        return KeyCommand::PastePrimary;
    if (mods != Qt::MetaModifier && mods != (Qt::ControlModifier | Qt::ShiftModifier))
        return KeyCommand::None;
    switch (p.key) {
    case Qt::Key_C: return KeyCommand::Copy;
    case Qt::Key_V: return KeyCommand::Paste;
    case Qt::Key_A: return KeyCommand::SelectAll;
    default: return KeyCommand::None;
    }
}

}  // namespace orvane
