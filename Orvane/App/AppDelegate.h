// The application: opens and tracks the windows, builds the menu and the tray menu, takes
// folder requests from other programs and runs the automation of the environment.
#pragma once

#include "ServerList.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>
#include <vector>

class QMenu;
class QSystemTrayIcon;

namespace orvane {

class GlassView;
class GlassWindow;

// Automation actions from ORVANE_ACTIONS: pieces between commas, empty ones dropped, not trimmed.
std::vector<QString> splitActions(const QString& value);
// The message a folder request gets when the folder does not exist.
inline const char* const kMissingFolder = "Orvane couldn't find that folder.";

class AppDelegate : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxWindows = 6;

    AppDelegate();
    ~AppDelegate() override;

    // Start-up: menu, tray, the first window or a folder, automation.
    void start();

    GlassWindow* openWindow(std::optional<Server> server, std::optional<QString> directory);
    void openDefaultWindow();
    // Opens a folder in a new window or as a tab of the front window; false when it does not exist.
    bool openFolder(const QString& path, bool asTab);

    void newWindow() { openWindow(std::nullopt, std::nullopt); }
    void quitOrCloseWindow();
    void minimizeWindow();
    void zoomWindow();
    void showAbout();
    void showHelp();
    void runAction(const QString& action);
    void takeSnapshot(const QString& path);

    const std::vector<QPointer<GlassWindow>>& windows() const { return windows_; }
    QMenu* mainMenu() const { return menu_; }
    // The tray menu's items, built afresh: one per window, a separator, "New Window".
    void fillTrayMenu(QMenu* menu);

private:
    static GlassView* viewOf(GlassWindow* window);
    GlassWindow* keyOrLastWindow() const;
    void closeWindow(GlassWindow* window);
    void runViewAction(GlassView* view, const QString& action);
    void buildMainMenu();
    void writeCount();

    std::vector<QPointer<GlassWindow>> windows_;
    QMenu* menu_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
};

}  // namespace orvane
