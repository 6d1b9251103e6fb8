// The glass view bound to a tmux session: the login phase, tabs rebuilt from tmux's layouts,
// pane output and captures, and the window's actions turned into tmux commands.
#include "GlassView.h"

#include "TransportError.h"

#include <QTimer>

namespace orvane {

namespace {

constexpr uint32_t kRemoteTextColor = 0x7EE787;

}  // namespace

TerminalView::Grid GlassView::contentGridSize() const
{
    const QRectF c = content();
    return {std::max(2, int(std::floor(c.width() / loginCell_.width()))),
            std::max(1, int(std::floor(c.height() / loginCell_.height())))};
}

void GlassView::attachTmux(std::shared_ptr<TmuxTransport> transport, const Server& server, const std::string& session)
{
    TerminalView* first = makePane();
    first->textColor = kRemoteTextColor;
    first->update();
    loginCell_ = QSizeF(first->cellWidth(), first->cellHeight());

    const std::weak_ptr<TmuxTransport> weakTransport = transport;
    auto client = std::make_unique<TmuxControlClient>(session, [weakTransport](std::span<const uint8_t> bytes) {
        if (auto t = weakTransport.lock())
            t->write(bytes);
    });
    link_ = std::make_unique<RemoteLink>();
    link_->server = server;
    link_->sessionName = session;
    link_->transport = transport;
    link_->client = std::move(client);
    link_->first = first;

    auto tab = std::make_unique<TabModel>();
    tab->panes.push_back(first);
    tab->name = server.name;
    tab->fallbackName = server.name;
    tabs_.push_back(std::move(tab));
    selectTab(0);

    const TerminalView::Grid grid = contentGridSize();
    first->attach(
        [weakTransport](std::span<const uint8_t> bytes) {
            if (auto t = weakTransport.lock())
                t->write(bytes);
        },
        [weakTransport](int cols, int rows) {
            if (auto t = weakTransport.lock())
                t->resize(cols, rows);
        });
    if (first->fixedGrid != grid) {
        first->fixedGrid = grid;
        first->term.resize(grid.cols, grid.rows);
        first->update();
    }
    link_->client->setClientSize(grid.cols, grid.rows);

    const QPointer<GlassView> view(this);
    link_->client->onEvent = [view](const TmuxEvent& e) {
        if (view)
            view->handleEvent(e);
    };
    RemoteLink* link = link_.get();
    transport->onData = [view, link](std::span<const uint8_t> bytes) {
        if (view && view->link_.get() == link)
            link->client->feed(bytes);
    };
    transport->onClose = [view] {
        // Handled on the next turn: the transport may be in the middle of its own callback.
        QTimer::singleShot(0, view, [view] {
            if (view)
                view->connectionClosed();
        });
    };
    try {
        transport->start(grid.cols, grid.rows);
    } catch (const TransportError& e) {
        first->receive(e.message + "\r\n");
    }
}

void GlassView::handleEvent(const TmuxEvent& event)
{
    if (!link_)
        return;
    RemoteLink& link = *link_;
    namespace ev = tmuxevent;
    if (const auto* login = std::get_if<ev::LoginOutput>(&event)) {
        if (link.inLogin && link.first)
            link.first->receive(login->bytes);
        link.appendLoginText(login->bytes);
    } else if (const auto* output = std::get_if<ev::PaneOutput>(&event)) {
        const auto it = link.panes.find(output->pane);
        if (it != link.panes.end() && it->second)
            it->second->receive(output->bytes);
    } else if (const auto* layout = std::get_if<ev::Layout>(&event)) {
        applyLayout(layout->windows, layout->sizes);
    } else if (const auto* capture = std::get_if<ev::Capture>(&event)) {
        const auto it = link.panes.find(capture->pane);
        if (it == link.panes.end() || !it->second)
            return;
        TerminalView* pane = it->second;
        pane->receive("\x1b[2J\x1b[H");
        std::string text;
        for (size_t i = 0; i < capture->lines.size(); ++i) {
            if (i)
                text += "\r\n";
            text.append(capture->lines[i].begin(), capture->lines[i].end());
        }
        pane->receive(text);
        pane->receive("\x1b[" + std::to_string(capture->cursorY + 1) + ";" + std::to_string(capture->cursorX + 1) + "H");
    } else if (const auto* list = std::get_if<ev::Sessions>(&event)) {
        link.sessions = list->sessions;
        if (picker_ && sessionsOpen_)
            fillSessions();
    } else if (const auto* changed = std::get_if<ev::SessionChanged>(&event)) {
        link.sessionName = changed->name;
    } else if (std::holds_alternative<ev::ControlStarted>(event)) {
        link.client->requestSessions(true);
    } else if (std::holds_alternative<ev::Exited>(event)) {
        QTimer::singleShot(0, this, [view = QPointer<GlassView>(this)] {
            if (view)
                view->connectionClosed();
        });
    }
}

TerminalView* GlassView::makeRemotePane(uint32_t id)
{
    TerminalView* pane = makePane();
    pane->textColor = kRemoteTextColor;
    pane->paneID = id;
    pane->dropReplies = true;
    const QPointer<GlassView> view(this);
    pane->attach(
        [view, id](std::span<const uint8_t> bytes) {
            if (view && view->link_)
                view->link_->client->sendKeys(id, bytes);
        },
        {});
    pane->onExit = nullptr;
    const QPointer<TerminalView> weakPane(pane);
    pane->onFocus = [view, weakPane] {
        if (!view || !weakPane)
            return;
        view->paneFocused(weakPane);
        if (weakPane && weakPane->paneID && view->link_)
            view->link_->client->run("select-pane -t %" + std::to_string(*weakPane->paneID));
    };
    link_->panes[id] = pane;
    return pane;
}

void GlassView::applyLayout(const std::vector<WinView>& wins, const std::vector<PaneSize>& sizes)
{
    if (!link_ || wins.empty())
        return;
    RemoteLink& link = *link_;
    for (auto it = link.panes.begin(); it != link.panes.end();) {
        const bool kept = std::any_of(sizes.begin(), sizes.end(), [&](const PaneSize& s) { return s.id == it->first; });
        if (!kept) {
            if (it->second) {
                it->second->hide();
                it->second->deleteLater();
            }
            it = link.panes.erase(it);
        } else {
            ++it;
        }
    }
    for (const PaneSize& s : sizes) {
        auto it = link.panes.find(s.id);
        TerminalView* pane = it != link.panes.end() && it->second ? it->second.data() : makeRemotePane(s.id);
        const TerminalView::Grid grid{s.cols, s.rows};
        if (pane->fixedGrid != grid) {
            pane->fixedGrid = grid;
            pane->term.resize(grid.cols, grid.rows);
            pane->update();
        }
    }
    link.wins = wins;
    int previous = active_ >= 0 && active_ < int(tabs_.size()) ? active_ : 0;

    tabs_.clear();
    for (const WinView& w : wins) {
        auto tab = std::make_unique<TabModel>();
        for (const uint32_t id : w.panes) {
            const auto it = link.panes.find(id);
            if (it != link.panes.end() && it->second)
                tab->panes.push_back(it->second);
        }
        tab->focus = w.focus;
        tab->name = w.name;
        tab->fallbackName = w.name;
        tab->remoteRows = w.rows;
        tabs_.push_back(std::move(tab));
    }
    if (link.inLogin) {
        if (link.first)
            link.first->hide();
        link.inLogin = false;
        keyLoginRecord()[link.server.id()] =
            !QString::fromStdString(link.loginText).toLower().contains(QStringLiteral("password"));
        saveKeyLoginRecord();
    }
    const auto activeWin = std::find_if(wins.begin(), wins.end(), [](const WinView& w) { return w.active; });
    active_ = activeWin != wins.end() ? int(activeWin - wins.begin()) : std::min(previous, int(tabs_.size()) - 1);

    for (auto& [id, pane] : link.panes)
        if (pane)
            pane->hide();
    for (auto& pane : tabs_[size_t(active_)]->panes)
        if (pane)
            pane->show();
    layoutPanes();
    if (!picker_)
        focusPane(*tabs_[size_t(active_)]);
    update();
}

void GlassView::connectionClosed()
{
    if (!link_)
        return;
    RemoteLink& link = *link_;
    link.transport->onClose = nullptr;
    link.client->onEvent = nullptr;
    if (link.inLogin) {
        link.client->finish();
        if (link.first)
            link.first->receive(loginClosedMessage(link.loginText, link.server.name));
        link.closed = true;
        return;
    }
    // Released on the next turn: this may run inside the client's or the transport's callback.
    std::shared_ptr<RemoteLink> gone(std::move(link_));
    gone->client->finish();
    QTimer::singleShot(0, [gone] {});
    if (window() && window() != this)
        window()->close();
}

void GlassView::runLinked(const std::string& command)
{
    if (link_)
        link_->client->run(command);
}

void GlassView::linkedSplitToggle()
{
    if (tabs_.empty())
        return;
    const TabModel& tab = *tabs_[size_t(active_)];
    if (tab.panes.size() < 2) {
        if (!tab.panes.empty() && tab.panes[0] && tab.panes[0]->paneID)
            runLinked("split-window -v -t %" + std::to_string(*tab.panes[0]->paneID));
    } else if (tab.panes.back() && tab.panes.back()->paneID) {
        runLinked("kill-pane -t %" + std::to_string(*tab.panes.back()->paneID));
    }
}

void GlassView::linkedClosePane()
{
    auto closeWindow = [this] {
        if (window() && window() != this)
            window()->close();
    };
    if (link_->closed || link_->inLogin) {
        closeWindow();
        return;
    }
    if (tabs_.empty())
        return;
    const TabModel& tab = *tabs_[size_t(active_)];
    if (link_->wins.size() <= 1 && tab.panes.size() <= 1) {
        closeWindow();
        return;
    }
    if (TerminalView* pane = tab.focusedPane(); pane && pane->paneID)
        runLinked("kill-pane -t %" + std::to_string(*pane->paneID));
}

void GlassView::linkedCloseTab(int index)
{
    if (link_->closed || link_->inLogin || link_->wins.size() <= 1) {
        if (window() && window() != this)
            window()->close();
        return;
    }
    if (index >= 0 && index < int(link_->wins.size()))
        runLinked("kill-window -t @" + std::to_string(link_->wins[size_t(index)].id));
}

}  // namespace orvane
