// The content of every window: the glass card with its chrome, the numbered tabs, each with
// one pane or two stacked panes, and the window jobs a system frame would do (moving,
// resizing, buttons). Local windows run login shells, plain-server windows ssh sessions.
#pragma once

#include "Look.h"
#include "PickerView.h"
#include "ServerStore.h"
#include "RemoteLink.h"
#include "ServerList.h"
#include "TerminalView.h"
#include "WindowChrome.h"
#include "WindowShortcuts.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class QTimer;

namespace orvane {

struct TabModel {
    std::vector<QPointer<TerminalView>> panes;
    int focus = 0;
    std::optional<std::string> name;
    std::string lastCommand;
    std::string fallbackName;
    double ratio = 0.5;
    std::optional<std::vector<int>> remoteRows;

    int focusIndex() const { return std::clamp(focus, 0, std::max(int(panes.size()) - 1, 0)); }
    TerminalView* focusedPane() const { return panes.empty() ? nullptr : panes[size_t(focusIndex())].data(); }
    // What the strip shows: the user's name, else the program's title, else the running
    // command, else the shell.
    std::string displayTitle() const;
    // Frames of the panes in the content rectangle, given the first pane's cell height.
    std::vector<QRectF> frames(const QRectF& content, double cellHeight) const;
};

// The split ratio stored in the user defaults, used when it lies in [0.15, 0.85], else 0.5.
double storedSplitRatio();
// The login shell's file name, for tabs that know nothing better.
std::string shellName();

class GlassView : public QWidget {
    Q_OBJECT
public:
    GlassView(std::optional<Server> server, std::optional<QString> directory, QWidget* parent = nullptr);
    ~GlassView() override;

    // Window-level actions.
    void newTab();
    void splitPane();
    void addTab(std::optional<QString> directory);
    void selectTab(int index);
    void closeTab(int index);
    void closeFocused();
    void layoutPanes();
    TerminalView* makePane();
    std::optional<QString> focusedDirectory() const;
    void changeFontSize(double size);
    void teardown();
    // Applies a shortcut; false when it does not apply here (the key goes on to the pane).
    bool perform(const ShortcutMatch& match);

    const std::vector<std::unique_ptr<TabModel>>& tabs() const { return tabs_; }
    int active() const { return active_; }
    int number() const { return number_; }
    int glowIndex() const { return glowIndex_; }
    const Look& look() const { return look_; }
    const std::optional<Server>& plainServer() const { return plainServer_; }
    std::string windowTitle() const;

    // Geometry, in view coordinates.
    bool fullScreen() const;
    QRectF card() const;
    QRectF content() const;
    QRectF trafficLights() const;
    QRectF palette() const;
    double cornerRadius() const;
    std::optional<QRectF> dividerGrab() const;

    // Set by the application.
    std::function<void()> onNewWindow;
    // Opens a new window for a server (the application's openWindow).
    std::function<void(const Server&)> onOpenServer;

    // The server and session lists in the picker overlay.
    void showServers();
    void showSessions();
    PickerView* openPicker(bool sessions);
    void closePicker();
    PickerView* picker() const { return picker_; }
    bool sessionsOpen() const { return sessionsOpen_; }
    void fillSessions();
    // Tab names from the process table, once a second; the tmux offer.
    void pollCommands();
    void applyCommands(const std::vector<int>& pids, const std::map<int, std::string>& names);
    void renameTab();
    void offerTmuxUpgrade();
    // The tmux offer's answer; tests replace it.
    std::function<bool()> confirmTmuxSwitch;
    // Turns an ordinary one-pane window into one bound to the local tmux server.
    void switchToLocalTmux();
    ServerStore& serverStore();
    // The dialogs; tests replace them.
    struct ServerFields {
        std::string name;
        std::string target;
        bool tmux = true;
    };
    std::function<std::optional<ServerFields>(const std::optional<Server>&)> editServer;
    std::function<std::optional<std::string>(const QString& title, const QString& placeholder,
                                             const QString& initial)>
        askText;
    // The application menu, opened from the window number and by a right click on the strip.
    std::function<void(QPoint globalPos)> onShowMenu;

    // tmux mode.
    void attachTmux(std::shared_ptr<TmuxTransport> transport, const Server& server, const std::string& session);
    void handleEvent(const TmuxEvent& event);
    RemoteLink* link() const { return link_.get(); }
    // Columns and rows of the content area in the login pane's cells: the tmux client size.
    TerminalView::Grid contentGridSize() const;

    void setLook(const Look& look);
    void cycleGlow();
    void showLook();
    // Divider drags, for tests as well as the mouse.
    void dragDivider(double y);
    void endDividerDrag();

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent*) override;
    void showEvent(QShowEvent*) override;

private:
    void paneExited(TerminalView* pane);
    void paneFocused(TerminalView* pane);
    void paneTitleChanged(const std::string& title);
    void startPaneProcess(TerminalView* pane, std::optional<QString> directory);
    void removePane(TabModel& tab, TerminalView* pane);
    void focusPane(TabModel& tab);
    void applyLookToPanes();
    void saveWindowFrame();
    void updateCursor(QPointF p);
    void applyLayout(const std::vector<WinView>& wins, const std::vector<PaneSize>& sizes);
    TerminalView* makeRemotePane(uint32_t id);
    void connectionClosed();
    void runLinked(const std::string& command);
    void linkedSplitToggle();
    void linkedClosePane();
    void linkedCloseTab(int index);

    std::vector<std::unique_ptr<TabModel>> tabs_;
    int active_ = 0;
    int glowIndex_ = 0;
    int number_ = 1;
    std::optional<int> hover_;
    TabStripLayout strip_;
    QStringList drawnTitles_;
    bool draggingDivider_ = false;
    std::optional<ResizeEdges> resizeEdges_;
    QRect resizeStartFrame_;
    QPoint resizeStartMouse_;
    std::optional<Server> plainServer_;
    Look look_;
    bool tornDown_ = false;
    std::unique_ptr<RemoteLink> link_;
    QSizeF loginCell_{8, 16};  // the login pane's cell size, kept for the client size
    int lastSplitRows_ = -1;
    QPointer<PickerView> picker_;
    bool sessionsOpen_ = false;
    QTimer* commandTimer_ = nullptr;
    bool tmuxUpgradeOffered_ = false;
    std::unique_ptr<ServerStore> serverStore_;
    void fillServers();
};

}  // namespace orvane
