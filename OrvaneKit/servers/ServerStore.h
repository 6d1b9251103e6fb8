// The saved-server list of a window: the user's own list (a text file kept in step with the
// user's other machines through a cloud store) followed by the hosts of the ssh configuration
// that the user has not hidden. Every edit writes the file, then reads everything again.
// Used on the main thread only; each window may hold its own store over the same files.
#pragma once

#include "CloudStore.h"
#include "ServerList.h"

#include <QObject>

#include <memory>
#include <string>
#include <vector>

class QSettings;

namespace orvane {

class ServerStore : public QObject {
    Q_OBJECT
public:
    struct Places {
        std::string dir;      // the application's data folder: "servers" and "hidden"
        std::string home;     // whose ~/.ssh/config is read, and where "~/" points
        std::string settings;  // the user defaults (INI)

        // $XDG_DATA_HOME/Orvane, $HOME and $XDG_CONFIG_HOME/Orvane/Orvane.conf, with the XDG
        // defaults under the home folder.
        static Places forUser();
    };

    static constexpr const char* kServersKey = "servers";
    static constexpr const char* kStampKey = "serversStamp";
    // User defaults: the stamp this machine last wrote to or took from the cloud (0: never),
    // and the folder that stands for the cloud (none: the list stays on this machine).
    static constexpr const char* kLocalStampKey = "Orvane.serversStamp";
    static constexpr const char* kCloudFolderKey = "cloudFolder";

    // The user's places, with a FolderCloudStore on the folder the user defaults name.
    explicit ServerStore(QObject* parent = nullptr);
    // No cloud store: the list stays on this machine.
    ServerStore(Places places, std::unique_ptr<CloudStore> cloud, QObject* parent = nullptr);
    ~ServerStore() override;

    // The cloud store for these places: a FolderCloudStore on the "cloudFolder" user default
    // ("~/" is the home folder, a relative path is under it), or none when it is not set.
    static std::unique_ptr<CloudStore> cloudFor(const Places& places);

    const std::vector<Server>& servers() const { return servers_; }
    // The own-list text as last read.
    const std::string& ownText() const { return ownText_; }
    const Places& places() const { return places_; }

    void reload();
    // The edits take their arguments by value: callers pass entries of `servers`, which the
    // edit itself replaces.
    void add(std::string name, std::string target, bool tmux);
    // An ssh-config host becomes an own server at the end of the list, and is hidden.
    void update(Server server, std::string name, std::string target, bool tmux);
    // `list`: the servers in their new order; only the own ones move.
    void reorder(std::vector<Server> list);
    // Removes an own server's line, or hides an ssh-config host on this machine.
    void remove(Server server);
    // Adds a name to the hidden ssh-config hosts of this machine.
    void hide(const std::string& name);

    // Takes the cloud's list when it is newer, sends this machine's when it is newer; a machine
    // meeting the cloud for the first time unites its own list with the cloud's.
    void mergeFromCloud();
    void pushToCloud(double stamp);

signals:
    // `servers` changed.
    void serversChanged();

private:
    std::string ownPath() const { return places_.dir + "/servers"; }
    std::string hiddenPath() const { return places_.dir + "/hidden"; }
    // Re-reads before an edit, so that edits by other windows, other processes and the user's
    // editor are built upon; false when the own list cannot be read (then nothing is written).
    bool readForEdit();
    // The current line of an own server: where it was, else where it went.
    std::optional<int> lineOf(const Server& server) const;
    void saveOwnText(const std::string& text);
    double localStamp() const;
    // The stamp of a change made now.
    double newStamp() const;

    Places places_;
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<CloudStore> cloud_;
    std::vector<Server> servers_;
    std::string ownText_;
    bool ownUnreadable_ = false;  // the file is there but cannot be read
};

} // namespace orvane
