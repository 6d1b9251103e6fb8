#include "GlassView.h"

#include "GlassDrawing.h"
#include "GlassWindow.h"
#include "Glow.h"
#include "LookController.h"
#include "Transports.h"
#include "UserDefaults.h"
#include "WindowFrames.h"
#include "WindowRegistry.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QSettings>
#include <QTimer>
#include <QWindow>

#include <cmath>
#include <cstdlib>

namespace orvane {

namespace {

constexpr uint32_t kPlainTextColor = 0xD7DBE3;

}  // namespace

std::string TabModel::displayTitle() const
{
    if (name && !name->empty())
        return *name;
    if (const TerminalView* pane = focusedPane(); pane && !pane->term.title.empty())
        return pane->term.title;
    if (!lastCommand.empty())
        return lastCommand;
    return fallbackName;
}

std::vector<QRectF> TabModel::frames(const QRectF& content, double h) const
{
    if (remoteRows && remoteRows->size() == panes.size()) {
        std::vector<QRectF> out;
        double y = content.top();
        for (const int rows : *remoteRows) {
            out.emplace_back(content.left(), y, content.width(), rows * h);
            y += (rows + 1) * h;
        }
        return out;
    }
    if (panes.size() >= 2) {
        const double t = std::floor((content.height() - 10) * ratio);
        return {QRectF(content.left(), content.top(), content.width(), t),
                QRectF(content.left(), content.top() + t + 10, content.width(), content.height() - t - 10)};
    }
    return {content};
}

double storedSplitRatio()
{
    const QSettings settings(userDefaultsPath(), QSettings::IniFormat);
    bool ok = false;
    const double v = settings.value(QStringLiteral("splitRatio")).toDouble(&ok);
    return ok && v >= 0.15 && v <= 0.85 ? v : 0.5;
}

std::string shellName()
{
    static const std::string name = [] {
        const char* shell = std::getenv("SHELL");
        if (!shell)
            return std::string("zsh");
        const std::string s = shell;
        return s.substr(s.rfind('/') == std::string::npos ? 0 : s.rfind('/') + 1);
    }();
    return name;
}

GlassView::GlassView(std::optional<Server> server, std::optional<QString> directory, QWidget* parent)
    : QWidget(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_TranslucentBackground);
    const WindowRegistry::Entry entry = WindowRegistry::shared().registerView(this);
    number_ = entry.number;
    glowIndex_ = entry.glow;
    look_ = Look::load(number_);
    if (!server) {
        addTab(directory);
    } else if (!server->tmux) {
        plainServer_ = server;
        addTab(directory);
    } else if (server->target.empty()) {
        // Local tmux: attach when this machine's tmux server already has sessions.
        QProcess probe;
        probe.setStandardOutputFile(QProcess::nullDevice());
        probe.setStandardErrorFile(QProcess::nullDevice());
        probe.start(QString::fromStdString(loginShell()), {QStringLiteral("-lc"), QStringLiteral("tmux has-session")});
        const bool hasSessions = probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit &&
                                 probe.exitCode() == 0;
        attachTmux(std::make_shared<LocalTmuxTransport>(!hasSessions), *server, "local");
    } else {
        const QString fromEnv = qEnvironmentVariable("ORVANE_SESSION");
        const std::string session = qEnvironmentVariableIsSet("ORVANE_SESSION") ? fromEnv.toStdString() : "orvane";
        if (validSession(session))
            attachTmux(std::make_shared<SystemSSHTransport>(server->target, session), *server, session);
    }
}

GlassView::~GlassView()
{
    teardown();
}

// MARK: geometry

bool GlassView::fullScreen() const
{
    return window() && window()->isFullScreen();
}

QRectF GlassView::card() const
{
    const double b = fullScreen() ? 0 : 26, e = fullScreen() ? 0 : 40;
    return QRectF(b, b, std::max(1.0, width() - 2 * b), std::max(1.0, height() - b - e));
}

QRectF GlassView::content() const
{
    const QRectF c = card();
    return QRectF(c.left() + 26, c.top() + 56, c.width() - 52, c.height() - 72);
}

QRectF GlassView::trafficLights() const
{
    const QRectF c = card();
    return QRectF(c.left() + 20, c.top() + 20, 74, 26);
}

QRectF GlassView::palette() const
{
    const QRectF c = card();
    return QRectF(c.right() - 60, c.top() + 20, 40, 26);
}

double GlassView::cornerRadius() const
{
    const QRectF c = card();
    return fullScreen() ? 0 : std::min({36.0, c.width() / 2, c.height() / 2});
}

std::optional<QRectF> GlassView::dividerGrab() const
{
    if (tabs_.empty())
        return std::nullopt;
    const TabModel& tab = *tabs_[size_t(active_)];
    if (tab.panes.size() < 2 || !tab.panes[0] || !tab.panes[1])
        return std::nullopt;
    return dividerRect(QRectF(tab.panes[0]->geometry()), QRectF(tab.panes[1]->geometry()));
}

// MARK: panes and tabs

TerminalView* GlassView::makePane()
{
    auto* pane = new TerminalView(this);
    pane->setFontSize(storedFontSize());
    const PaneLook pl = look_.paneLook(glowIndex_);
    pane->lightBackground = pl.lightBackground;
    pane->promptColor = pl.promptColor;
    const QPointer<GlassView> view(this);
    const QPointer<TerminalView> weakPane(pane);
    pane->onExit = [view, weakPane] {
        if (view && weakPane)
            view->paneExited(weakPane);
    };
    pane->onFocus = [view, weakPane] {
        if (view && weakPane)
            view->paneFocused(weakPane);
    };
    pane->onTitle = [view](const std::string& title) {
        if (view)
            view->paneTitleChanged(title);
    };
    connect(pane, &TerminalView::scrollIndicatorChanged, this, qOverload<>(&QWidget::update));
    pane->installEventFilter(this);
    pane->show();
    return pane;
}

void GlassView::startPaneProcess(TerminalView* pane, std::optional<QString> directory)
{
    if (plainServer_) {
        pane->textColor = kPlainTextColor;
        pane->startShell(std::make_shared<PlainSSHTransport>(plainServer_->target), true);
    } else {
        std::optional<std::string> dir;
        if (directory)
            dir = directory->toStdString();
        pane->startShell(std::make_shared<LocalShellTransport>(dir), false);
    }
}

void GlassView::addTab(std::optional<QString> directory)
{
    if (link_) {
        runLinked("new-window");
        return;
    }
    auto tab = std::make_unique<TabModel>();
    TerminalView* pane = makePane();
    tab->panes.push_back(pane);
    tab->fallbackName = plainServer_ ? plainServer_->name : shellName();
    tab->ratio = storedSplitRatio();
    tabs_.push_back(std::move(tab));
    selectTab(int(tabs_.size()) - 1);
    startPaneProcess(pane, directory);
}

void GlassView::newTab()
{
    addTab(focusedDirectory());
}

std::optional<QString> GlassView::focusedDirectory() const
{
    if (tabs_.empty())
        return std::nullopt;
    const TerminalView* pane = tabs_[size_t(active_)]->focusedPane();
    if (!pane)
        return std::nullopt;
    const auto* local = dynamic_cast<const LocalShellTransport*>(pane->shell.get());
    if (!local)
        return std::nullopt;
    const auto dir = local->workingDirectory();
    return dir ? std::optional(QString::fromStdString(*dir)) : std::nullopt;
}

void GlassView::focusPane(TabModel& tab)
{
    if (TerminalView* pane = tab.focusedPane(); pane && window())
        pane->setFocus(Qt::OtherFocusReason);
}

void GlassView::selectTab(int index)
{
    if (index < 0 || index >= int(tabs_.size()))
        return;
    if (link_ && !link_->inLogin && index != active_ && index < int(link_->wins.size()))
        runLinked("select-window -t @" + std::to_string(link_->wins[size_t(index)].id));
    active_ = index;
    for (size_t t = 0; t < tabs_.size(); ++t)
        for (auto& pane : tabs_[t]->panes)
            if (pane)
                pane->setVisible(int(t) == index);
    layoutPanes();
    focusPane(*tabs_[size_t(index)]);
    update();
}

void GlassView::removePane(TabModel& tab, TerminalView* pane)
{
    if (pane->shell) {
        pane->shell->stop();
        pane->shell.reset();
    }
    std::erase(tab.panes, QPointer<TerminalView>(pane));
    pane->hide();
    pane->deleteLater();
}

void GlassView::closeTab(int index)
{
    if (link_) {
        linkedCloseTab(index);
        return;
    }
    if (index < 0 || index >= int(tabs_.size()))
        return;
    std::unique_ptr<TabModel> tab = std::move(tabs_[size_t(index)]);
    tabs_.erase(tabs_.begin() + index);
    for (TerminalView* pane : std::vector<QPointer<TerminalView>>(tab->panes.begin(), tab->panes.end()))
        if (pane)
            removePane(*tab, pane);
    if (tabs_.empty()) {
        if (window() && window() != this)
            window()->close();
        return;
    }
    const int n = int(tabs_.size());
    if (index < active_)
        selectTab(active_ - 1);
    else if (index > active_)
        selectTab(active_);
    else
        selectTab(std::min(index, n - 1));
}

void GlassView::splitPane()
{
    if (link_) {
        linkedSplitToggle();
        return;
    }
    if (tabs_.empty())
        return;
    TabModel& tab = *tabs_[size_t(active_)];
    if (tab.panes.size() < 2) {
        const auto dir = focusedDirectory();
        TerminalView* pane = makePane();
        tab.panes.push_back(pane);
        tab.focus = 1;
        tab.ratio = storedSplitRatio();
        layoutPanes();
        startPaneProcess(pane, dir);
    } else {
        const size_t gone = tab.panes.size() - 1 - size_t(std::min(tab.focusIndex(), 1));
        if (TerminalView* pane = tab.panes[gone])
            removePane(tab, pane);
        else
            tab.panes.erase(tab.panes.begin() + std::ptrdiff_t(gone));
        tab.focus = 0;
    }
    layoutPanes();
    focusPane(tab);
    update();
}

void GlassView::closeFocused()
{
    if (link_) {
        linkedClosePane();
        return;
    }
    if (tabs_.empty())
        return;
    if (tabs_[size_t(active_)]->panes.size() > 1)
        splitPane();
    else
        closeTab(active_);
}

void GlassView::layoutPanes()
{
    if (tabs_.empty())
        return;
    TabModel& tab = *tabs_[size_t(active_)];
    const double h = tab.panes.empty() || !tab.panes[0] ? 16 : tab.panes[0]->cellHeight();
    const std::vector<QRectF> frames = tab.frames(content(), h);
    for (size_t i = 0; i < tab.panes.size() && i < frames.size(); ++i)
        if (tab.panes[i])
            tab.panes[i]->setGeometry(frames[i].toAlignedRect());
    if (link_ && !link_->inLogin) {
        const TerminalView::Grid g = contentGridSize();
        link_->client->setClientSize(g.cols, g.rows);
    }
    update();
}

void GlassView::paneExited(TerminalView* pane)
{
    for (size_t t = 0; t < tabs_.size(); ++t) {
        TabModel& tab = *tabs_[t];
        if (std::find(tab.panes.begin(), tab.panes.end(), QPointer<TerminalView>(pane)) == tab.panes.end())
            continue;
        if (tab.panes.size() < 2) {
            closeTab(int(t));
            return;
        }
        removePane(tab, pane);
        tab.focus = 0;
        layoutPanes();
        focusPane(tab);
        update();
        return;
    }
}

void GlassView::paneFocused(TerminalView* pane)
{
    if (tabs_.empty())
        return;
    TabModel& tab = *tabs_[size_t(active_)];
    const auto it = std::find(tab.panes.begin(), tab.panes.end(), QPointer<TerminalView>(pane));
    if (it != tab.panes.end()) {
        tab.focus = int(it - tab.panes.begin());
        update();
    }
}

void GlassView::paneTitleChanged(const std::string& title)
{
    // Output calls this on every burst: redraw the chrome only when a tab title changed.
    QStringList titles;
    for (const auto& tab : tabs_)
        titles << QString::fromStdString(tab->displayTitle());
    if (titles != drawnTitles_)
        update();
    if (tabs_.empty() || !window())
        return;
    const TerminalView* focused = tabs_[size_t(active_)]->focusedPane();
    if (focused && focused->hasFocus() && !title.empty())
        window()->setWindowTitle(QString::fromStdString(title));
}

std::string GlassView::windowTitle() const
{
    std::string title = std::to_string(number_) + "  ";
    if (active_ >= 0 && active_ < int(tabs_.size()))
        title += tabs_[size_t(active_)]->displayTitle();
    return title;
}

void GlassView::changeFontSize(double size)
{
    storeFontSize(size);
    const double applied = storedFontSize();
    for (auto& tab : tabs_)
        for (auto& pane : tab->panes)
            if (pane)
                pane->setFontSize(applied);
    layoutPanes();
}

void GlassView::teardown()
{
    if (tornDown_)
        return;
    tornDown_ = true;
    if (commandTimer_)
        commandTimer_->stop();
    if (link_)
        link_->transport->stop();
    for (auto& tab : tabs_)
        for (auto& pane : tab->panes)
            if (pane && pane->shell) {
                pane->shell->stop();
                pane->shell.reset();
            }
    WindowRegistry::shared().unregister(this);
}

bool GlassView::perform(const ShortcutMatch& m)
{
    const int n = int(tabs_.size());
    switch (m.action) {
    case WindowAction::ShowServers:
        showServers();
        return true;
    case WindowAction::ShowSessions:
        showSessions();
        return true;
    case WindowAction::NewTab:
        newTab();
        return true;
    case WindowAction::SplitPane:
        splitPane();
        return true;
    case WindowAction::CloseFocused:
        closeFocused();
        return true;
    case WindowAction::NewWindow:
        if (onNewWindow)
            onNewWindow();
        return true;
    case WindowAction::SelectTab:
        if (m.tab < n)
            selectTab(m.tab);
        return true;
    case WindowAction::PreviousTab:
        if (n > 0)
            selectTab((active_ + n - 1) % n);
        return true;
    case WindowAction::NextTab:
        if (n > 0)
            selectTab((active_ + 1) % n);
        return true;
    case WindowAction::FontBigger:
    case WindowAction::FontSmaller:
    case WindowAction::FontReset: {
        if (n == 0 || tabs_[size_t(active_)]->panes.empty() || !tabs_[size_t(active_)]->panes[0])
            return true;
        const double size = tabs_[size_t(active_)]->panes[0]->fontSize();
        changeFontSize(m.action == WindowAction::FontReset  ? 14
                       : m.action == WindowAction::FontBigger ? size + 1
                                                              : size - 1);
        return true;
    }
    case WindowAction::ToggleFullScreen:
        if (auto* w = dynamic_cast<GlassWindow*>(window()))
            w->toggleFullScreen();
        return true;
    case WindowAction::FocusTop:
    case WindowAction::FocusBottom: {
        if (n == 0 || tabs_[size_t(active_)]->panes.size() < 2)
            return false;
        TabModel& tab = *tabs_[size_t(active_)];
        tab.focus = m.action == WindowAction::FocusTop ? 0 : 1;
        focusPane(tab);
        update();
        return true;
    }
    }
    return false;
}

// MARK: look

void GlassView::applyLookToPanes()
{
    const PaneLook pl = look_.paneLook(glowIndex_);
    for (auto& tab : tabs_)
        for (auto& pane : tab->panes)
            if (pane) {
                pane->lightBackground = pl.lightBackground;
                pane->promptColor = pl.promptColor;
                pane->update();
            }
    update();
}

void GlassView::setLook(const Look& look)
{
    look_ = look;
    look_.save(number_);
    applyLookToPanes();
}

void GlassView::cycleGlow()
{
    const GlowCycle next = orvane::cycleGlow(glowIndex_, look_);
    glowIndex_ = next.glowIndex;
    WindowRegistry::shared().setGlow(glowIndex_, this);
    if (next.lookChanged)
        setLook(next.look);
    else
        applyLookToPanes();
}

void GlassView::showLook()
{
    const QPointer<GlassView> view(this);
    auto* popover = new LookController(look_, glowIndex_, [view](const Look& look) {
        if (view)
            view->setLook(look);
    });
    popover->popUp(this, palette());
}

// MARK: drawing

void GlassView::paintEvent(QPaintEvent*)
{
    if (window() && window() != this) {
        const QString title = QString::fromStdString(windowTitle());
        if (window()->windowTitle() != title)
            window()->setWindowTitle(title);
    }
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    GlassInputs in;
    in.card = card();
    in.radius = cornerRadius();
    in.trafficLights = trafficLights();
    in.palette = palette();
    in.fullScreen = fullScreen();
    in.key = !window() || window()->isActiveWindow();
    in.glowIndex = glowIndex_;
    in.hover = hover_;
    in.look = look_;
    drawGlass(p, in);

    TabStripInputs strip;
    strip.trafficLights = in.trafficLights;
    strip.palette = in.palette;
    strip.number = number_;
    strip.glowIndex = glowIndex_;
    strip.light = look_.isLight(glowIndex_);
    for (const auto& tab : tabs_)
        strip.titles << QString::fromStdString(tab->displayTitle());
    drawnTitles_ = strip.titles;
    strip.active = active_;
    strip_ = drawTabStrip(p, strip);

    if (!tabs_.empty()) {
        const TabModel& tab = *tabs_[size_t(active_)];
        if (tab.panes.size() >= 2 && tab.panes[0])
            drawDivider(p, QRectF(tab.panes[0]->geometry()), glowIndex_);
        // Scroll indicators sit beside the panes, in the view's margin.
        for (const auto& pane : tab.panes) {
            if (!pane)
                continue;
            const QRectF r = pane->scrollIndicatorRect();
            if (r.isEmpty())
                continue;
            QColor c = pane->highlightColor();
            c.setAlphaF(0.5f);
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawRoundedRect(r, 1.5, 1.5);
        }
    }
}

void GlassView::resizeEvent(QResizeEvent*)
{
    layoutPanes();
    saveWindowFrame();
}

void GlassView::saveWindowFrame()
{
    QWidget* w = window();
    if (!w || w == this || !w->isVisible() || w->isFullScreen() || w->isMinimized())
        return;
    saveFrame(w->geometry(), number_);
}

void GlassView::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::ActivationChange)
        update();
    QWidget::changeEvent(e);
}

void GlassView::showEvent(QShowEvent*)
{
    if (!commandTimer_) {
        commandTimer_ = new QTimer(this);
        connect(commandTimer_, &QTimer::timeout, this, &GlassView::pollCommands);
        commandTimer_->start(1000);
    }
    if (!tabs_.empty())
        focusPane(*tabs_[size_t(active_)]);
}

// MARK: mouse

void GlassView::updateCursor(QPointF p)
{
    const auto shape = cursorAt(p, cursorAreas(card(), QSizeF(size()), fullScreen(), dividerGrab()));
    if (shape)
        setCursor(*shape);
    else
        unsetCursor();
}

void GlassView::mouseMoveEvent(QMouseEvent* e)
{
    const QPointF p = e->position();
    if (e->buttons() & Qt::LeftButton) {
        if (resizeEdges_) {
            const QPoint delta = e->globalPosition().toPoint() - resizeStartMouse_;
            window()->setGeometry(resizedFrame(resizeStartFrame_, *resizeEdges_, delta));
        } else if (draggingDivider_) {
            dragDivider(p.y());
        }
        return;
    }
    const auto h = windowButton(p, trafficLights(), palette());
    if (h != hover_) {
        hover_ = h;
        update();
    }
    updateCursor(p);
}

void GlassView::leaveEvent(QEvent*)
{
    if (hover_) {
        hover_.reset();
        update();
    }
}

void GlassView::mousePressEvent(QMouseEvent* e)
{
    const QPointF p = e->position();
    if (e->button() == Qt::RightButton) {
        if (palette().contains(p))
            showLook();
        else if (onShowMenu && card().contains(p) && p.y() < content().top())
            onShowMenu(e->globalPosition().toPoint());
        return;
    }
    if (e->button() != Qt::LeftButton)
        return;
    if (const auto edges = resizeEdges(p, card(), fullScreen())) {
        QWindow* handle = window()->windowHandle();
        if (!handle || !handle->startSystemResize(qtEdges(*edges))) {
            resizeEdges_ = edges;
            resizeStartFrame_ = window()->geometry();
            resizeStartMouse_ = e->globalPosition().toPoint();
        }
        return;
    }
    if (const auto grab = dividerGrab(); grab && grab->contains(p)) {
        draggingDivider_ = true;
        lastSplitRows_ = -1;
        return;
    }
    for (size_t i = 0; i < strip_.closeRects.size(); ++i) {
        if (strip_.closeRects[i].contains(p) && i < tabs_.size()) {
            closeTab(int(i));
            return;
        }
    }
    for (size_t i = 0; i < strip_.tabRects.size(); ++i) {
        if (strip_.tabRects[i].contains(p) && i < tabs_.size()) {
            if (int(i) != active_)
                selectTab(int(i));
            else
                renameTab();
            return;
        }
    }
    if (const auto button = windowButton(p, trafficLights(), palette())) {
        auto* w = dynamic_cast<GlassWindow*>(window());
        switch (*button) {
        case CloseButton:
            window()->close();
            break;
        case MinimiseButton:
            window()->showMinimized();
            break;
        case FullScreenButton:
            if (w)
                w->toggleFullScreen();
            break;
        case PaletteButton:
            cycleGlow();
            break;
        default:
            break;
        }
        return;
    }
    const double cw = QFontMetricsF(stripFonts().regular).horizontalAdvance(u'M');
    const QRectF numberArea(trafficLights().right() + 14, trafficLights().top(), 3 * cw, trafficLights().height());
    if (onShowMenu && numberArea.contains(p)) {
        onShowMenu(mapToGlobal(QPoint(int(numberArea.left()), int(numberArea.bottom()))));
        return;
    }
    if (QWindow* handle = window()->windowHandle())
        handle->startSystemMove();
}

void GlassView::mouseDoubleClickEvent(QMouseEvent* e)
{
    const QPointF p = e->position();
    const bool onControl = resizeEdges(p, card(), fullScreen()) || windowButton(p, trafficLights(), palette()) ||
                           std::any_of(strip_.tabRects.begin(), strip_.tabRects.end(),
                                       [&](const QRectF& r) { return r.contains(p); });
    if (e->button() == Qt::LeftButton && !onControl) {
        if (auto* w = dynamic_cast<GlassWindow*>(window()))
            w->toggleZoom();
        return;
    }
    mousePressEvent(e);
}

void GlassView::mouseReleaseEvent(QMouseEvent*)
{
    resizeEdges_.reset();
    if (draggingDivider_)
        endDividerDrag();
}

void GlassView::dragDivider(double y)
{
    if (tabs_.empty())
        return;
    const QRectF c = content();
    TabModel& tab = *tabs_[size_t(active_)];
    if (link_) {
        int total = 0;
        for (const int r : tab.remoteRows.value_or(std::vector<int>()))
            total += r;
        const double h = tab.panes.empty() || !tab.panes[0] ? loginCell_.height() : tab.panes[0]->cellHeight();
        const int rows = std::clamp(int((y - c.top()) / h), 1, std::max(1, total - 1));
        if (rows == lastSplitRows_ || tab.panes.empty() || !tab.panes[0] || !tab.panes[0]->paneID)
            return;
        lastSplitRows_ = rows;
        runLinked("resize-pane -t %" + std::to_string(*tab.panes[0]->paneID) + " -y " + std::to_string(rows));
        return;
    }
    tab.ratio = std::clamp((y - c.top() - 5) / (c.height() - 10), 0.15, 0.85);
    layoutPanes();
}

void GlassView::endDividerDrag()
{
    draggingDivider_ = false;
    if (tabs_.empty() || link_)
        return;
    QSettings settings(userDefaultsPath(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("splitRatio"), tabs_[size_t(active_)]->ratio);
}

// Window shortcuts come before the pane sees the key.
bool GlassView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        if (const auto match = matchShortcut({k->key(), k->modifiers(), k->text()})) {
            if (event->type() == QEvent::ShortcutOverride) {
                // Claim the key so it arrives as a key press, where it is performed once.
                const bool applies = !((match->action == WindowAction::FocusTop ||
                                        match->action == WindowAction::FocusBottom) &&
                                       (tabs_.empty() || tabs_[size_t(active_)]->panes.size() < 2));
                if (applies) {
                    event->accept();
                    return true;
                }
                return false;
            }
            if (perform(*match))
                return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace orvane
