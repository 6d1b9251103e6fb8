// One process owns all windows: a second start hands its request (a folder, as a window or a
// tab, or a new window) to the running instance over a local socket.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QLocalServer;

namespace orvane {

struct InstanceRequest {
    enum class Kind { Window, Folder, FolderTab };
    Kind kind = Kind::Window;
    QString folder;
};

// "window", "folder\tPATH" or "tab\tPATH"; none for anything else.
QString encodeRequest(const InstanceRequest& r);
std::optional<InstanceRequest> decodeRequest(const QString& line);

// The socket of this user's instance: $XDG_RUNTIME_DIR/orvane/instance (else /tmp/orvane-UID/instance).
QString instanceSocketPath();

// Sends a request to a running instance. Returns its answer ("ok" or an error text), or none
// when no instance is running.
std::optional<QString> sendToRunningInstance(const InstanceRequest& request);

class InstanceServer : public QObject {
public:
    // Answers each request with "ok" or the error text the handler returns.
    explicit InstanceServer(std::function<QString(const InstanceRequest&)> handler);
    bool listen();

private:
    std::function<QString(const InstanceRequest&)> handler_;
    QLocalServer* server_ = nullptr;
};

}  // namespace orvane
