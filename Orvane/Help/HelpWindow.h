// The help window: the help page "Help.html" shown in a web view in an ordinary titled window,
// with the application's version filled in after every load. Links the user follows to anything
// but a local file open in the user's browser; links between the page's own files stay inside.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWebEnginePage>

#include <functional>

class QWebEngineView;
class QWidget;

namespace orvane {

// Opens a URL outside the help window (by default with the desktop's handler for it).
using UrlOpener = std::function<void(const QUrl&)>;

// The help window's page: vets the navigations the user starts by clicking a link.
class HelpPage : public QWebEnginePage {
public:
    explicit HelpPage(UrlOpener openUrl, QObject* parent = nullptr);

protected:
    // A clicked link whose URL has no scheme or a scheme other than "file" goes to the opener
    // and is refused; every other navigation (file links, anchors, the first load, loads by
    // script) goes ahead.
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

private:
    UrlOpener openUrl_;
};

class HelpWindow : public QObject {
public:
    // The application's help window, made on first use; it shows helpFilePath().
    static HelpWindow& shared();

    // A help window for the page at `pagePath`; an empty path, or one where no file exists,
    // shows the missing-page text. Outside links go to `openUrl`, by default to
    // QDesktopServices::openUrl. The window itself is built on the first show().
    explicit HelpWindow(QString pagePath, UrlOpener openUrl = {}, QObject* parent = nullptr);
    ~HelpWindow() override;
    HelpWindow(const HelpWindow&) = delete;
    HelpWindow& operator=(const HelpWindow&) = delete;

    // Brings the help window forward, building it on first use. Closing the window only hides
    // it, so the next show() brings back the same window and page.
    void show();

    // The ORVANE_HELPSHOT behaviour: with a non-empty path, show() the window at once and, 3
    // seconds later, write a PNG picture of the web view to `path` (atomically). A page still
    // loading then is waited for, up to 10 seconds more. Failures are silent. The application
    // calls it at start-up with the variable's value:
    //     HelpWindow::shared().helpShot(qEnvironmentVariable("ORVANE_HELPSHOT"));
    void helpShot(const QString& path);

    // The help window and its web view; null until the first show().
    QWidget* window() const;
    QWebEngineView* webView() const;
    // The page this window loads (may be empty or name a missing file).
    const QString& pagePath() const { return pagePath_; }

    // Where the help page is looked for, in order: "share/orvane/Help.html" beside the folder
    // of the executable (the build tree's build/bin -> build/share/orvane, or an installed
    // prefix/bin -> prefix/share/orvane), then the installation's data folder.
    static QStringList helpFileCandidates();
    // The first candidate that exists as a file, or an empty string.
    static QString helpFilePath();

    // The version text shown in the page: the application's version (applicationVersion()),
    // " (", the build number, ")".
    static QString versionText();
    // The build number compiled in (ORVANE_BUILD, "1" unless the build sets it).
    static QString buildNumber();
    // The script that writes `version` into the page's element "v"; the text is passed as a
    // quoted script string, so quotes or backslashes in it cannot break out.
    static QString versionScript(const QString& version);

    static constexpr int kWidth = 860;
    static constexpr int kHeight = 720;
    static constexpr int kShotDelayMs = 3000;
    // The user defaults key of the window's frame: [x, y, width, height].
    static constexpr const char* kFrameKey = "HelpWindow";
    static constexpr const char* kMissingPage = "<p>The help file is missing.</p>";

private:
    class Frame;

    void makeWindow();
    void injectVersion();
    void takeShot(const QString& path, int waitedMs);
    void saveFrame();
    bool restoreFrame();

    QString pagePath_;
    UrlOpener openUrl_;
    QPointer<QWidget> window_;
    QPointer<QWebEngineView> view_;
    bool loading_ = false;
    bool versionShown_ = false;
};

}  // namespace orvane
