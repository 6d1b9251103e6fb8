#include "PTYProcess.h"

#include "TransportError.h"

#include <QCoreApplication>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace orvane {

namespace {

constexpr size_t kChunk = 65536;

int openPidfd(pid_t pid)
{
#ifdef SYS_pidfd_open
    return int(syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

winsize windowSize(int cols, int rows)
{
    winsize ws{};
    ws.ws_row = static_cast<unsigned short>(std::clamp(rows, 1, 65535));
    ws.ws_col = static_cast<unsigned short>(std::clamp(cols, 1, 65535));
    return ws;
}

// Disables a notifier or timer and deletes it once control is back in the event loop:
// it may be the one whose handler is running.
template <typename T>
void drop(std::unique_ptr<T>& p)
{
    if (!p)
        return;
    if constexpr (std::is_same_v<T, QTimer>)
        p->stop();
    else
        p->setEnabled(false);
    p.release()->deleteLater();
}

// Reaps a child that was hung up on, whenever it ends, without telling anyone. The reaper
// belongs to the application object, so one still waiting at exit goes with it.
void reapLater(pid_t pid, int pidfd)
{
    if (pidfd < 0) {
        // Without a process descriptor: poll a few times, then leave it to the system.
        auto* timer = new QTimer(QCoreApplication::instance());
        auto tries = std::make_shared<int>(0);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, pid, tries] {
            if (waitpid(pid, nullptr, WNOHANG) != 0 || ++*tries > 100)
                timer->deleteLater();
        });
        timer->start(100);
        return;
    }
    if (waitpid(pid, nullptr, WNOHANG) != 0) {
        close(pidfd);
        return;
    }
    auto* notifier = new QSocketNotifier(pidfd, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier, pid, pidfd] {
        waitpid(pid, nullptr, WNOHANG);
        notifier->setEnabled(false);
        close(pidfd);
        notifier->deleteLater();
    });
}

}  // namespace

PTYProcess::PTYProcess(std::string executable, std::vector<std::string> arguments, Env env,
                       std::optional<std::string> directory)
    : executable_(std::move(executable)), arguments_(std::move(arguments)), extraEnv_(std::move(env)),
      directory_(std::move(directory))
{
}

PTYProcess::~PTYProcess()
{
    hangUp();
    cleanUp();
}

void PTYProcess::start(int cols, int rows)
{
    // Everything the child needs is built before the fork: the child only execs.
    std::map<std::string, std::string> env;
    for (char** e = environ; e && *e; ++e) {
        const std::string entry = *e;
        const auto eq = entry.find('=');
        if (eq != std::string::npos)
            env[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    env["TERM"] = "xterm-256color";
    env["COLORTERM"] = "truecolor";
    for (const auto& [k, v] : extraEnv_)
        env[k] = v;
    std::vector<std::string> envStrings;
    for (const auto& [k, v] : env)
        envStrings.push_back(k + "=" + v);
    std::vector<char*> envp;
    for (auto& s : envStrings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = arguments_;
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const char* file = executable_.c_str();
    const char* dir = directory_ ? directory_->c_str() : nullptr;

    winsize ws = windowSize(cols, rows);
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, &ws);
    if (pid == 0) {
        // The child: default signal handling, no descriptors of the parent, then exec.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int sig : {SIGPIPE, SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGCHLD, SIGTSTP, SIGTTIN, SIGTTOU})
            signal(sig, SIG_DFL);
#ifdef SYS_close_range
        syscall(SYS_close_range, 3u, ~0u, 0u);
#endif
        if (dir && chdir(dir) != 0) {
            // Stay in the inherited directory.
        }
        execve(file, argv.data(), envp.data());
        _exit(127);
    }
    if (pid < 0)
        throw TransportError(std::string("forkpty: ") + std::strerror(errno));

    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    // Holding the slave side open keeps the master from reporting its end before the
    // exit watcher has drained the last output.
    if (const char* name = ptsname(master))
        keepAlive_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    master_ = master;
    pid_ = pid;
    buffer_.resize(kChunk);

    // Handlers run on this thread, only while their notifier is alive and enabled, that is
    // while the object is. When it is shared, it is kept alive until the handler returns.
    const std::weak_ptr<PTYProcess> weak = weak_from_this();
    PTYProcess* self = this;
    auto guarded = [weak, self](void (PTYProcess::*handler)()) {
        return [weak, self, handler] {
            const std::shared_ptr<PTYProcess> keep = weak.lock();
            (self->*handler)();
        };
    };
    reader_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
    QObject::connect(reader_.get(), &QSocketNotifier::activated, guarded(&PTYProcess::readAvailable));
    writer_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Write);
    writer_->setEnabled(false);
    QObject::connect(writer_.get(), &QSocketNotifier::activated, guarded(&PTYProcess::writeQueued));

    pidfd_ = openPidfd(pid);
    if (pidfd_ >= 0) {
        exitWatcher_ = std::make_unique<QSocketNotifier>(pidfd_, QSocketNotifier::Read);
        QObject::connect(exitWatcher_.get(), &QSocketNotifier::activated, guarded(&PTYProcess::childExited));
    } else {
        exitPoll_ = std::make_unique<QTimer>();
        QObject::connect(exitPoll_.get(), &QTimer::timeout, [weak, self] {
            const std::shared_ptr<PTYProcess> keep = weak.lock();
            if (waitpid(self->pid_, nullptr, WNOHANG) == self->pid_) {
                self->reaped_ = true;
                self->childExited();
            }
        });
        exitPoll_->start(50);
    }
}

void PTYProcess::readAvailable()
{
    if (master_ < 0)
        return;
    const ssize_t n = read(master_, buffer_.data(), kChunk);
    if (n > 0) {
        if (onData)
            onData(std::span<const uint8_t>(buffer_.data(), size_t(n)));
        return;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    // End of file or an error: stop reading; the exit watcher still ends the object.
    drop(reader_);
}

void PTYProcess::childExited()
{
    if (master_ < 0)
        return;
    if (exitWatcher_)
        exitWatcher_->setEnabled(false);
    if (exitPoll_)
        exitPoll_->stop();
    // Drain what the child wrote before it ended.
    for (;;) {
        const ssize_t n = read(master_, buffer_.data(), kChunk);
        if (n <= 0)
            break;
        if (onData)
            onData(std::span<const uint8_t>(buffer_.data(), size_t(n)));
        if (master_ < 0)
            return;  // stopped from inside onData
    }
    if (!reaped_)
        waitpid(pid_, nullptr, WNOHANG);
    reaped_ = true;
    cleanUp();
    if (onClose)
        onClose();
}

void PTYProcess::write(std::span<const uint8_t> bytes)
{
    if (master_ < 0 || bytes.empty())
        return;
    if (queuedBytes() > 0) {
        pending_.insert(pending_.end(), bytes.begin(), bytes.end());
        return;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n >= 0) {
            done += size_t(n);
        } else if (errno == EINTR) {
            continue;
        } else if (errno == EAGAIN) {
            // The child is not reading: keep the rest and write it when it can take more.
            pending_.assign(bytes.begin() + std::ptrdiff_t(done), bytes.end());
            pendingOffset_ = 0;
            if (writer_)
                writer_->setEnabled(true);
            return;
        } else {
            return;  // the rest is dropped
        }
    }
}

void PTYProcess::writeQueued()
{
    while (master_ >= 0 && queuedBytes() > 0) {
        const ssize_t n = ::write(master_, pending_.data() + pendingOffset_, queuedBytes());
        if (n >= 0) {
            pendingOffset_ += size_t(n);
        } else if (errno == EINTR) {
            continue;
        } else if (errno == EAGAIN) {
            return;
        } else {
            break;
        }
    }
    pending_.clear();
    pendingOffset_ = 0;
    if (writer_)
        writer_->setEnabled(false);
}

void PTYProcess::resize(int cols, int rows)
{
    if (master_ < 0)
        return;
    const winsize ws = windowSize(cols, rows);
    ioctl(master_, TIOCSWINSZ, &ws);
}

void PTYProcess::hangUp()
{
    if (pid_ > 0 && !reaped_) {
        kill(pid_, SIGHUP);
        reaped_ = true;
        reapLater(pid_, pidfd_);
        pidfd_ = -1;  // now owned by the reaper
    }
}

void PTYProcess::stop()
{
    hangUp();
    cleanUp();
}

void PTYProcess::cleanUp()
{
    drop(reader_);
    drop(writer_);
    drop(exitWatcher_);
    drop(exitPoll_);
    if (master_ >= 0) {
        close(master_);
        master_ = -1;
    }
    if (keepAlive_ >= 0) {
        close(keepAlive_);
        keepAlive_ = -1;
    }
    if (pidfd_ >= 0) {
        close(pidfd_);
        pidfd_ = -1;
    }
    pending_.clear();
    pendingOffset_ = 0;
}

}  // namespace orvane
