#include "WindowShortcuts.h"

#include <gtest/gtest.h>

using namespace orvane;

TEST(WindowShortcuts, Table)
{
    constexpr auto Super = Qt::MetaModifier;
    constexpr auto Shift = Qt::ShiftModifier;
    constexpr auto Ctrl = Qt::ControlModifier;
    constexpr auto Alt = Qt::AltModifier;
    using A = WindowAction;
    struct Case {
        int key;
        Qt::KeyboardModifiers mods;
        std::optional<ShortcutMatch> match;
    } cases[] = {
        {Qt::Key_S, Super, ShortcutMatch{A::ShowServers}},
        {Qt::Key_S, Super | Shift, ShortcutMatch{A::ShowSessions}},
        {Qt::Key_T, Super, ShortcutMatch{A::NewTab}},
        {Qt::Key_T, Ctrl | Shift, ShortcutMatch{A::NewTab}},
        {Qt::Key_D, Super | Alt, ShortcutMatch{A::SplitPane}},
        {Qt::Key_D, Ctrl | Shift, ShortcutMatch{A::SplitPane}},
        {Qt::Key_W, Super, ShortcutMatch{A::CloseFocused}},
        {Qt::Key_W, Ctrl | Shift, ShortcutMatch{A::CloseFocused}},
        {Qt::Key_N, Super, ShortcutMatch{A::NewWindow}},
        {Qt::Key_N, Ctrl | Shift, ShortcutMatch{A::NewWindow}},
        {Qt::Key_1, Super, ShortcutMatch{A::SelectTab, 0}},
        {Qt::Key_9, Super | Ctrl, ShortcutMatch{A::SelectTab, 8}},
        {Qt::Key_BracketLeft, Super, ShortcutMatch{A::PreviousTab}},
        {Qt::Key_BraceLeft, Super | Shift, ShortcutMatch{A::PreviousTab}},
        {Qt::Key_BraceLeft, Super, std::nullopt},
        {Qt::Key_BracketRight, Super, ShortcutMatch{A::NextTab}},
        {Qt::Key_BraceRight, Super | Shift, ShortcutMatch{A::NextTab}},
        {Qt::Key_Plus, Super | Shift, ShortcutMatch{A::FontBigger}},
        {Qt::Key_Equal, Super, ShortcutMatch{A::FontBigger}},
        {Qt::Key_Minus, Super, ShortcutMatch{A::FontSmaller}},
        {Qt::Key_0, Super, ShortcutMatch{A::FontReset}},
        {Qt::Key_F, Super | Ctrl, ShortcutMatch{A::ToggleFullScreen}},
        {Qt::Key_F, Super, std::nullopt},
        {Qt::Key_F11, Qt::NoModifier, ShortcutMatch{A::ToggleFullScreen}},
        {Qt::Key_Up, Super | Alt, ShortcutMatch{A::FocusTop}},
        {Qt::Key_Down, Super | Alt, ShortcutMatch{A::FocusBottom}},
        {Qt::Key_Up, Super, std::nullopt},
        {Qt::Key_T, Ctrl, std::nullopt},   // Ctrl+T belongs to the program
        {Qt::Key_C, Ctrl | Shift, std::nullopt},  // copy, the pane's
        {Qt::Key_X, Super, std::nullopt},
        {Qt::Key_T, Qt::NoModifier, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(matchShortcut({c.key, c.mods, {}}), c.match) << std::hex << c.key << " " << c.mods;
}

TEST(WindowShortcuts, StoredFontSize)
{
    for (const double stored : {7.0, 41.0, 0.0})
    {
        storeFontSize(stored);
        EXPECT_EQ(storedFontSize(), 14) << stored;
    }
    storeFontSize(8);
    EXPECT_EQ(storedFontSize(), 8);
    storeFontSize(40);
    EXPECT_EQ(storedFontSize(), 40);
    storeFontSize(14);
}
