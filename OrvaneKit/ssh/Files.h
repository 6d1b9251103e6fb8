// Whole-file reads and atomic whole-file writes for the key and known-hosts files.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <sys/types.h>
#include <vector>

namespace orvane {

struct FileContents {
    enum class Status { ok, missing, unreadable };
    Status status = Status::missing;
    std::vector<uint8_t> bytes;
};

// Reads a whole regular file; at most `limit` bytes plus one are read (a longer file is
// reported with limit + 1 bytes).
FileContents readWholeFile(const std::string& path, size_t limit = 16 << 20);

// Writes the bytes to a new file beside `path` with the given mode, flushes it and moves it
// into place, so readers see either the old or the new file. Missing parent folders are
// created (mode 0700). Returns false when any step fails; the old file is then unchanged.
bool writeFileAtomically(const std::string& path, std::span<const uint8_t> bytes, mode_t mode);

// Creates a folder and its missing parents (new ones with `mode`).
bool makeFolders(const std::string& path, mode_t mode);

// The data folder: $XDG_DATA_HOME/Orvane, or ~/.local/share/Orvane.
std::string dataFolder();

} // namespace orvane
