#include "SSHConfig.h"

#include "TextFiles.h"
#include "Transports.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

namespace orvane {

namespace {

constexpr int kMaxIncludeDepth = 3;

// Spaces and tabs separate words; so does the carriage return of a CR LF line end.
std::vector<std::string_view> words(std::string_view line)
{
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < line.size()) {
        const auto start = line.find_first_not_of(" \t\r", i);
        if (start == std::string_view::npos)
            break;
        auto end = line.find_first_of(" \t\r", start);
        if (end == std::string_view::npos)
            end = line.size();
        out.push_back(line.substr(start, end - start));
        i = end;
    }
    return out;
}

std::string lowered(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return out;
}

class HostCollector {
public:
    explicit HostCollector(const std::string& home) : home_(home) {}

    void collect(const std::string& file, int depth)
    {
        // A file whose reading finished at this depth or above has given every name it can
        // give from here, so reading it again would only repeat names. This keeps include
        // cycles and wide wildcard fan-outs cheap without changing the result.
        if (const auto done = done_.find(file); done != done_.end() && done->second <= depth)
            return;
        const TextFile content = readTextFile(file);
        if (content.state == TextFile::read) {
            SSHConfig config = parseSSHConfig(content.text);
            names_.insert(names_.end(), config.hosts.begin(), config.hosts.end());
            if (depth < kMaxIncludeDepth) {
                for (const auto& include : config.includes)
                    for (const auto& path : expandInclude(include, home_))
                        collect(path, depth + 1);
            }
        }
        const auto [it, added] = done_.emplace(file, depth);
        if (!added)
            it->second = std::min(it->second, depth);
    }

    const std::vector<std::string>& names() const { return names_; }

private:
    const std::string& home_;
    std::map<std::string, int> done_;  // file to the smallest depth read
    std::vector<std::string> names_;
};

} // namespace

SSHConfig parseSSHConfig(std::string_view text)
{
    SSHConfig config;
    size_t start = 0;
    while (start <= text.size()) {
        auto lf = text.find('\n', start);
        if (lf == std::string_view::npos)
            lf = text.size();
        const auto w = words(text.substr(start, lf - start));
        start = lf + 1;
        if (w.empty())
            continue;
        const std::string keyword = lowered(w[0]);
        if (keyword == "host") {
            for (size_t i = 1; i < w.size(); ++i)
                if (w[i].find_first_of("*?!") == std::string_view::npos)
                    config.hosts.emplace_back(w[i]);
        } else if (keyword == "include") {
            for (size_t i = 1; i < w.size(); ++i)
                config.includes.emplace_back(w[i]);
        }
    }
    return config;
}

std::vector<std::string> expandInclude(const std::string& path, const std::string& home)
{
    std::string full;
    if (path.starts_with("~/"))
        full = home + path.substr(1);
    else if (path.starts_with("/"))
        full = path;
    else
        full = home + "/.ssh/" + path;

    const auto slash = full.rfind('/');
    const std::string folder = full.substr(0, slash);
    const std::string last = full.substr(slash + 1);
    const auto star = last.find('*');
    if (star == std::string::npos)
        return {full};

    const std::string prefix = last.substr(0, star);
    const std::string suffix = last.substr(star + 1);
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder.empty() ? "/" : folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.size() >= prefix.size() + suffix.size() && name.starts_with(prefix) &&
            name.ends_with(suffix))
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> files;
    files.reserve(names.size());
    for (const auto& name : names)
        files.push_back(folder + "/" + name);
    return files;
}

std::vector<std::string> loadSSHConfigHosts(const std::string& home)
{
    HostCollector collector(home);
    collector.collect(home + "/.ssh/config", 0);
    std::vector<std::string> hosts;
    std::set<std::string> kept;
    for (const auto& name : collector.names()) {
        if (validTarget(name) && kept.insert(name).second)
            hosts.push_back(name);
    }
    return hosts;
}

} // namespace orvane
