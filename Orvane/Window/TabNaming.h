// Names for tabs from the process table: the command a shell is running, with interpreters
// named after their script.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace orvane {

// One process: its parent and its command line (empty for processes without one, such as
// kernel threads and zombies).
struct ProcessEntry {
    int pid = 0;
    int ppid = 0;
    std::vector<std::string> argv;
};

// The processes under a /proc-like folder, by ascending process id.
std::vector<ProcessEntry> readProcessTable(const std::string& procRoot = "/proc");

// For each process id (> 0) of `pids`, the name of the first child found running under it:
// its program's file name, or for an interpreter (python, node, sh ...) the file name of its
// first argument that is not an option.
std::map<int, std::string> foregroundCommands(const std::vector<int>& pids, const std::vector<ProcessEntry>& table);

}  // namespace orvane
