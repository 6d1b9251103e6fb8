// The built-in SSH client's own known-hosts file: one "name key-type base64" line per accepted
// host key, where the name is the host, or "[host]:port" for a port other than 22. Keys are
// trusted on first use; entries are only ever appended.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

class FileKnownHosts {
public:
    // Nothing is read or created here.
    explicit FileKnownHosts(std::string path) : url(std::move(path)) {}

    // The key text of the first line for that name (case matters), or none. A missing or
    // unreadable file has no entries.
    std::optional<std::string> key(std::string_view host) const;
    // Appends "host key" as a line, creating the folder and the file when needed. The file is
    // replaced atomically; a file that exists but cannot be read is left alone.
    void save(std::string_view host, std::string_view key);

    const std::string url;

private:
    mutable std::mutex lock_;
};

// The key text stored for `name` in known-hosts text: lines end at line feeds that do not follow
// a carriage return, empty lines are skipped, and a line is split at its first space (spaces
// before the name are dropped) into the name and the key text.
std::optional<std::string> knownHostsKey(std::string_view text, std::string_view name);

// "SHA256:" + unpadded Base64 of the SHA-256 of the key blob (the second space-separated word),
// as OpenSSH shows it; "?" when that word is missing or not Base64.
std::string fingerprint(std::string_view openSSHKey);

} // namespace orvane
