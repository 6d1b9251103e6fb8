// Arbitrary text through the own-list reader and the ssh-config reader, with what the store
// relies on: servers on lines of the text with valid targets, entries that stay one line each,
// and a reorder that moves exactly the server lines and keeps every other line in place.
#include "SSHConfig.h"
#include "ServerList.h"
#include "Transports.h"

#include <algorithm>
#include <cstdlib>
#include <set>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

size_t lineCount(std::string_view text)
{
    return size_t(std::count(text.begin(), text.end(), '\n')) + 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace orvane;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const auto servers = parseOwnServers(text);
    std::set<std::string> ids;
    int previous = -1;
    for (const auto& s : servers) {
        check(s.own && s.line > previous && size_t(s.line) < lineCount(text));
        check(validTarget(s.target) && s.name.find('\n') == std::string::npos);
        check(ids.insert(s.id()).second);
        previous = s.line;
    }

    // Reversed: the same lines hold servers, now in the other order.
    if (servers.size() >= 2) {
        const std::vector<Server> reversed(servers.rbegin(), servers.rend());
        const auto again = parseOwnServers(reorderedServerLines(text, reversed));
        check(again.size() == servers.size());
        for (size_t i = 0; i < again.size(); ++i) {
            check(again[i].line == servers[i].line);
            check(again[i].target == reversed[i].target && again[i].tmux == reversed[i].tmux);
        }
    }

    // An entry with any name replaces exactly its line.
    if (!servers.empty()) {
        const std::string name(text.substr(0, 64));
        const std::string edited = editServerLines(text, servers[0].line, std::pair{name, std::string("h")}, false);
        const auto after = parseOwnServers(edited);
        check(after.size() == servers.size());
        check(after[0].line == servers[0].line && after[0].target == "h" && !after[0].tmux);
        check(editServerLines(edited, servers[0].line, std::nullopt, true).size() < edited.size());
    }
    const std::string line = serverLine(text.substr(0, size / 2), text.substr(size / 2), size % 2);
    check(line.find('\n') == std::string::npos);
    (void)filterServers(servers, text.substr(0, 16));

    const SSHConfig config = parseSSHConfig(text);
    for (const auto& h : config.hosts)
        check(!h.empty() && h.find_first_of("*?! \t\r\n") == std::string::npos);
    for (const auto& i : config.includes)
        check(!i.empty() && i.find_first_of(" \t\r\n") == std::string::npos);
    return 0;
}
