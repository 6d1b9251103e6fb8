#include "KeyEncoding.h"

#include <gtest/gtest.h>

using namespace orvane;

namespace {

constexpr auto None = Qt::NoModifier;
constexpr auto Shift = Qt::ShiftModifier;
constexpr auto Ctrl = Qt::ControlModifier;
constexpr auto Alt = Qt::AltModifier;

}  // namespace

TEST(KeyEncoding, Table)
{
    struct Case {
        const char* name;
        KeyPress press;
        bool appCursor;
        std::string bytes;
    } cases[] = {
        {"up", {Qt::Key_Up, None, {}}, false, "\x1b[A"},
        {"up in application mode", {Qt::Key_Up, None, {}}, true, "\x1bOA"},
        {"shift up", {Qt::Key_Up, Shift, {}}, true, "\x1b[1;2A"},
        {"ctrl alt left", {Qt::Key_Left, Ctrl | Alt, {}}, false, "\x1b[1;7D"},
        {"ctrl shift alt right", {Qt::Key_Right, Ctrl | Shift | Alt, {}}, false, "\x1b[1;8C"},
        {"home", {Qt::Key_Home, None, {}}, false, "\x1b[H"},
        {"end in application mode", {Qt::Key_End, None, {}}, true, "\x1bOF"},
        {"shift page up ignores modifiers", {Qt::Key_PageUp, Shift, {}}, false, "\x1b[5~"},
        {"page down", {Qt::Key_PageDown, None, {}}, false, "\x1b[6~"},
        {"forward delete", {Qt::Key_Delete, Ctrl, {}}, false, "\x1b[3~"},
        {"back tab", {Qt::Key_Backtab, Shift, {}}, false, "\x1b[Z"},
        {"f1", {Qt::Key_F1, None, {}}, false, "\x1bOP"},
        {"f4", {Qt::Key_F4, Shift, {}}, false, "\x1bOS"},
        {"f5", {Qt::Key_F5, None, {}}, false, "\x1b[15~"},
        {"f11", {Qt::Key_F11, None, {}}, false, "\x1b[23~"},
        {"f12", {Qt::Key_F12, None, {}}, false, "\x1b[24~"},
        {"return", {Qt::Key_Return, None, "\r"}, false, "\r"},
        {"shift return", {Qt::Key_Return, Shift, "\r"}, false, "\r"},
        {"alt return", {Qt::Key_Return, Alt, "\r"}, false, "\r"},
        {"keypad enter", {Qt::Key_Enter, Qt::KeypadModifier, "\r"}, false, "\r"},
        {"tab", {Qt::Key_Tab, None, "\t"}, false, "\t"},
        {"backspace", {Qt::Key_Backspace, None, "\b"}, false, "\x7f"},
        {"escape", {Qt::Key_Escape, None, "\x1b"}, false, "\x1b"},
        {"ctrl c", {Qt::Key_C, Ctrl, "\x03"}, false, "\x03"},
        {"ctrl a", {Qt::Key_A, Ctrl, "\x01"}, false, "\x01"},
        {"ctrl space", {Qt::Key_Space, Ctrl, " "}, false, std::string(1, '\0')},
        {"ctrl shift 2 (at sign)", {Qt::Key_At, Ctrl | Shift, {}}, false, std::string(1, '\0')},
        {"ctrl [", {Qt::Key_BracketLeft, Ctrl, "\x1b"}, false, "\x1b"},
        {"alt a as meta", {Qt::Key_A, Alt, "a"}, false, "\x1b" "a"},
        {"alt shift a", {Qt::Key_A, Alt | Shift, "A"}, false, "\x1b" "A"},
        {"alt a producing a letter with an accent", {Qt::Key_A, Alt, "\xc3\xa5"}, false, "\x1b" "a"},
        {"alt l producing an at sign", {Qt::Key_L, Alt, "@"}, false, "@"},
        {"alt shift e producing the euro sign", {Qt::Key_E, Alt | Shift, "\xe2\x82\xac"}, false, "\xe2\x82\xac"},
        {"plain letter", {Qt::Key_A, None, "a"}, false, "a"},
        {"text from a layout", {Qt::Key_Odiaeresis, None, "\xc3\xb6"}, false, "\xc3\xb6"},
        {"modifier alone", {Qt::Key_Shift, Shift, {}}, false, ""},
        {"f13 without text", {Qt::Key_F13, None, {}}, false, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(encodeKey(c.press, c.appCursor), c.bytes) << c.name;
}

TEST(KeyEncoding, EditingCommands)
{
    struct Case {
        KeyPress press;
        KeyCommand command;
    } cases[] = {
        {{Qt::Key_C, Qt::MetaModifier, {}}, KeyCommand::Copy},
        {{Qt::Key_C, Ctrl | Shift, {}}, KeyCommand::Copy},
        {{Qt::Key_V, Qt::MetaModifier, {}}, KeyCommand::Paste},
        {{Qt::Key_V, Ctrl | Shift, {}}, KeyCommand::Paste},
        {{Qt::Key_A, Qt::MetaModifier, {}}, KeyCommand::SelectAll},
        {{Qt::Key_Insert, Shift, {}}, KeyCommand::PastePrimary},
        {{Qt::Key_C, Ctrl, "\x03"}, KeyCommand::None},
        {{Qt::Key_C, Qt::MetaModifier | Shift, {}}, KeyCommand::None},
        {{Qt::Key_T, Qt::MetaModifier, {}}, KeyCommand::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(keyCommand(c.press), c.command) << c.press.key;
}
