#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <netinet/in.h>
#include <pwd.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvane::testing {

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    QElapsedTimer timer;
    timer.start();
    // A real event loop, woken every few milliseconds to look at `done`: it waits on the
    // descriptors of socket notifiers the way the application does.
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, &loop, &QEventLoop::quit);
    tick.start();
    while (!done()) {
        if (timer.elapsed() > timeout.count())
            return done();
        loop.exec();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

void spin(std::chrono::milliseconds duration)
{
    waitUntil([] { return false; }, duration);
}

int freePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        close(fd);
        return 0;
    }
    close(fd);
    return ntohs(addr.sin_port);
}

int runCommand(const std::string& command, std::string* out)
{
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return -1;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        text.append(buf, n);
    const int status = pclose(p);
    if (out)
        *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool processExists(int pid)
{
    return pid > 0 && (kill(pid, 0) == 0 || errno != ESRCH);
}

std::vector<int> processesMatching(const std::string& needle)
{
    std::vector<int> pids;
    const QStringList entries = QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& e : entries) {
        bool ok = false;
        const int pid = e.toInt(&ok);
        if (!ok || pid == getpid())
            continue;
        std::string cmdline = readFile("/proc/" + e.toStdString() + "/cmdline");
        for (char& c : cmdline)
            if (c == '\0')
                c = ' ';
        if (cmdline.find(needle) != std::string::npos)
            pids.push_back(pid);
    }
    return pids;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& text, int mode)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    chmod(path.c_str(), mode_t(mode));
}

SshServer::SshServer() : SshServer(SshServerOptions{}) {}

SshServer::SshServer(SshServerOptions options) : tmp_(std::make_unique<QTemporaryDir>())
{
    dir_ = tmp_->path().toStdString();
    const passwd* pw = getpwuid(getuid());
    user_ = pw ? pw->pw_name : "root";
    port_ = freePort();
    if (getuid() == 0)
        mkdir("/run/sshd", 0755);
    mkdir(tmuxTmpDir().c_str(), 0700);
    if (options.privateHome)
        mkdir((dir_ + "/home").c_str(), 0700);
    if (runCommand("ssh-keygen -q -t ed25519 -N '' -f " + hostKey() + " && ssh-keygen -q -t ed25519 -N '' -f " +
                   clientKey()) != 0) {
        error_ = "ssh-keygen failed";
        return;
    }
    writeFile(dir_ + "/authorized_keys", readFile(clientKey() + ".pub"), 0600);
    writeFile(dir_ + "/sshd_config",
              "ListenAddress 127.0.0.1\n"
              "Port " + std::to_string(port_) + "\n"
              "HostKey " + hostKey() + "\n"
              "PidFile " + dir_ + "/sshd.pid\n"
              "AuthorizedKeysFile " + dir_ + "/authorized_keys\n"
              "PermitRootLogin yes\n"
              "PasswordAuthentication " + std::string(options.passwordLogin ? "yes" : "no") + "\n"
              "KbdInteractiveAuthentication no\n"
              "UsePAM no\n"
              "StrictModes no\n"
              "PrintMotd no\n"
              "PrintLastLog no\n"
              "SetEnv TMUX_TMPDIR=" + tmuxTmpDir() +
                  (options.privateHome ? " HOME=" + dir_ + "/home" : std::string()) + "\n");
    writeFile(dir_ + "/ssh_config",
              "Host *\n"
              "  IdentityFile " + clientKey() + "\n"
              "  IdentitiesOnly yes\n"
              "  UserKnownHostsFile /dev/null\n"
              "  StrictHostKeyChecking no\n"
              "  GlobalKnownHostsFile /dev/null\n"
              "  BatchMode yes\n"
              "  LogLevel ERROR\n");
    writeFile(sshWrapper(), "#!/bin/sh\nexec /usr/bin/ssh -F " + dir_ + "/ssh_config \"$@\"\n", 0755);

    const pid_t pid = fork();
    if (pid == 0) {
        const std::string config = dir_ + "/sshd_config";
        const std::string log = dir_ + "/sshd.log";
        execl("/usr/sbin/sshd", "/usr/sbin/sshd", "-D", "-f", config.c_str(), "-E", log.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    pid_ = pid;
    // Ready once the port takes connections.
    const bool up = waitUntil([this] {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(uint16_t(port_));
        const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        close(fd);
        return ok || waitpid(pid_, nullptr, WNOHANG) == pid_;
    });
    if (!up || waitpid(pid_, nullptr, WNOHANG) == pid_) {
        error_ = "sshd did not start: " + readFile(dir_ + "/sshd.log");
        pid_ = 0;
    }
}

SshServer::~SshServer()
{
    runCommand("TMUX_TMPDIR=" + tmuxTmpDir() + " tmux kill-server 2>/dev/null");
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

std::string SshServer::target() const
{
    return user_ + "@127.0.0.1:" + std::to_string(port_);
}

TestUser::TestUser(std::string n, std::string p) : name(std::move(n)), password(std::move(p))
{
    const bool exists = runCommand("id -u " + name + " >/dev/null 2>&1") == 0;
    if (getuid() != 0) {
        if (!exists)
            error_ = "the test account " + name + " is missing, and only root can create it";
        return;  // one made beforehand, with this password
    }
    if (!exists && runCommand("useradd -M -d / -s /bin/sh " + name + " 2>&1") != 0) {
        error_ = "useradd " + name + " failed";
        return;
    }
    // As root the account is ours for the test, also when an earlier run left it behind.
    owned_ = true;
    if (runCommand("echo '" + name + ":" + password + "' | chpasswd 2>&1") != 0)
        error_ = "chpasswd failed for " + name;
}

TestUser::~TestUser()
{
    // -f: a session of the account may still be winding down.
    if (owned_)
        runCommand("userdel -f " + name + " >/dev/null 2>&1");
}

}  // namespace orvane::testing
