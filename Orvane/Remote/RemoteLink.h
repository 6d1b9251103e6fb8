// A window's binding to one tmux session: the transport and control-mode client, the view of
// every tmux pane, and what the login and the listings brought.
#pragma once

#include "ServerList.h"
#include "TerminalView.h"
#include "TmuxControlClient.h"
#include "TmuxTransport.h"

#include <QPointer>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace orvane {

struct RemoteLink {
    Server server;
    std::string sessionName;
    std::shared_ptr<TmuxTransport> transport;
    std::unique_ptr<TmuxControlClient> client;
    std::map<uint32_t, QPointer<TerminalView>> panes;
    std::vector<WinView> wins;
    QPointer<TerminalView> first;  // the login pane
    bool inLogin = true;
    std::string loginText;  // the last 2000 characters of the login output
    bool closed = false;
    std::vector<SessionInfo> sessions;

    static constexpr size_t kLoginTextLimit = 2000;
    // Appends login output, decoded as UTF-8, keeping the last 2000 characters.
    void appendLoginText(std::span<const uint8_t> bytes);
};

// The pseudo-server for tmux on this machine.
Server localTmuxServer();

// Whether the last login to each server (by id) needed no password, kept in the user default
// "orvaneAuthKey".
std::map<std::string, bool>& keyLoginRecord();
void saveKeyLoginRecord();

// The text shown in the login pane when the connection ends before tmux showed the session.
std::string loginClosedMessage(const std::string& loginText, const std::string& serverName);

}  // namespace orvane
