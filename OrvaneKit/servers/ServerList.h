// Saved servers and the own-list text: one server per line, "name = target", an optional
// " | plain" for a shell without tmux, "#" comments and blank lines kept in place.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvane {

struct Server {
    std::string name;
    // user@host, user@host:port, or an ssh-config host alias.
    std::string target;
    // A line of the own list (true) or a host of the ssh configuration (false).
    bool own = false;
    // Own servers: 0-based line in the own-list text, comments and blank lines counted.
    int line = 0;
    // Open a tmux control-mode session (true) or a plain shell.
    bool tmux = true;

    // "own:" + line, or "ssh:" + name.
    std::string id() const;

    friend bool operator==(const Server&, const Server&) = default;
};

// The own servers of a list text, in line order. Lines that are no server are skipped.
std::vector<Server> parseOwnServers(std::string_view text);

// One list line: "name = target", or the target alone when the name is empty or equal to it,
// followed by " | plain" without tmux. Line breaks and "=" in the name become spaces, and a
// name never starts with "#" (the line would read as a comment). Line breaks in the target
// become spaces, so an entry is always exactly one line.
std::string serverLine(std::string_view name, std::string_view target, bool tmux);

// The text with one line replaced (line and entry), removed (line, no entry) or appended
// (entry, no line). A line number past the end changes nothing. The result ends in a line feed.
std::string editServerLines(std::string_view text, std::optional<int> line,
                            const std::optional<std::pair<std::string, std::string>>& entry, bool tmux);

// The text with its server lines rewritten in the given order; comments and blank lines keep
// their places. Unchanged when the count differs from the text's servers or is below two.
std::string reorderedServerLines(std::string_view text, const std::vector<Server>& newOrder);

// The servers whose lower-cased "name target" holds every word of the query, in order.
std::vector<Server> filterServers(const std::vector<Server>& servers, std::string_view query);

} // namespace orvane
