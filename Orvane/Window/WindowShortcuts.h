// The window's own keyboard shortcuts, taken before the focused pane sees the key: Super
// (Command) combinations, the Ctrl+Shift aliases Linux terminals use, and F11.
#pragma once

#include "KeyEncoding.h"

#include <optional>

namespace orvane {

enum class WindowAction {
    ShowServers,
    ShowSessions,
    NewTab,
    SplitPane,
    CloseFocused,
    NewWindow,
    SelectTab,  // `tab` is the index
    PreviousTab,
    NextTab,
    FontBigger,
    FontSmaller,
    FontReset,
    ToggleFullScreen,
    FocusTop,
    FocusBottom,
};

struct ShortcutMatch {
    WindowAction action;
    int tab = 0;
    friend bool operator==(const ShortcutMatch&, const ShortcutMatch&) = default;
};

std::optional<ShortcutMatch> matchShortcut(const KeyPress& press);

// The font size stored in the user defaults: a value in [8, 40] as it is, anything else 14.
double storedFontSize();
void storeFontSize(double size);

}  // namespace orvane
