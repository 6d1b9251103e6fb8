#include "Transports.h"

#include "TransportError.h"

#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace orvane {

namespace {

bool asciiAlnum(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string lastComponent(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string homeDirectory()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

std::vector<std::string> sshArguments(std::vector<std::string> args, const std::string& target,
                                      std::optional<std::string> command = std::nullopt)
{
    args.push_back("-o");
    args.push_back("ServerAliveInterval=15");
    args.push_back("-o");
    args.push_back("ServerAliveCountMax=3");
    for (auto& a : sshDestination(target))
        args.push_back(std::move(a));
    if (command)
        args.push_back(std::move(*command));
    return args;
}

void requireValidTarget(const std::string& target)
{
    if (!validTarget(target))
        throw TransportError("Invalid target: " + target);
}

}  // namespace

bool validTarget(std::string_view target)
{
    if (target.empty() || target.front() == '-')
        return false;
    for (const char c : target) {
        if (!asciiAlnum(c) && std::string_view("._-@:[]%").find(c) == std::string_view::npos)
            return false;
    }
    return true;
}

bool validSession(std::string_view session)
{
    if (session.empty() || session.size() > 60)
        return false;
    for (const char c : session) {
        if (!asciiAlnum(c) && c != '.' && c != '_' && c != '-')
            return false;
    }
    return true;
}

std::string tmuxControlCommand(std::string_view session)
{
    return "$SHELL -lc 'tmux -CC new-session -A -s " + std::string(session) + "'";
}

std::string loginShell()
{
    if (const char* shell = std::getenv("SHELL"); shell && *shell)
        return shell;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_shell && *pw->pw_shell)
        return pw->pw_shell;
    return "/bin/sh";
}

std::string sshProgram()
{
    if (const char* ssh = std::getenv("ORVANE_SSH"); ssh && *ssh)
        return ssh;
    return "/usr/bin/ssh";
}

std::vector<std::string> sshDestination(const std::string& target)
{
    const auto at = target.find('@');
    const std::string user = at == std::string::npos ? std::string() : target.substr(0, at + 1);
    std::string host = at == std::string::npos ? target : target.substr(at + 1);
    std::string port;
    if (!host.empty() && host.front() != '[') {
        const auto colon = host.rfind(':');
        // One colon only: an unbracketed IPv6 address has several and carries no port.
        if (colon != std::string::npos && host.find(':') == colon && colon + 1 < host.size() &&
            host.size() - colon - 1 <= 5) {
            const std::string digits = host.substr(colon + 1);
            if (digits.find_first_not_of("0123456789") == std::string::npos) {
                port = std::to_string(std::stoul(digits));
                host.resize(colon);
            }
        }
    }
    while (!host.empty() && host.front() == '[')
        host.erase(0, 1);
    while (!host.empty() && host.back() == ']')
        host.pop_back();
    if (host.empty())  // nothing sensible to take apart: pass the target as it is
        return {target};
    if (port.empty())
        return {user + host};
    return {"-p", port, user + host};
}

SystemSSHTransport::SystemSSHTransport(std::string t, std::string s)
    : PTYProcess(sshProgram(), sshArguments({"ssh", "-tt"}, t, tmuxControlCommand(s)), {}, std::nullopt),
      target(std::move(t)), session(std::move(s))
{
}

void SystemSSHTransport::start(int cols, int rows)
{
    requireValidTarget(target);
    if (!validSession(session))
        throw TransportError("Invalid session name: " + session);
    PTYProcess::start(cols, rows);
}

PlainSSHTransport::PlainSSHTransport(std::string t)
    : PTYProcess(sshProgram(), sshArguments({"ssh"}, t), {}, std::nullopt), target(std::move(t))
{
}

void PlainSSHTransport::start(int cols, int rows)
{
    requireValidTarget(target);
    PTYProcess::start(cols, rows);
}

LocalShellTransport::LocalShellTransport(std::optional<std::string> directory)
    : PTYProcess(loginShell(), {lastComponent(loginShell()), "-l"}, {{"TERM_PROGRAM", "Orvane"}},
                 directory ? directory : std::optional<std::string>(homeDirectory()))
{
}

std::optional<std::string> LocalShellTransport::workingDirectory() const
{
    if (processID() <= 0)
        return std::nullopt;
    const std::string link = "/proc/" + std::to_string(processID()) + "/cwd";
    char buf[PATH_MAX];
    const ssize_t n = readlink(link.c_str(), buf, sizeof buf);
    if (n <= 0 || size_t(n) >= sizeof buf)
        return std::nullopt;
    return std::string(buf, size_t(n));
}

LocalTmuxTransport::LocalTmuxTransport(bool startNew)
    : PTYProcess(loginShell(), {lastComponent(loginShell()), "-lc",
                                std::string("tmux -CC ") + (startNew ? "new-session" : "attach")},
                 {}, std::nullopt)
{
}

}  // namespace orvane
