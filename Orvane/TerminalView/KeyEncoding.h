// Turns a key press into the bytes a terminal program expects (xterm conventions).
#pragma once

#include <QString>
#include <Qt>

#include <string>

namespace orvane {

struct KeyPress {
    int key = 0;  // Qt::Key
    Qt::KeyboardModifiers modifiers;
    QString text;  // what the key produced
};

// The bytes for a key, or an empty string when the key sends nothing.
std::string encodeKey(const KeyPress& press, bool appCursorKeys);

// The editing commands a key asks of the view itself, before any encoding.
enum class KeyCommand { None, Copy, Paste, PastePrimary, SelectAll };
// Super+C/V/A, and Ctrl+Shift+C/V/A as on other Linux terminals; Shift+Insert pastes the
// primary selection.
KeyCommand keyCommand(const KeyPress& press);

}  // namespace orvane
