// A transport that reaches a server with the built-in SSH client (libssh) instead of the
// system ssh program. It checks the host key against its own known-hosts file, asking in the
// terminal about a new one, logs in with the client's Ed25519 key and then with up to three
// passwords asked in the terminal, and runs the tmux control-mode command or, in plain mode,
// an interactive shell on a pseudo-terminal.
//
// The connection runs on a worker thread of its own. Every callback is delivered on the thread
// that created the transport, through that thread's Qt event loop, in the order the worker
// produced it; none runs once the transport has been destroyed. Own it through std::shared_ptr
// so a callback can release it safely.
#pragma once

#include "KnownHosts.h"
#include "SSHKeyStore.h"
#include "TmuxTransport.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QObject;

namespace orvane {

// The parts of a user@host[:port] target.
struct SSHTarget {
    std::string user;
    std::string host;
    int64_t port = 22;
    bool operator==(const SSHTarget&) const = default;
};

// Splits a target that passes validTarget: the user before the first "@"; a port after the last
// ":" when it reads as a decimal number and the host is not bracketed; "[" and "]" removed from
// both ends of the host. Throws TransportError without "@", or with an empty user or host.
SSHTarget parseTarget(const std::string& target);
// The name a server's key is kept under: the host for port 22, else "[host]:port".
std::string knownHostsName(const SSHTarget& target);

class DirectSSHTransport : public TmuxTransport, public std::enable_shared_from_this<DirectSSHTransport> {
public:
    // `command` defaults to the tmux control-mode command for `session`; `plain` asks for a shell
    // instead. `connectTimeout` bounds the TCP connect and each step of the handshake.
    DirectSSHTransport(std::string target, const std::string& session, std::shared_ptr<SSHKeyStore> keys,
                       std::shared_ptr<FileKnownHosts> knownHosts,
                       std::optional<std::string> command = std::nullopt, bool plain = false,
                       std::chrono::milliseconds connectTimeout = std::chrono::seconds(15));
    ~DirectSSHTransport() override;
    DirectSSHTransport(const DirectSSHTransport&) = delete;
    DirectSSHTransport& operator=(const DirectSSHTransport&) = delete;

    using TmuxTransport::write;
    // Checks the target, then connects in the background and returns at once. Throws
    // TransportError for a target that is invalid or lacks a user or host. Later calls do nothing.
    void start(int cols, int rows) override;
    // While a question is asked, the bytes edit the answer; otherwise they go to the server
    // once the session channel is open, and are dropped before.
    void write(std::span<const uint8_t> bytes) override;
    void resize(int cols, int rows) override;
    // Ends the connection; a pending question is answered with nothing. onClose still follows
    // once, unless the transport had already ended.
    void stop() override;

    // The interactive shell has started (plain mode only).
    std::function<void()> onStarted;
    // The session channel is open; true when the client key logged in without any password.
    std::function<void(bool)> onAuthenticated;

    const std::string target;
    const std::string command;
    const std::shared_ptr<SSHKeyStore> keys;
    const std::shared_ptr<FileKnownHosts> knownHosts;
    const bool plain;
    const std::chrono::milliseconds connectTimeout;

    struct Core;

private:
    std::shared_ptr<Core> core_;
    QObject* context_ = nullptr;
    bool started_ = false;
};

} // namespace orvane
