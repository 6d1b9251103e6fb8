#include "KnownHosts.h"

#include "Encoding.h"
#include "Files.h"

#include <sys/stat.h>

namespace orvane {

std::optional<std::string> knownHostsKey(std::string_view text, std::string_view name)
{
    size_t start = 0;
    while (start < text.size()) {
        size_t end = start;
        while (end < text.size() && !(text[end] == '\n' && (end == 0 || text[end - 1] != '\r')))
            ++end;
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        const size_t first = line.find_first_not_of(' ');
        if (first == std::string_view::npos)
            continue;
        line.remove_prefix(first);
        const size_t space = line.find(' ');
        if (space == std::string_view::npos || space + 1 >= line.size())
            continue;
        if (line.substr(0, space) == name)
            return std::string(line.substr(space + 1));
    }
    return std::nullopt;
}

std::optional<std::string> FileKnownHosts::key(std::string_view host) const
{
    std::lock_guard guard(lock_);
    const FileContents file = readWholeFile(url);
    if (file.status != FileContents::Status::ok)
        return std::nullopt;
    return knownHostsKey(
        std::string_view(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size()), host);
}

void FileKnownHosts::save(std::string_view host, std::string_view key)
{
    std::lock_guard guard(lock_);
    FileContents file = readWholeFile(url);
    // Rewriting a file that could not be read would lose its entries.
    if (file.status == FileContents::Status::unreadable)
        return;
    std::vector<uint8_t>& text = file.bytes;
    if (!text.empty() && text.back() != '\n')
        text.push_back('\n');
    text.insert(text.end(), host.begin(), host.end());
    text.push_back(' ');
    text.insert(text.end(), key.begin(), key.end());
    text.push_back('\n');
    mode_t mode = 0644;
    struct stat st {};
    if (stat(url.c_str(), &st) == 0)
        mode = st.st_mode & 07777;
    writeFileAtomically(url, text, mode);
}

std::string fingerprint(std::string_view openSSHKey)
{
    // The second word, spaces between words collapsed.
    std::string_view rest = openSSHKey;
    std::string_view words[2];
    int count = 0;
    while (count < 2) {
        const size_t begin = rest.find_first_not_of(' ');
        if (begin == std::string_view::npos)
            break;
        rest.remove_prefix(begin);
        const size_t end = std::min(rest.find(' '), rest.size());
        words[count++] = rest.substr(0, end);
        rest.remove_prefix(end);
    }
    if (count < 2)
        return "?";
    const auto blob = base64Decode(words[1]);
    if (!blob)
        return "?";
    std::string encoded = base64Encode(sha256(*blob));
    std::erase(encoded, '=');
    return "SHA256:" + encoded;
}

} // namespace orvane
