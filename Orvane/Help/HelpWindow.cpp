#include "HelpWindow.h"

#include "UserDefaults.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHideEvent>
#include <QImage>
#include <QPixmap>
#include <QSaveFile>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>
#include <QVariantList>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineView>
#include <QWidget>

#include <unistd.h>

#include <cmath>

#ifndef ORVANE_BUILD
#define ORVANE_BUILD "1"
#endif
#ifndef ORVANE_HELP_INSTALL_DIR
#define ORVANE_HELP_INSTALL_DIR "/usr/local/share/orvane"
#endif

namespace orvane {

namespace {

const QString kHelpFile = QStringLiteral("Help.html");
// The page's own background, shown before the page has painted (no white flash).
constexpr QRgb kPageBackground = 0x0B0E1A;
// A stored frame must be at least this large and keep this much of itself on a screen.
constexpr int kMinimumWidth = 320;
constexpr int kMinimumHeight = 240;
constexpr int kReachable = 80;
constexpr double kLargest = 1'000'000;
// Coalesces the saves of a move or resize drag.
constexpr int kSaveDelayMs = 250;
// How long a help shot waits beyond its delay for a page that is still loading.
constexpr int kShotMaxWaitMs = 10'000;
constexpr int kShotPollMs = 100;
// After a late load, time for the page to paint the version before the picture is taken.
constexpr int kShotSettleMs = 300;

bool isOutside(const QUrl& url)
{
    return url.scheme().isEmpty() || url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) != 0;
}

UrlOpener orDesktop(UrlOpener openUrl)
{
    if (openUrl)
        return openUrl;
    return [](const QUrl& url) { QDesktopServices::openUrl(url); };
}

// Chromium refuses to start its sandbox as root; running as root then needs it off.
void allowRootWithoutSandbox()
{
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

}  // namespace

// The top-level window: reports moves and resizes so the frame can be saved.
class HelpWindow::Frame : public QWidget {
public:
    explicit Frame(std::function<void()> frameChanged) : frameChanged_(std::move(frameChanged))
    {
        saveTimer_.setSingleShot(true);
        saveTimer_.setInterval(kSaveDelayMs);
        QObject::connect(&saveTimer_, &QTimer::timeout, this, [this] { frameChanged_(); });
    }

protected:
    void moveEvent(QMoveEvent* e) override
    {
        QWidget::moveEvent(e);
        changed();
    }
    void resizeEvent(QResizeEvent* e) override
    {
        QWidget::resizeEvent(e);
        changed();
    }
    void hideEvent(QHideEvent* e) override
    {
        // The last move before closing is not lost to the coalescing.
        if (saveTimer_.isActive()) {
            saveTimer_.stop();
            frameChanged_();
        }
        QWidget::hideEvent(e);
    }

private:
    void changed()
    {
        if (isVisible())
            saveTimer_.start();
    }

    std::function<void()> frameChanged_;
    QTimer saveTimer_;
};

// MARK: HelpPage

HelpPage::HelpPage(UrlOpener openUrl, QObject* parent)
    : QWebEnginePage(parent), openUrl_(orDesktop(std::move(openUrl)))
{
    // Ctrl+click, middle click and target="_blank" links ask for a new window: outside links
    // go to the browser as a plain click would, the page's own files open here.
    connect(this, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest& request) {
        const QUrl url = request.requestedUrl();
        if (!request.isUserInitiated() || url.isEmpty())
            return;
        if (isOutside(url))
            openUrl_(url);
        else
            setUrl(url);
    });
}

bool HelpPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool)
{
    if (type != NavigationTypeLinkClicked || url.isEmpty() || !isOutside(url))
        return true;
    openUrl_(url);
    return false;
}

// MARK: HelpWindow

namespace {

HelpWindow* sharedInstance = nullptr;

// The web page must go before the web engine's profile, which the engine releases while the
// application object is destroyed; so the shared window goes when the event loop ends.
void releaseSharedWindow()
{
    if (sharedInstance && sharedInstance->window())
        delete sharedInstance->window();
}

}  // namespace

HelpWindow& HelpWindow::shared()
{
    // Made on first use and never destroyed by static destruction: its widgets must not
    // outlive the application object.
    if (!sharedInstance)
        sharedInstance = new HelpWindow(helpFilePath());
    return *sharedInstance;
}

HelpWindow::HelpWindow(QString pagePath, UrlOpener openUrl, QObject* parent)
    : QObject(parent), pagePath_(std::move(pagePath)), openUrl_(orDesktop(std::move(openUrl)))
{
}

HelpWindow::~HelpWindow()
{
    delete window_.data();
}

QWidget* HelpWindow::window() const
{
    return window_;
}

QWebEngineView* HelpWindow::webView() const
{
    return view_;
}

QStringList HelpWindow::helpFileCandidates()
{
    const QString beside = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                           QStringLiteral("/../share/orvane/") + kHelpFile);
    const QString installed = QDir::cleanPath(QStringLiteral(ORVANE_HELP_INSTALL_DIR "/") + kHelpFile);
    QStringList out{beside};
    if (installed != beside)
        out.append(installed);
    return out;
}

QString HelpWindow::helpFilePath()
{
    for (const QString& path : helpFileCandidates())
        if (QFileInfo(path).isFile())
            return path;
    return {};
}

QString HelpWindow::buildNumber()
{
    return QStringLiteral(ORVANE_BUILD);
}

QString HelpWindow::versionText()
{
    return QCoreApplication::applicationVersion() + QStringLiteral(" (") + buildNumber() + QLatin1Char(')');
}

QString HelpWindow::versionScript(const QString& version)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : version) {
        const char16_t u = c.unicode();
        if (u == u'"' || u == u'\\')
            quoted += QLatin1Char('\\') + c;
        else if (u < 0x20 || u == 0x7F || u == 0x2028 || u == 0x2029)
            quoted += QStringLiteral("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0'));
        else
            quoted += c;
    }
    quoted += QLatin1Char('"');
    return QStringLiteral("(function () { var e = document.getElementById('v'); if (e) e.textContent = ") +
           quoted + QStringLiteral("; })();");
}

void HelpWindow::show()
{
    if (!window_)
        makeWindow();
    if (window_->isMinimized())
        window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void HelpWindow::makeWindow()
{
    allowRootWithoutSandbox();

    auto* frame = new Frame([self = QPointer<HelpWindow>(this)] {
        if (self)
            self->saveFrame();
    });
    frame->setWindowTitle(QStringLiteral("Orvane Help"));
    frame->setMinimumSize(kMinimumWidth, kMinimumHeight);

    auto* view = new QWebEngineView(frame);
    auto* page = new HelpPage(openUrl_, view);
    view->setPage(page);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(view);

    window_ = frame;
    view_ = view;
    if (this == sharedInstance)
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, releaseSharedWindow);

    connect(page, &QWebEnginePage::loadStarted, this, [this] {
        loading_ = true;
        versionShown_ = false;
    });
    connect(page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        loading_ = false;
        if (ok)
            injectVersion();
        else
            versionShown_ = true;  // nothing more will come
    });

    const bool found = !pagePath_.isEmpty() && QFileInfo(pagePath_).isFile();
    // Without the page, the missing-page text keeps the default colours, so it stays readable.
    page->setBackgroundColor(found ? QColor(kPageBackground) : QColor(Qt::white));
    loading_ = true;
    if (found)
        page->setUrl(QUrl::fromLocalFile(QFileInfo(pagePath_).absoluteFilePath()));
    else
        page->setHtml(QString::fromLatin1(kMissingPage));

    // Centred on the primary screen; a frame saved earlier replaces that.
    frame->resize(kWidth, kHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect g(0, 0, kWidth, kHeight);
        g.moveCenter(screen->availableGeometry().center());
        frame->move(g.topLeft());
    }
    restoreFrame();
}

void HelpWindow::injectVersion()
{
    if (!view_)
        return;
    QPointer<HelpWindow> self(this);
    view_->page()->runJavaScript(versionScript(versionText()), [self](const QVariant&) {
        if (self)
            self->versionShown_ = true;
    });
}

void HelpWindow::helpShot(const QString& path)
{
    if (path.isEmpty())
        return;
    show();
    QTimer::singleShot(kShotDelayMs, this, [this, path] { takeShot(path, 0); });
}

void HelpWindow::takeShot(const QString& path, int waitedMs)
{
    if (!window_ || !view_ || view_->parentWidget() != window_)
        return;
    const bool ready = !loading_ && versionShown_;
    if (!ready && waitedMs < kShotMaxWaitMs) {
        QTimer::singleShot(kShotPollMs, this,
                           [this, path, waitedMs] { takeShot(path, waitedMs + kShotPollMs); });
        return;
    }
    if (ready && waitedMs > 0 && waitedMs < kShotMaxWaitMs) {
        QTimer::singleShot(kShotSettleMs, this, [this, path] { takeShot(path, kShotMaxWaitMs); });
        return;
    }
    const QImage image = view_->grab().toImage();
    if (image.isNull())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    if (!image.save(&file, "PNG")) {
        file.cancelWriting();
        return;
    }
    file.commit();
}

void HelpWindow::saveFrame()
{
    // Only moves of the shown window get here; the last one may come in while it hides.
    if (!window_ ||
        (window_->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)))
        return;
    const QRect g = window_->geometry();
    QSettings settings(userDefaultsPath(), QSettings::IniFormat);
    settings.setValue(QLatin1String(kFrameKey), QVariantList{g.x(), g.y(), g.width(), g.height()});
}

bool HelpWindow::restoreFrame()
{
    const QSettings settings(userDefaultsPath(), QSettings::IniFormat);
    const auto v = numberArray(settings.value(QLatin1String(kFrameKey)));
    if (!v || v->size() != 4)
        return false;
    for (const double d : *v)
        if (!(std::abs(d) <= kLargest))
            return false;
    const QRect frame(int(std::lround((*v)[0])), int(std::lround((*v)[1])), int(std::lround((*v)[2])),
                      int(std::lround((*v)[3])));
    if (frame.width() < kMinimumWidth || frame.height() < kMinimumHeight)
        return false;
    bool reachable = false;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect overlap = frame.intersected(screen->geometry());
        reachable |= overlap.width() >= kReachable && overlap.height() >= kReachable;
    }
    if (!reachable)
        return false;
    window_->setGeometry(frame);
    return true;
}

}  // namespace orvane
