// The four process transports, and the rules for ssh targets and tmux session names.
#pragma once

#include "PTYProcess.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// An ssh destination: not empty, no leading "-", only ASCII letters, digits and "._-@:[]%".
bool validTarget(std::string_view target);
// A tmux session name: 1 to 60 characters, ASCII letters, digits and "._-".
bool validSession(std::string_view session);
// The remote command that runs tmux in control mode on the named session, creating it.
std::string tmuxControlCommand(std::string_view session);

// The user's login shell: SHELL, else the password database's entry, else /bin/sh.
std::string loginShell();
// The ssh program: ORVANE_SSH when set, else /usr/bin/ssh.
std::string sshProgram();
// ssh arguments for a target: "-p PORT" when the target carries a port, then the destination
// with the port removed and a bracketed address unbracketed.
std::vector<std::string> sshDestination(const std::string& target);

// The system ssh program running tmux in control mode on the server.
class SystemSSHTransport : public PTYProcess {
public:
    SystemSSHTransport(std::string target, std::string session);
    void start(int cols, int rows) override;

    const std::string target;
    const std::string session;
};

// The system ssh program with an interactive remote shell.
class PlainSSHTransport : public PTYProcess {
public:
    explicit PlainSSHTransport(std::string target);
    void start(int cols, int rows) override;

    const std::string target;
};

// The user's login shell, in the given folder or the home folder.
class LocalShellTransport : public PTYProcess {
public:
    explicit LocalShellTransport(std::optional<std::string> directory = std::nullopt);
    // The shell's current working directory, read on each call; none without a child.
    std::optional<std::string> workingDirectory() const;
};

// The login shell starting local tmux in control mode: a new session or an attach.
class LocalTmuxTransport : public PTYProcess {
public:
    explicit LocalTmuxTransport(bool startNew);
};

}  // namespace orvane
