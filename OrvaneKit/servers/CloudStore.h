// The key-value store that carries the server list between the user's machines, and its
// implementation on a folder that the user synchronises with a tool of their choice.
#pragma once

#include <QFileSystemWatcher>
#include <QJsonValue>
#include <QObject>
#include <QTimer>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

class CloudStore : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual std::optional<std::string> string(const std::string& key) const = 0;
    virtual std::optional<double> number(const std::string& key) const = 0;
    virtual void setString(const std::string& key, const std::string& value) = 0;
    virtual void setNumber(const std::string& key, double value) = 0;
    // Sends the values set since the last call.
    virtual void synchronize() = 0;
    // False while the values read do not form a whole yet: another machine's change that has
    // only partly arrived. Readers wait for the next change notification.
    virtual bool settled() const { return true; }

signals:
    // Values changed by another machine (or another process); delivered on the thread that
    // made the store.
    void changedExternally();
};

// Each key is a file of the folder, named by the key and replaced atomically on write. A file
// holds one JSON object: the value, and the batch it was written in with the keys written
// together, so that a reader can tell a change that has only partly arrived from a whole one.
// A missing, empty, truncated or unreadable file is an absent key; a file whose companions of
// the same batch are not all there leaves the store unsettled and its values as last read.
// The folder and the files are watched; changes are reported once things have been quiet
// for `kQuietTime`.
class FolderCloudStore : public CloudStore {
    Q_OBJECT
public:
    static constexpr int kQuietTime = 200;  // ms

    // `keys`: the keys this store reads and writes.
    FolderCloudStore(std::string folder, std::vector<std::string> keys, QObject* parent = nullptr);

    std::optional<std::string> string(const std::string& key) const override;
    std::optional<double> number(const std::string& key) const override;
    void setString(const std::string& key, const std::string& value) override;
    void setNumber(const std::string& key, double value) override;
    void synchronize() override;
    bool settled() const override { return settled_; }

    const std::string& folder() const { return folder_; }

private:
    using Values = std::map<std::string, QJsonValue>;

    std::string pathOf(const std::string& key) const { return folder_ + "/" + key; }
    std::optional<Values> readFolder() const;
    // Reads the folder; returns whether the values changed.
    bool refresh();
    void rewatch();
    QJsonValue value(const std::string& key) const;
    void set(const std::string& key, QJsonValue value);

    std::string folder_;
    std::vector<std::string> keys_;
    Values values_;  // as last read or written
    Values pending_;  // set, not yet written
    bool settled_ = true;
    QFileSystemWatcher watcher_;
    QTimer quiet_;
};

} // namespace orvane
