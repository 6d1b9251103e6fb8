// Host names from the user's ssh client configuration, following its Include lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvane {

struct SSHConfig {
    // Words of Host lines that are plain names (no "*", "?" or "!").
    std::vector<std::string> hosts;
    // Words of Include lines, as written.
    std::vector<std::string> includes;

    friend bool operator==(const SSHConfig&, const SSHConfig&) = default;
};

// Reads one configuration file's text. Keywords are case-insensitive; the "Key=value" form
// and quoting are not recognised; other lines are ignored.
SSHConfig parseSSHConfig(std::string_view text);

// The files an Include word names: "~/" is the home folder, "/" absolute, anything else is
// relative to ~/.ssh. A "*" in the last component matches any run of characters (the first
// "*" only); the matching names come sorted.
std::vector<std::string> expandInclude(const std::string& path, const std::string& home);

// Host names of ~/.ssh/config and the files it includes, up to three levels deep: a file's own
// hosts come before those of its includes. Each valid ssh target once, in first-seen order.
std::vector<std::string> loadSSHConfigHosts(const std::string& home);

} // namespace orvane
