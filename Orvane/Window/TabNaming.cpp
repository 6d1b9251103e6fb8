#include "TabNaming.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string_view>

namespace orvane {

namespace {

constexpr std::array<std::string_view, 10> kInterpreters = {"python", "python3", "node", "ruby", "perl",
                                                           "bash",   "sh",      "zsh",  "deno", "bun"};

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The part after the last "/"; a word of slashes only stays as it is.
std::string baseName(const std::string& word)
{
    const auto end = word.find_last_not_of('/');
    if (end == std::string::npos)
        return word;
    const auto slash = word.rfind('/', end);
    return word.substr(slash == std::string::npos ? 0 : slash + 1, end - (slash == std::string::npos ? 0 : slash + 1) + 1);
}

// The command line as words split at spaces, as a process listing shows it.
std::vector<std::string> words(const std::vector<std::string>& argv)
{
    std::vector<std::string> out;
    for (const std::string& arg : argv) {
        size_t i = 0;
        while (i < arg.size()) {
            const size_t j = std::min(arg.find(' ', i), arg.size());
            if (j > i)
                out.push_back(arg.substr(i, j - i));
            i = j + 1;
        }
    }
    return out;
}

}  // namespace

std::vector<ProcessEntry> readProcessTable(const std::string& procRoot)
{
    std::vector<ProcessEntry> table;
    DIR* dir = opendir(procRoot.c_str());
    if (!dir)
        return table;
    while (const dirent* e = readdir(dir)) {
        const std::string_view name = e->d_name;
        int pid = 0;
        const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), pid);
        if (ec != std::errc() || end != name.data() + name.size() || pid <= 0)
            continue;
        const std::string base = procRoot + "/" + std::string(name);
        // stat: "pid (comm) state ppid ..."; comm may hold spaces and parentheses.
        const std::string stat = readAll(base + "/stat");
        const auto close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(stat.substr(close + 1));
        std::string state;
        int ppid = 0;
        if (!(rest >> state >> ppid))
            continue;
        ProcessEntry entry{pid, ppid, {}};
        const std::string cmdline = readAll(base + "/cmdline");
        size_t i = 0;
        while (i < cmdline.size()) {
            const size_t j = std::min(cmdline.find('\0', i), cmdline.size());
            entry.argv.push_back(cmdline.substr(i, j - i));
            i = j + 1;
        }
        table.push_back(std::move(entry));
    }
    closedir(dir);
    std::sort(table.begin(), table.end(), [](const ProcessEntry& a, const ProcessEntry& b) { return a.pid < b.pid; });
    return table;
}

std::map<int, std::string> foregroundCommands(const std::vector<int>& pids, const std::vector<ProcessEntry>& table)
{
    std::map<int, std::string> out;
    for (const int p : pids) {
        if (p <= 0)
            continue;
        for (const ProcessEntry& e : table) {
            if (e.ppid != p)
                continue;
            std::vector<std::string> w = words(e.argv);
            if (w.empty())
                continue;  // no command line: shown without arguments
            for (std::string& word : w)
                word = baseName(word);
            std::string name = w[0];
            if (std::find(kInterpreters.begin(), kInterpreters.end(), name) != kInterpreters.end()) {
                const auto script = std::find_if(w.begin() + 1, w.end(), [](const std::string& s) { return s[0] != '-'; });
                if (script != w.end())
                    name = *script;
            }
            out[p] = name;
            break;
        }
    }
    return out;
}

}  // namespace orvane
