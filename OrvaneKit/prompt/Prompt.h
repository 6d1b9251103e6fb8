// Finds a shell prompt of the user@host form at the start of a row of cells.
#pragma once

#include "Terminal.h"

namespace orvane {

// The column just after the prompt's trailing space, or 0 when the row does not start
// with a prompt. Rows are rejected cheaply before the pattern runs.
int promptColumns(const VTRow& row);

}  // namespace orvane
