// Shared helpers for tests that need an event loop, temporary folders and real servers.
#pragma once

#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QTemporaryDir;

namespace orvane::testing {

// Runs the Qt event loop until `done` returns true or `timeout` passes; returns `done()`.
bool waitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));
// Runs the event loop for a while.
void spin(std::chrono::milliseconds duration);

// A free TCP port on 127.0.0.1.
int freePort();
// Runs a command line through /bin/sh and returns its exit status; output goes to `out`.
int runCommand(const std::string& command, std::string* out = nullptr);
// Whether a process with this id still exists (zombies included).
bool processExists(int pid);
// Ids of the processes whose command line contains `needle`.
std::vector<int> processesMatching(const std::string& needle);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text, int mode = 0644);

struct SshServerOptions {
    // Also accept password logins (for accounts with a password, such as a TestUser).
    bool passwordLogin = false;
    // Sessions get an empty HOME in the server's folder, so the account's own shell start-up
    // files (~/.profile, ~/.bashrc) are not run.
    bool privateHome = false;
};

// An OpenSSH server on 127.0.0.1 at a free port, with its host key, authorized key and
// configuration in a temporary folder, for the current user. Also writes an ssh wrapper
// (`sshWrapper`) that runs the system ssh with a private configuration trusting the server,
// for ORVANE_SSH. Remote tmux servers use a private TMUX_TMPDIR. Stopped on destruction.
class SshServer {
public:
    SshServer();
    explicit SshServer(SshServerOptions options);
    ~SshServer();
    SshServer(const SshServer&) = delete;
    SshServer& operator=(const SshServer&) = delete;

    bool running() const { return pid_ > 0; }
    const std::string& error() const { return error_; }
    int port() const { return port_; }
    const std::string& user() const { return user_; }
    const std::string& dir() const { return dir_; }
    std::string sshWrapper() const { return dir_ + "/ssh"; }
    std::string tmuxTmpDir() const { return dir_ + "/tmux"; }
    // "user@127.0.0.1:port"
    std::string target() const;
    std::string clientKey() const { return dir_ + "/client_ed25519"; }
    std::string hostKey() const { return dir_ + "/host_ed25519"; }

private:
    std::unique_ptr<QTemporaryDir> tmp_;
    std::string dir_;
    std::string user_;
    std::string error_;
    int port_ = 0;
    int pid_ = 0;
};

// A local account with a known password, for password logins to an SshServer. As root it is
// created (or taken over from an earlier run), given the password and deleted at the end;
// otherwise it must exist beforehand with that password.
class TestUser {
public:
    TestUser(std::string name, std::string password);
    ~TestUser();
    TestUser(const TestUser&) = delete;
    TestUser& operator=(const TestUser&) = delete;

    bool ready() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    const std::string name;
    const std::string password;

private:
    std::string error_;
    bool owned_ = false;
};

}  // namespace orvane::testing
