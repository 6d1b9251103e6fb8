#include "AppDelegate.h"

#include "GlassView.h"
#include "GlassWindow.h"
#include "HelpWindow.h"
#include "WindowFrames.h"
#include "WindowRegistry.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>
#include <QSaveFile>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>

#include <chrono>

namespace orvane {

namespace {

QString env(const char* name)
{
    return qEnvironmentVariable(name);
}

bool envSet(const char* name)
{
    return qEnvironmentVariableIsSet(name);
}

}  // namespace

std::vector<QString> splitActions(const QString& value)
{
    std::vector<QString> out;
    for (const QString& piece : value.split(u','))
        if (!piece.isEmpty())
            out.push_back(piece);
    return out;
}

AppDelegate::AppDelegate()
{
    buildMainMenu();
}

AppDelegate::~AppDelegate()
{
    for (auto& w : windows_)
        if (w) {
            w->onClose = nullptr;
            delete w.data();
        }
    delete menu_;
}

GlassView* AppDelegate::viewOf(GlassWindow* window)
{
    return window ? dynamic_cast<GlassView*>(window->contentView()) : nullptr;
}

void AppDelegate::start()
{
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        tray_ = new QSystemTrayIcon(QIcon::fromTheme(QStringLiteral("org.orvane.Orvane"),
                                                     QIcon(QStringLiteral(":/orvane.svg"))),
                                    this);
        auto* trayMenu = new QMenu;
        connect(trayMenu, &QMenu::aboutToShow, this, [this, trayMenu] { fillTrayMenu(trayMenu); });
        tray_->setContextMenu(trayMenu);
        tray_->show();
    }
    if (envSet("ORVANE_CONNECT")) {
        const std::string v = env("ORVANE_CONNECT").toStdString();
        openWindow(Server{v, v, true, 0, !envSet("ORVANE_PLAIN")}, std::nullopt);
    }
    const QPointer<AppDelegate> self(this);
    if (envSet("ORVANE_TEST_FOLDER_SERVICE")) {
        const QString folder = env("ORVANE_TEST_FOLDER_SERVICE");
        QTimer::singleShot(0, this, [this, folder] { openFolder(folder, envSet("ORVANE_TEST_FOLDER_SERVICE_TAB")); });
    } else if (!envSet("ORVANE_CONNECT")) {
        QTimer::singleShot(0, this, [this] { openDefaultWindow(); });
    }
    if (envSet("ORVANE_HELPSHOT"))
        HelpWindow::shared().helpShot(env("ORVANE_HELPSHOT"));
    if (envSet("ORVANE_ACTIONS")) {
        const auto actions = splitActions(env("ORVANE_ACTIONS"));
        for (size_t i = 0; i < actions.size(); ++i) {
            const int ms = int(1200 + 600 * i);
            QTimer::singleShot(ms, this, [self, a = actions[i]] {
                if (self)
                    self->runAction(a);
            });
        }
    }
    if (envSet("ORVANE_SNAPSHOT")) {
        const QString path = env("ORVANE_SNAPSHOT");
        QTimer::singleShot(4000, this, [self, path] {
            if (self)
                self->takeSnapshot(path);
        });
    }
}

// MARK: windows

GlassWindow* AppDelegate::openWindow(std::optional<Server> server, std::optional<QString> directory)
{
    std::erase_if(windows_, [](const QPointer<GlassWindow>& w) { return w.isNull(); });
    if (int(windows_.size()) >= kMaxWindows) {
        QApplication::beep();
        if (GlassWindow* last = windows_.back()) {
            last->raise();
            last->activateWindow();
        }
        return nullptr;
    }
    const int number = WindowRegistry::shared().nextNumber();
    const std::optional<QRect> own = savedFrame(number);
    const std::optional<QRect> first = own ? own : savedFrame(1);
    QRect frame = first ? *first : QRect(0, 0, 1080, 700);

    auto* window = new GlassWindow(frame);
    auto* view = new GlassView(std::move(server), std::move(directory));
    window->setContentView(view);
    if (!own) {
        if (!first) {
            if (const QScreen* screen = QGuiApplication::primaryScreen())
                frame.moveCenter(screen->availableGeometry().center());
        }
        const int d = (number - 1) * 60;
        if (d > 0)
            frame.translate(d, d);
        window->setGeometry(frame);
    }

    const QPointer<AppDelegate> self(this);
    const QPointer<GlassWindow> weakWindow(window);
    window->teardown = [weakWindow] {
        if (GlassView* v = viewOf(weakWindow))
            v->teardown();
    };
    window->onClose = [self, weakWindow] {
        if (self)
            std::erase(self->windows_, weakWindow);
        if (weakWindow)
            weakWindow->deleteLater();
    };
    window->onFrameChanged = [weakWindow] {
        GlassView* v = viewOf(weakWindow);
        if (v && weakWindow->isVisible() && weakWindow->frameIsSavable())
            saveFrame(weakWindow->geometry(), v->number());
    };
    view->onNewWindow = [self] {
        if (self)
            self->newWindow();
    };
    view->onOpenServer = [self](const Server& s) {
        if (self)
            self->openWindow(s, std::nullopt);
    };
    view->onShowMenu = [self](QPoint pos) {
        if (self && self->menu_)
            self->menu_->popup(pos);
    };
    // Menu commands the view does not take itself work in every window.
    for (QAction* action : menu_->findChildren<QAction*>())
        if (!action->shortcut().isEmpty() && action->property("windowShortcut").toBool())
            window->addAction(action);
    windows_.push_back(window);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void AppDelegate::openDefaultWindow()
{
    std::erase_if(windows_, [](const QPointer<GlassWindow>& w) { return w.isNull(); });
    if (!windows_.empty())
        return;
    if (GlassWindow* w = openWindow(std::nullopt, std::nullopt))
        w->defaultLaunchWindowUntil = std::chrono::steady_clock::now() + std::chrono::seconds(5);
}

bool AppDelegate::openFolder(const QString& path, bool asTab)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return false;
    std::erase_if(windows_, [](const QPointer<GlassWindow>& w) { return w.isNull(); });
    if (windows_.size() == 1 && windows_[0]->defaultLaunchWindowUntil &&
        *windows_[0]->defaultLaunchWindowUntil > std::chrono::steady_clock::now())
        closeWindow(windows_[0]);
    if (asTab) {
        GlassWindow* target = nullptr;
        if (auto* active = dynamic_cast<GlassWindow*>(QApplication::activeWindow());
            active && std::find(windows_.begin(), windows_.end(), QPointer(active)) != windows_.end())
            target = active;
        else if (!windows_.empty())
            target = windows_.back();
        if (GlassView* v = viewOf(target)) {
            v->addTab(path);
            target->raise();
            target->activateWindow();
            return true;
        }
    }
    openWindow(std::nullopt, path);
    return true;
}

GlassWindow* AppDelegate::keyOrLastWindow() const
{
    if (auto* active = dynamic_cast<GlassWindow*>(QApplication::activeWindow()))
        if (std::find(windows_.begin(), windows_.end(), QPointer(active)) != windows_.end())
            return active;
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
        if (*it)
            return *it;
    return nullptr;
}

void AppDelegate::closeWindow(GlassWindow* window)
{
    if (window)
        window->close();
}

void AppDelegate::quitOrCloseWindow()
{
    std::erase_if(windows_, [](const QPointer<GlassWindow>& w) { return w.isNull(); });
    if (windows_.size() < 2) {
        QApplication::quit();
        return;
    }
    closeWindow(keyOrLastWindow());
}

void AppDelegate::minimizeWindow()
{
    if (GlassWindow* w = keyOrLastWindow())
        w->showMinimized();
}

void AppDelegate::zoomWindow()
{
    if (GlassWindow* w = keyOrLastWindow())
        w->toggleZoom();
}

void AppDelegate::showAbout()
{
    QMessageBox::about(nullptr, QStringLiteral("About Orvane"),
                       QStringLiteral("<p align=\"center\"><b>Orvane</b> %1</p>"
                                      "<p align=\"center\" style=\"font-size:11pt\">"
                                      "A terminal with tmux control mode. Questions and ideas: "
                                      "orvane@orvane.org</p>")
                           .arg(QApplication::applicationVersion()));
}

void AppDelegate::showHelp()
{
    HelpWindow::shared().show();
}

// MARK: menus

void AppDelegate::buildMainMenu()
{
    menu_ = new QMenu;
    auto add = [](QMenu* m, const QString& title, QKeySequence key, bool windowShortcut, auto&& slot) {
        QAction* a = m->addAction(title);
        if (!key.isEmpty())
            a->setShortcut(key);
        a->setShortcutContext(Qt::WindowShortcut);
        a->setProperty("windowShortcut", windowShortcut);
        QObject::connect(a, &QAction::triggered, slot);
        return a;
    };
    auto onView = [this](auto method) {
        return [this, method] {
            if (GlassView* v = viewOf(keyOrLastWindow()))
                method(v);
        };
    };
    const auto super = Qt::MetaModifier;
    add(menu_, QStringLiteral("About Orvane"), {}, false, [this] { showAbout(); });
    menu_->addSeparator();
    // The window takes these keys itself; the menu shows them.
    add(menu_, QStringLiteral("New Window"), QKeySequence(super | Qt::Key_N), false, [this] { newWindow(); });
    add(menu_, QStringLiteral("New Tab"), QKeySequence(super | Qt::Key_T), false, onView([](GlassView* v) { v->newTab(); }));
    add(menu_, QStringLiteral("Split / Unsplit"), QKeySequence(super | Qt::Key_D), false,
        onView([](GlassView* v) { v->splitPane(); }));
    add(menu_, QStringLiteral("Servers\u2026"), QKeySequence(super | Qt::Key_S), false,
        onView([](GlassView* v) { v->perform({WindowAction::ShowServers}); }));
    add(menu_, QStringLiteral("Sessions\u2026"), QKeySequence(super | Qt::ShiftModifier | Qt::Key_S), false,
        onView([](GlassView* v) { v->perform({WindowAction::ShowSessions}); }));
    menu_->addSeparator();
    add(menu_, QStringLiteral("Hide Orvane"), QKeySequence(super | Qt::Key_H), true, [this] {
        for (auto& w : windows_)
            if (w)
                w->showMinimized();
    });
    add(menu_, QStringLiteral("Hide Others"), QKeySequence(super | Qt::AltModifier | Qt::Key_H), true, [] {});
    add(menu_, QStringLiteral("Show All"), {}, false, [this] {
        for (auto& w : windows_)
            if (w && w->isMinimized())
                w->showNormal();
    });
    menu_->addSeparator();
    add(menu_, QStringLiteral("Quit Orvane"), QKeySequence(super | Qt::Key_Q), true, [this] { quitOrCloseWindow(); });
    add(menu_, QStringLiteral("Quit All Windows"), QKeySequence(super | Qt::AltModifier | Qt::Key_Q), true,
        [] { QApplication::quit(); });

    QMenu* windowMenu = menu_->addMenu(QStringLiteral("Window"));
    add(windowMenu, QStringLiteral("Minimize"), QKeySequence(super | Qt::Key_M), true, [this] { minimizeWindow(); });
    add(windowMenu, QStringLiteral("Zoom"), {}, false, [this] { zoomWindow(); });
    windowMenu->addSeparator();
    add(windowMenu, QStringLiteral("Bring All to Front"), {}, false, [this] {
        for (auto& w : windows_)
            if (w) {
                if (w->isMinimized())
                    w->showNormal();
                w->raise();
            }
    });
    QMenu* helpMenu = menu_->addMenu(QStringLiteral("Help"));
    QAction* help =
        add(helpMenu, QStringLiteral("Orvane Help"), QKeySequence(super | Qt::Key_Question), true, [this] { showHelp(); });
    // "?" needs Shift on most layouts. F1 stays with the programs in the panes.
    help->setShortcuts({QKeySequence(super | Qt::Key_Question), QKeySequence(super | Qt::ShiftModifier | Qt::Key_Question)});
}

void AppDelegate::fillTrayMenu(QMenu* menu)
{
    menu->clear();
    std::erase_if(windows_, [](const QPointer<GlassWindow>& w) { return w.isNull(); });
    for (const auto& w : windows_) {
        const GlassView* v = viewOf(w);
        QString title = v ? QString::fromStdString(v->windowTitle()) : QStringLiteral("Window");
        if (w->isMinimized())
            title += QStringLiteral("  (minimized)");
        QAction* item = menu->addAction(title);
        item->setCheckable(true);
        item->setChecked(w->isActiveWindow());
        const QPointer<GlassWindow> target = w;
        connect(item, &QAction::triggered, this, [target] {
            if (!target)
                return;
            if (target->isMinimized())
                target->showNormal();
            target->raise();
            target->activateWindow();
        });
    }
    if (!windows_.empty())
        menu->addSeparator();
    connect(menu->addAction(QStringLiteral("New Window")), &QAction::triggered, this, [this] { newWindow(); });
}

// MARK: automation

void AppDelegate::writeCount()
{
    std::erase_if(windows_, [](const QPointer<GlassWindow>& w) { return w.isNull(); });
    const bool minimized = !windows_.empty() && windows_.front()->isMinimized();
    const QByteArray text =
        QByteArray::number(qsizetype(windows_.size())) + " min=" + (minimized ? "true" : "false");
    QSaveFile file(QStringLiteral("/tmp/orvane-count"));
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size())
        file.commit();
}

void AppDelegate::runAction(const QString& a)
{
    if (a == u"window")
        newWindow();
    else if (a == u"quit")
        quitOrCloseWindow();
    else if (a == u"minimize")
        minimizeWindow();
    else if (a == u"count")
        writeCount();
    else if (!windows_.empty() && windows_.front())
        if (GlassView* v = viewOf(windows_.front()))
            runViewAction(v, a);
}

void AppDelegate::runViewAction(GlassView* v, const QString& a)
{
    auto fontSize = [v] {
        const auto& tabs = v->tabs();
        if (tabs.empty() || tabs[size_t(v->active())]->panes.empty() || !tabs[size_t(v->active())]->panes[0])
            return std::optional<double>();
        return std::optional<double>(tabs[size_t(v->active())]->panes[0]->fontSize());
    };
    if (a == u"tab") {
        v->newTab();
    } else if (a == u"split") {
        v->splitPane();
    } else if (a == u"servers") {
        v->perform({WindowAction::ShowServers});
    } else if (a == u"sessions") {
        v->perform({WindowAction::ShowSessions});
    } else if (a == u"look") {
        v->showLook();
    } else if (a == u"color") {
        v->cycleGlow();
    } else if (a == u"close") {
        v->closeFocused();
    } else if (a == u"font+" || a == u"font-") {
        if (const auto size = fontSize())
            v->changeFontSize(*size + (a == u"font+" ? 2 : -2));
    } else if (a.startsWith(u"select")) {
        bool ok = false;
        const int n = a.mid(6).toInt(&ok, 10);
        if (ok && !a.mid(6).isEmpty())
            v->selectTab(n);
    }
}

void AppDelegate::takeSnapshot(const QString& path)
{
    std::erase_if(windows_, [](const QPointer<GlassWindow>& w) { return w.isNull(); });
    if (windows_.empty())
        return;
    QWidget* content = windows_.front()->contentView();
    if (!content)
        return;
    content->grab().save(path, "PNG");
}

}  // namespace orvane
