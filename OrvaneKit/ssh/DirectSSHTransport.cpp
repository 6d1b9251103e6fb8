#include "DirectSSHTransport.h"

#include "Encoding.h"
#include "TransportError.h"
#include "Transports.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>

#include <libssh/callbacks.h>
#include <libssh/libssh.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace orvane {

namespace {

constexpr std::string_view kLoginRejected = "Login rejected (key or password is wrong).";

std::string asciiLower(std::string s)
{
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return s;
}

// The text an SSH library error is shown as.
std::string failureText(const std::string& libraryError)
{
    if (asciiLower(libraryError).find("auth") != std::string::npos)
        return std::string(kLoginRejected);
    return libraryError;
}

// The OpenSSH one-line form of a public key, "type base64", without comment; the type is the
// first string inside the key blob.
std::string openSSHLine(ssh_key key)
{
    char* b64 = nullptr;
    if (ssh_pki_export_pubkey_base64(key, &b64) != SSH_OK || !b64)
        return {};
    std::string encoded = b64;
    ssh_string_free_char(b64);
    std::string type = "?";
    if (const auto blob = base64Decode(encoded)) {
        WireReader reader(*blob);
        if (const auto name = reader.string())
            type.assign(name->begin(), name->end());
    }
    return type + " " + encoded;
}

struct KeyFree {
    void operator()(ssh_key k) const { ssh_key_free(k); }
};
using LibsshKey = std::unique_ptr<std::remove_pointer_t<ssh_key>, KeyFree>;

// The client key in the form libssh takes for public-key login.
LibsshKey libsshKey(const Ed25519PrivateKey& key)
{
    std::string file = key.openSSHPrivateKey();
    ssh_key k = nullptr;
    const int rc = ssh_pki_import_privkey_base64(file.c_str(), nullptr, nullptr, nullptr, &k);
    wipe(file);
    if (rc != SSH_OK)
        return nullptr;
    return LibsshKey(k);
}

} // namespace

SSHTarget parseTarget(const std::string& target)
{
    const auto at = target.find('@');
    if (at == std::string::npos)
        throw TransportError("Please enter user@host (e.g. root@192.168.0.39).");
    SSHTarget t;
    t.user = target.substr(0, at);
    std::string rest = target.substr(at + 1);
    t.host = rest;
    if (!rest.empty() && rest.front() != '[') {
        const auto colon = rest.rfind(':');
        if (colon != std::string::npos && colon + 1 < rest.size()) {
            const std::string digits = rest.substr(colon + 1);
            int64_t port = 0;
            const char* first = digits.data() + (digits.front() == '+' ? 1 : 0);
            const char* last = digits.data() + digits.size();
            const auto [end, ec] = std::from_chars(first, last, port);
            if (ec == std::errc() && end == last && first != last) {
                t.port = port;
                t.host = rest.substr(0, colon);
            }
        }
    }
    size_t begin = 0, end = t.host.size();
    while (begin < end && (t.host[begin] == '[' || t.host[begin] == ']'))
        ++begin;
    while (end > begin && (t.host[end - 1] == '[' || t.host[end - 1] == ']'))
        --end;
    t.host = t.host.substr(begin, end - begin);
    if (t.user.empty() || t.host.empty())
        throw TransportError("Invalid target: " + target);
    return t;
}

std::string knownHostsName(const SSHTarget& target)
{
    if (target.port == 22)
        return target.host;
    return "[" + target.host + "]:" + std::to_string(target.port);
}

// What the worker thread and the transport share. The worker owns the libssh session; the
// owner's thread only sets flags, queues bytes and wakes the worker.
struct DirectSSHTransport::Core : std::enable_shared_from_this<Core> {
    // Fixed before the worker starts.
    SSHTarget parsed;
    std::string hostName;
    std::string command;
    bool plain = false;
    std::chrono::milliseconds timeout{15000};
    std::shared_ptr<SSHKeyStore> keys;
    std::shared_ptr<FileKnownHosts> knownHosts;
    int wake = -1; // eventfd: the owner's thread has news for the worker

    // The owner's thread only.
    DirectSSHTransport* owner = nullptr;

    std::mutex lock;
    QObject* context = nullptr; // where callbacks are delivered; none once the owner is gone
    bool closed = false;
    bool authDenied = false;
    bool established = false;
    bool cancelled = false;
    bool running = false; // in the data phase: stop closes the channel gracefully
    int socket = -1;
    int cols = 80, rows = 24;
    bool sizeChanged = false;
    std::vector<uint8_t> outgoing;
    // The question being asked.
    bool asking = false;
    bool secretPrompt = false;
    std::vector<uint8_t> line;
    std::optional<std::string> reply;
    std::condition_variable answered;
    // The worker's end (true while no worker runs).
    bool workerDone = true;
    std::condition_variable workerEnded;

    // The worker's own.
    bool triedKey = false;
    int passwordTries = 0;
    bool remoteClosed = false;

    ~Core()
    {
        wipe(line);
        if (wake >= 0)
            close(wake);
    }

    // --- delivery to the owner's thread ---

    void post(std::function<void(DirectSSHTransport&)> f)
    {
        std::lock_guard guard(lock);
        if (!context)
            return;
        QMetaObject::invokeMethod(
            context,
            [core = shared_from_this(), f = std::move(f)] {
                DirectSSHTransport* t = core->owner;
                if (!t)
                    return;
                const auto keep = t->weak_from_this().lock();
                f(*t);
            },
            Qt::QueuedConnection);
    }

    void deliver(std::vector<uint8_t> bytes)
    {
        post([bytes = std::move(bytes)](DirectSSHTransport& t) {
            if (auto cb = t.onData)
                cb(bytes);
        });
    }

    // Texts of the transport itself, with terminal line ends.
    void emitText(std::string_view text)
    {
        std::vector<uint8_t> bytes;
        bytes.reserve(text.size() + 8);
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
                bytes.push_back('\r');
            bytes.push_back(uint8_t(text[i]));
        }
        deliver(std::move(bytes));
    }

    void finish()
    {
        {
            std::lock_guard guard(lock);
            if (closed)
                return;
            closed = true;
        }
        post([](DirectSSHTransport& t) {
            if (auto cb = t.onClose)
                cb();
        });
    }

    void fail(std::string_view text)
    {
        emitText("\nConnection failed: " + std::string(text) + "\n");
        finish();
    }

    bool ownerGone()
    {
        std::lock_guard guard(lock);
        return context == nullptr;
    }

    void wakeWorker() const
    {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake, &one, sizeof one);
    }

    // Called by stop() and the destructor on the owner's thread.
    void cancel()
    {
        {
            std::lock_guard guard(lock);
            cancelled = true;
            if (asking)
                answer(std::string());
            // A worker inside a blocking library call returns once its socket is shut down; in
            // the data phase it closes the channel and the connection itself.
            if (!running && socket >= 0)
                shutdown(socket, SHUT_RDWR);
        }
        wakeWorker();
    }

    // --- questions in the terminal ---

    // With `lock` held: hands the answer to the waiting worker.
    void answer(std::string text)
    {
        asking = false;
        wipe(line);
        line.clear();
        reply = std::move(text);
        answered.notify_all();
    }

    // Shows the prompt and waits until the user ends a line or the transport stops.
    std::string ask(std::string_view prompt, bool secret)
    {
        {
            // Ready for the answer before the question shows: a quick typist answers at once.
            std::lock_guard ready(lock);
            if (cancelled)
                return {};
            asking = true;
            secretPrompt = secret;
            wipe(line);
            line.clear();
            line.reserve(256);
            reply.reset();
        }
        emitText(prompt);
        std::unique_lock guard(lock);
        answered.wait(guard, [this] { return reply.has_value(); });
        std::string result = std::move(*reply);
        reply.reset();
        return result;
    }

    // The line editor for an answer: backspace and delete drop one byte, carriage return or
    // line feed end the answer (later bytes of the same write are dropped), nothing is echoed
    // while typing.
    void edit(std::span<const uint8_t> bytes, std::unique_lock<std::mutex>& guard)
    {
        for (const uint8_t b : bytes) {
            if (b == 8 || b == 127) {
                if (!line.empty()) {
                    line.back() = 0;
                    line.pop_back();
                }
            } else if (b == 13 || b == 10) {
                std::string text = decodeUTF8Lossy(line);
                const bool secret = secretPrompt;
                asking = false;
                wipe(line);
                line.clear();
                guard.unlock();
                emitText(secret ? std::string("\r\n") : text + "\r\n");
                guard.lock();
                reply = std::move(text);
                answered.notify_all();
                return;
            } else {
                if (line.size() == line.capacity()) {
                    // Grow by hand so the old buffer is wiped, not just freed.
                    std::vector<uint8_t> bigger;
                    bigger.reserve(line.capacity() * 2 + 16);
                    bigger.assign(line.begin(), line.end());
                    wipe(line);
                    line.swap(bigger);
                }
                line.push_back(b);
            }
        }
    }

    // --- the worker ---

    void run();
    int connectSocket(std::string& error);
    bool checkHostKey(ssh_session s);
    bool authenticate(ssh_session s);
    void libraryFailure(ssh_session s);
    void dataLoop(ssh_session s, ssh_channel ch);
};

namespace {

// The worker's libssh session and channel, closed and freed on every way out.
struct SessionGuard {
    DirectSSHTransport::Core& core;
    ssh_session session = nullptr;
    ssh_channel channel = nullptr;

    ~SessionGuard()
    {
        {
            std::lock_guard guard(core.lock);
            core.socket = -1; // libssh closes it
        }
        if (channel) {
            if (ssh_channel_is_open(channel))
                ssh_channel_close(channel);
            ssh_channel_free(channel);
        }
        if (session) {
            ssh_disconnect(session);
            ssh_free(session);
        }
    }
};

int onChannelData(ssh_session, ssh_channel, void* data, uint32_t len, int, void* user)
{
    auto* core = static_cast<DirectSSHTransport::Core*>(user);
    const auto* bytes = static_cast<const uint8_t*>(data);
    core->deliver(std::vector<uint8_t>(bytes, bytes + len));
    return int(len);
}

void onChannelClose(ssh_session, ssh_channel, void* user)
{
    static_cast<DirectSSHTransport::Core*>(user)->remoteClosed = true;
}

int onWake(socket_t fd, int, void*)
{
    uint64_t count;
    [[maybe_unused]] const ssize_t n = read(fd, &count, sizeof count);
    return 0;
}

} // namespace

int DirectSSHTransport::Core::connectSocket(std::string& error)
{
    if (parsed.port < 1 || parsed.port > 65535) {
        error = "Invalid port " + std::to_string(parsed.port);
        return -1;
    }
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* list = nullptr;
    const std::string port = std::to_string(parsed.port);
    if (const int rc = getaddrinfo(parsed.host.c_str(), port.c_str(), &hints, &list); rc != 0) {
        error = rc == EAI_SYSTEM ? std::strerror(errno) : gai_strerror(rc);
        return -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int result = -1;
    error = "Connection refused";
    for (addrinfo* ai = list; ai && result < 0; ai = ai->ai_next) {
        const int fd = ::socket(ai->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            error = std::strerror(errno);
            continue;
        }
        const int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
        if (::connect(fd, ai->ai_addr, ai->ai_addrlen) == 0) {
            result = fd;
            break;
        }
        if (errno != EINPROGRESS) {
            error = std::strerror(errno);
            close(fd);
            continue;
        }
        bool giveUp = false; // out of time, or stopped
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                error = "Connection timed out";
                giveUp = true;
                break;
            }
            pollfd fds[2] = {{fd, POLLOUT, 0}, {wake, POLLIN, 0}};
            if (poll(fds, 2, int(std::min<int64_t>(left.count(), 1 << 30))) < 0 && errno != EINTR) {
                error = std::strerror(errno);
                break;
            }
            {
                std::lock_guard guard(lock);
                if (cancelled) {
                    giveUp = true;
                    break;
                }
            }
            if (fds[1].revents & POLLIN)
                onWake(wake, 0, nullptr);
            if (fds[0].revents) {
                int soError = 0;
                socklen_t length = sizeof soError;
                getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &length);
                if (soError == 0)
                    result = fd;
                else
                    error = std::strerror(soError);
                break;
            }
        }
        if (result < 0) {
            close(fd);
            if (giveUp)
                break;
        }
    }
    freeaddrinfo(list);
    return result;
}

void DirectSSHTransport::Core::libraryFailure(ssh_session s)
{
    const std::string error = ssh_get_error(s);
    bool wasClosed, wasEstablished, denied;
    {
        std::lock_guard guard(lock);
        wasClosed = closed;
        wasEstablished = established;
        denied = authDenied;
    }
    if (wasClosed)
        return; // stopped: the broken connection is our own doing
    // The server went away before the session channel was open.
    if (!wasEstablished && !ssh_is_connected(s)) {
        emitText(denied ? "\nConnection failed: " + std::string(kLoginRejected) + "\n"
                        : std::string(
                              "\nConnection failed: disconnected by the server before login succeeded.\n"));
        finish();
        return;
    }
    fail(failureText(error));
}

bool DirectSSHTransport::Core::checkHostKey(ssh_session s)
{
    ssh_key key = nullptr;
    if (ssh_get_server_publickey(s, &key) != SSH_OK || !key) {
        libraryFailure(s);
        return false;
    }
    const std::string presented = openSSHLine(key);
    ssh_key_free(key);
    const auto stored = knownHosts->key(hostName);
    if (stored && *stored == presented)
        return true;
    if (stored) {
        emitText("\n@@@ WARNING: the key of " + hostName + " has changed! @@@\nThis could be an attack. " +
                 "Connection aborted.\nNeu: " + fingerprint(presented) +
                 "\nBekannt: " + fingerprint(*stored) + "\n");
        fail("Host key changed");
        return false;
    }
    if (ownerGone()) {
        fail("aborted");
        return false;
    }
    const auto space = presented.find(' ');
    const std::string type = space == 0 || presented.empty() ? "?" : presented.substr(0, space);
    const std::string response =
        ask("The authenticity of " + hostName + " can't be established.\n" + type +
                " fingerprint: " + fingerprint(presented) + "\nContinue connecting (yes/no)? ",
            false);
    if (asciiLower(response) != "yes") {
        fail("Host key not confirmed");
        return false;
    }
    knownHosts->save(hostName, presented);
    return true;
}

bool DirectSSHTransport::Core::authenticate(ssh_session s)
{
    int rc = ssh_userauth_none(s, nullptr);
    while (rc != SSH_AUTH_SUCCESS) {
        if (rc == SSH_AUTH_ERROR) {
            libraryFailure(s);
            return false;
        }
        const int methods = ssh_userauth_list(s, nullptr);
        if ((methods & SSH_AUTH_METHOD_PUBLICKEY) && !triedKey) {
            if (const auto key = keys->privateKey()) {
                triedKey = true;
                if (const LibsshKey k = libsshKey(*key)) {
                    rc = ssh_userauth_publickey(s, nullptr, k.get());
                    continue;
                }
            }
        }
        if ((methods & SSH_AUTH_METHOD_PASSWORD) && passwordTries <= 2 && !ownerGone()) {
            ++passwordTries;
            std::string password = ask(parsed.user + "'s password: ", true);
            if (!password.empty()) {
                rc = ssh_userauth_password(s, nullptr, password.c_str());
                wipe(password);
                continue;
            }
        }
        // Given up: no key, no password method, the tries used up, or an empty password.
        {
            std::lock_guard guard(lock);
            authDenied = true;
        }
        emitText("\nConnection failed: " + std::string(kLoginRejected) + "\n");
        finish();
        return false;
    }
    return true;
}

void DirectSSHTransport::Core::dataLoop(ssh_session s, ssh_channel ch)
{
    struct EventFree {
        void operator()(ssh_event e) const { ssh_event_free(e); }
    };
    const std::unique_ptr<std::remove_pointer_t<ssh_event>, EventFree> event(ssh_event_new());
    if (!event || ssh_event_add_session(event.get(), s) != SSH_OK ||
        ssh_event_add_fd(event.get(), wake, POLLIN, onWake, nullptr) != SSH_OK) {
        fail("out of memory");
        return;
    }
    // Bytes not yet sent: never more than the server's window is written, so the worker does not
    // block on a server that stops reading and stays responsive to stop().
    std::vector<uint8_t> pending;
    size_t sent = 0;
    for (;;) {
        bool resize = false;
        int width = 0, height = 0;
        {
            std::lock_guard guard(lock);
            if (cancelled)
                break;
            pending.insert(pending.end(), outgoing.begin(), outgoing.end());
            outgoing.clear();
            resize = sizeChanged;
            sizeChanged = false;
            width = cols;
            height = rows;
        }
        if (remoteClosed || !ssh_is_connected(s) || ssh_channel_is_closed(ch))
            break;
        if (resize)
            ssh_channel_change_pty_size(ch, width, height);
        const size_t room = std::min<size_t>(pending.size() - sent, ssh_channel_window_size(ch));
        if (room > 0) {
            const int n = ssh_channel_write(ch, pending.data() + sent, uint32_t(room));
            if (n < 0)
                break;
            sent += size_t(n);
            if (sent == pending.size()) {
                pending.clear();
                sent = 0;
            }
        }
        if (ssh_event_dopoll(event.get(), 1000) == SSH_ERROR)
            break;
    }
    ssh_event_remove_fd(event.get(), wake);
    ssh_event_remove_session(event.get(), s);
}

void DirectSSHTransport::Core::run()
{
    emitText("Connecting to " + parsed.host + ":" + std::to_string(parsed.port) + " ...\n");
    std::string error;
    const int fd = connectSocket(error);
    if (fd < 0) {
        bool stopped;
        {
            std::lock_guard guard(lock);
            stopped = cancelled;
        }
        if (!stopped)
            fail(error);
        finish();
        return;
    }
    SessionGuard guard{*this};
    {
        std::lock_guard locked(lock);
        socket = fd;
        if (cancelled) {
            close(fd);
            socket = -1;
            finish();
            return;
        }
    }
    guard.session = ssh_new();
    if (!guard.session) {
        {
            std::lock_guard locked(lock);
            socket = -1;
        }
        close(fd);
        fail("out of memory");
        return;
    }
    ssh_session s = guard.session;
    const int verbosity = SSH_LOG_NOLOG;
    const int no = 0;
    const long seconds = long(timeout.count() / 1000);
    const long micros = long(timeout.count() % 1000 * 1000);
    const unsigned int port = unsigned(parsed.port);
    ssh_options_set(s, SSH_OPTIONS_LOG_VERBOSITY, &verbosity);
    ssh_options_set(s, SSH_OPTIONS_PROCESS_CONFIG, &no); // no ~/.ssh/config or /etc/ssh
    ssh_options_set(s, SSH_OPTIONS_HOST, parsed.host.c_str());
    ssh_options_set(s, SSH_OPTIONS_USER, parsed.user.c_str());
    ssh_options_set(s, SSH_OPTIONS_PORT, &port);
    ssh_options_set(s, SSH_OPTIONS_TIMEOUT, &seconds);
    ssh_options_set(s, SSH_OPTIONS_TIMEOUT_USEC, &micros);
    // The host-key algorithm is chosen to match what our own file holds for this server.
    ssh_options_set(s, SSH_OPTIONS_KNOWNHOSTS, knownHosts->url.c_str());
    ssh_options_set(s, SSH_OPTIONS_GLOBAL_KNOWNHOSTS, "/dev/null");
    socket_t sock = fd;
    ssh_options_set(s, SSH_OPTIONS_FD, &sock);

    if (ssh_connect(s) != SSH_OK) {
        libraryFailure(s);
        return;
    }
    if (!checkHostKey(s) || !authenticate(s))
        return;

    guard.channel = ssh_channel_new(s);
    if (!guard.channel || ssh_channel_open_session(guard.channel) != SSH_OK) {
        libraryFailure(s);
        return;
    }
    ssh_channel ch = guard.channel;
    ssh_channel_callbacks_struct callbacks{};
    callbacks.userdata = this;
    callbacks.channel_data_function = onChannelData;
    callbacks.channel_close_function = onChannelClose;
    ssh_callbacks_init(&callbacks);
    ssh_set_channel_callbacks(ch, &callbacks);

    int width, height;
    {
        std::lock_guard locked(lock);
        established = true;
        width = cols;
        height = rows;
        sizeChanged = false;
    }
    const bool keyOnly = triedKey && passwordTries == 0;
    post([keyOnly](DirectSSHTransport& t) {
        if (auto cb = t.onAuthenticated)
            cb(keyOnly);
    });
    if (ssh_channel_request_pty_size(ch, "xterm-256color", width, height) != SSH_OK) {
        libraryFailure(s);
        return;
    }
    if (plain) {
        if (ssh_channel_request_shell(ch) != SSH_OK) {
            libraryFailure(s);
            return;
        }
        post([](DirectSSHTransport& t) {
            if (auto cb = t.onStarted)
                cb();
        });
    } else if (ssh_channel_request_exec(ch, command.c_str()) != SSH_OK) {
        libraryFailure(s);
        return;
    }
    {
        std::lock_guard locked(lock);
        running = true;
    }
    dataLoop(s, ch);
    finish();
}

DirectSSHTransport::DirectSSHTransport(std::string target_, const std::string& session,
                                       std::shared_ptr<SSHKeyStore> keys_,
                                       std::shared_ptr<FileKnownHosts> knownHosts_,
                                       std::optional<std::string> command_, bool plain_,
                                       std::chrono::milliseconds connectTimeout_)
    : target(std::move(target_)), command(command_ ? std::move(*command_) : tmuxControlCommand(session)),
      keys(std::move(keys_)), knownHosts(std::move(knownHosts_)), plain(plain_),
      connectTimeout(connectTimeout_), core_(std::make_shared<Core>())
{
    core_->owner = this;
    core_->context = new QObject(QCoreApplication::instance());
    context_ = core_->context;
    core_->wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

DirectSSHTransport::~DirectSSHTransport()
{
    core_->owner = nullptr;
    {
        std::lock_guard guard(core_->lock);
        core_->context = nullptr;
    }
    core_->cancel();
    // Posted callbacks still queued for the context are dropped with it.
    context_->deleteLater();
    // Give a worker that is winding down a moment, so it does not outlive the program's end.
    std::unique_lock guard(core_->lock);
    core_->workerEnded.wait_for(guard, std::chrono::seconds(1), [this] { return core_->workerDone; });
}

void DirectSSHTransport::start(int cols, int rows)
{
    if (started_)
        return;
    if (!validTarget(target))
        throw TransportError("Invalid target: " + target);
    SSHTarget parsed = parseTarget(target);
    if (!keys || !knownHosts || core_->wake < 0)
        throw TransportError("The SSH client is not set up.");
    started_ = true;
    Core& c = *core_;
    c.parsed = std::move(parsed);
    c.hostName = knownHostsName(c.parsed);
    c.command = command;
    c.plain = plain;
    c.timeout = connectTimeout;
    c.keys = keys;
    c.knownHosts = knownHosts;
    c.cols = std::clamp(cols, 1, 65535);
    c.rows = std::clamp(rows, 1, 65535);
    {
        std::lock_guard guard(c.lock);
        if (c.cancelled)
            return; // stopped before the start: nothing to run
        c.workerDone = false;
    }
    std::thread([core = core_] {
        core->run();
        std::lock_guard guard(core->lock);
        core->workerDone = true;
        core->workerEnded.notify_all();
    }).detach();
}

void DirectSSHTransport::write(std::span<const uint8_t> bytes)
{
    std::unique_lock guard(core_->lock);
    if (core_->asking) {
        core_->edit(bytes, guard);
        return;
    }
    if (!core_->established || core_->closed || bytes.empty())
        return;
    core_->outgoing.insert(core_->outgoing.end(), bytes.begin(), bytes.end());
    guard.unlock();
    core_->wakeWorker();
}

void DirectSSHTransport::resize(int cols, int rows)
{
    {
        std::lock_guard guard(core_->lock);
        core_->cols = std::clamp(cols, 1, 65535);
        core_->rows = std::clamp(rows, 1, 65535);
        core_->sizeChanged = true;
        if (!core_->established)
            return;
    }
    core_->wakeWorker();
}

void DirectSSHTransport::stop()
{
    core_->cancel();
    core_->finish();
}

} // namespace orvane
