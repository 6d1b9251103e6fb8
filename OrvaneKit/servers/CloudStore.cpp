#include "CloudStore.h"

#include "TextFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

#include <algorithm>

namespace orvane {

namespace {

constexpr uintmax_t kFileLimit = 4u << 20;

QString qstr(const std::string& s)
{
    return QString::fromStdString(s);
}

struct KeyFile {
    bool whole = false;  // read and parsed
    QString batch;
    QJsonArray keys;
    QJsonValue value;
};

KeyFile readKeyFile(const std::string& path)
{
    const TextFile file = readTextFile(path, kFileLimit);
    if (file.state != TextFile::read)
        return {};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(file.text));
    if (!doc.isObject())
        return {};
    const QJsonObject o = doc.object();
    if (!o.value("batch").isString() || !o.value("keys").isArray() || !o.contains("value"))
        return {};
    return {true, o.value("batch").toString(), o.value("keys").toArray(), o.value("value")};
}

// A file someone else keeps under the same name: never overwritten.
bool foreignFile(const std::string& path)
{
    const TextFile file = readTextFile(path, kFileLimit);
    if (file.state != TextFile::read)
        return false;
    const auto first = file.text.find_first_not_of(" \t\r\n");
    return first != std::string::npos && file.text[first] != '{';
}

} // namespace

FolderCloudStore::FolderCloudStore(std::string folder, std::vector<std::string> keys, QObject* parent)
    : CloudStore(parent), folder_(std::move(folder)), keys_(std::move(keys))
{
    while (folder_.size() > 1 && folder_.back() == '/')
        folder_.pop_back();
    quiet_.setSingleShot(true);
    quiet_.setInterval(kQuietTime);
    connect(&quiet_, &QTimer::timeout, this, [this] {
        if (refresh())
            emit changedExternally();
    });
    const auto changed = [this] {
        rewatch();
        quiet_.start();
    };
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, changed);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, changed);
    refresh();
    rewatch();
}

std::optional<FolderCloudStore::Values> FolderCloudStore::readFolder() const
{
    std::map<std::string, KeyFile> files;
    for (const auto& key : keys_)
        files[key] = readKeyFile(pathOf(key));
    Values values;
    for (const auto& [key, file] : files) {
        if (!file.whole)
            continue;
        for (const QJsonValue companion : file.keys) {
            const auto other = files.find(companion.toString().toStdString());
            if (other != files.end() && (!other->second.whole || other->second.batch != file.batch))
                return std::nullopt;
        }
        values[key] = file.value;
    }
    return values;
}

bool FolderCloudStore::refresh()
{
    auto values = readFolder();
    settled_ = values.has_value();
    if (!values || *values == values_)
        return false;
    values_ = std::move(*values);
    return true;
}

void FolderCloudStore::rewatch()
{
    // Files replaced by a rename lose their watch: watch whatever is there now.
    if (const QStringList files = watcher_.files(); !files.isEmpty())
        watcher_.removePaths(files);
    QString folder = qstr(folder_);
    if (!QFileInfo(folder).isDir())
        folder = QFileInfo(folder).path();  // not made yet: wait for it in its parent
    if (QFileInfo(folder).isDir() && !watcher_.directories().contains(folder)) {
        if (const QStringList dirs = watcher_.directories(); !dirs.isEmpty())
            watcher_.removePaths(dirs);
        watcher_.addPath(folder);
    }
    QStringList files;
    for (const auto& key : keys_) {
        if (QFileInfo(qstr(pathOf(key))).isFile())
            files << qstr(pathOf(key));
    }
    if (!files.isEmpty())
        watcher_.addPaths(files);
}

QJsonValue FolderCloudStore::value(const std::string& key) const
{
    if (const auto p = pending_.find(key); p != pending_.end())
        return p->second;
    if (const auto v = values_.find(key); v != values_.end())
        return v->second;
    return QJsonValue(QJsonValue::Undefined);
}

std::optional<std::string> FolderCloudStore::string(const std::string& key) const
{
    const QJsonValue v = value(key);
    if (!v.isString())
        return std::nullopt;
    return v.toString().toStdString();
}

std::optional<double> FolderCloudStore::number(const std::string& key) const
{
    const QJsonValue v = value(key);
    if (!v.isDouble())
        return std::nullopt;
    return v.toDouble();
}

void FolderCloudStore::set(const std::string& key, QJsonValue value)
{
    if (std::find(keys_.begin(), keys_.end(), key) == keys_.end())
        keys_.push_back(key);
    pending_[key] = std::move(value);
}

void FolderCloudStore::setString(const std::string& key, const std::string& value)
{
    set(key, QJsonValue(qstr(value)));
}

void FolderCloudStore::setNumber(const std::string& key, double value)
{
    set(key, QJsonValue(value));
}

void FolderCloudStore::synchronize()
{
    if (pending_.empty())
        return;
    Values pending;
    pending.swap(pending_);
    // Values that are there already are not written again: every write is a change that the
    // synchronising tool carries to the other machines.
    const bool same = settled_ && std::all_of(pending.begin(), pending.end(), [this](const auto& kv) {
                          const auto v = values_.find(kv.first);
                          return v != values_.end() && v->second == kv.second;
                      });
    if (same)
        return;
    QDir().mkpath(qstr(folder_));
    QJsonArray keys;
    for (const auto& kv : pending)
        keys.append(qstr(kv.first));
    const QString batch = QUuid::createUuid().toString(QUuid::WithoutBraces);
    for (const auto& [key, value] : pending) {
        const std::string path = pathOf(key);
        if (foreignFile(path))
            continue;
        const QJsonObject o{{"batch", batch}, {"keys", keys}, {"value", value}};
        const QByteArray json = QJsonDocument(o).toJson(QJsonDocument::Compact) + "\n";
        writeTextFile(path, json.toStdString());
    }
    // What is there now, ours or not, without telling: the caller acts on it.
    refresh();
    rewatch();
}

} // namespace orvane
