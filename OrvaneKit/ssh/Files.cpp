#include "Files.h"

#include "Encoding.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane {

FileContents readWholeFile(const std::string& path, size_t limit)
{
    FileContents result;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        result.status = errno == ENOENT ? FileContents::Status::missing : FileContents::Status::unreadable;
        return result;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        result.status = FileContents::Status::unreadable;
        return result;
    }
    // Sized up front; when the file grows meanwhile, the buffer grows and the old one is wiped,
    // so that no copy of a secret is left behind.
    result.bytes.resize(std::min<size_t>(size_t(st.st_size), limit) + 1);
    size_t done = 0;
    for (;;) {
        if (done == result.bytes.size()) {
            if (done > limit)
                break;
            std::vector<uint8_t> bigger(std::min(done * 2, limit + 1));
            std::copy(result.bytes.begin(), result.bytes.end(), bigger.begin());
            wipe(result.bytes);
            result.bytes.swap(bigger);
        }
        const ssize_t n = read(fd, result.bytes.data() + done, result.bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            close(fd);
            wipe(result.bytes);
            result.bytes.clear();
            result.status = FileContents::Status::unreadable;
            return result;
        }
        if (n == 0)
            break;
        done += size_t(n);
    }
    close(fd);
    result.bytes.resize(done);
    result.status = FileContents::Status::ok;
    return result;
}

bool makeFolders(const std::string& path, mode_t mode)
{
    if (path.empty())
        return false;
    struct stat st {};
    if (stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const auto slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeFolders(path.substr(0, slash), mode))
        return false;
    return mkdir(path.c_str(), mode) == 0 || errno == EEXIST;
}

bool writeFileAtomically(const std::string& path, std::span<const uint8_t> bytes, mode_t mode)
{
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    if (!makeFolders(folder, 0700))
        return false;
    std::string temp = path + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC); // created with mode 0600
    if (fd < 0)
        return false;
    bool ok = true;
    size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ok = false;
        else
            done += size_t(n);
    }
    ok = ok && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok && rename(temp.c_str(), path.c_str()) == 0)
        return true;
    unlink(temp.c_str());
    return false;
}

std::string dataFolder()
{
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/')
        return std::string(xdg) + "/Orvane";
    std::string home;
    if (const char* h = std::getenv("HOME"); h && *h)
        home = h;
    else if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        home = pw->pw_dir;
    return home + "/.local/share/Orvane";
}

} // namespace orvane
