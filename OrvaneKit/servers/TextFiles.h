// Whole-file reads and atomic whole-file writes of the store's small text files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvane {

struct TextFile {
    enum State { missing, unreadable, read };
    State state = missing;
    std::string text;  // the bytes as stored, when read
};

// Reads a regular file of at most `limit` bytes. Anything else (a folder, a pipe, a device, a
// larger file, an I/O error) is unreadable and never blocks.
TextFile readTextFile(const std::string& path, uintmax_t limit = 4u << 20);

// Replaces the file atomically: a failed write leaves the old file as it was.
bool writeTextFile(const std::string& path, std::string_view text);

} // namespace orvane
