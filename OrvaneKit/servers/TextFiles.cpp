#include "TextFiles.h"

#include <QFile>
#include <QSaveFile>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace orvane {

TextFile readTextFile(const std::string& path, uintmax_t limit)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found)
        return {TextFile::missing, {}};
    if (ec || status.type() != fs::file_type::regular)
        return {TextFile::unreadable, {}};
    const auto size = fs::file_size(path, ec);
    if (ec || size > limit)
        return {TextFile::unreadable, {}};
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {TextFile::unreadable, {}};
    std::string text;
    text.resize(size_t(size));
    in.read(text.data(), std::streamsize(size));
    if (in.gcount() != std::streamsize(size) || in.bad())
        return {TextFile::unreadable, {}};
    // Grown since the size was taken: read the rest, within the limit.
    char extra[4096];
    while (in.read(extra, sizeof extra) || in.gcount() > 0) {
        text.append(extra, size_t(in.gcount()));
        if (text.size() > limit)
            return {TextFile::unreadable, {}};
    }
    if (in.bad())
        return {TextFile::unreadable, {}};
    return {TextFile::read, std::move(text)};
}

bool writeTextFile(const std::string& path, std::string_view text)
{
    QSaveFile file(QFile::decodeName(QByteArray::fromStdString(path)));
    // Unbuffered, so that a short write (a full disk) is seen here: a buffered QSaveFile can
    // lose the error of its final flush and commit a truncated file.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(text.data(), qint64(text.size())) != qint64(text.size()) || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace orvane
