// Where the application's user defaults live, and reading the arrays of numbers stored there.
#pragma once

#include <QString>

#include <optional>
#include <vector>

class QVariant;

namespace orvane {

// "$XDG_CONFIG_HOME/Orvane/Orvane.conf" (XDG_CONFIG_HOME defaults to ~/.config). The environment
// is read on every call, so open settings with `QSettings(userDefaultsPath(), QSettings::IniFormat)`.
QString userDefaultsPath();

// The entries of a stored array of numbers: a list written by this program (QVariantList), the
// same list read back from the file (a list of strings such as "0.3"), or a single value (an
// array of one). None when an entry is not a number (text that does not parse, NaN, a nested
// list, a boolean...) or nothing is stored.
std::optional<std::vector<double>> numberArray(const QVariant& value);

}  // namespace orvane
