// The help window with a real web view (offscreen): the version in the page, the missing page,
// link vetting by real clicks, one window for many show() calls, the saved frame and the help shot.
#include "HelpWindow.h"

#include "TempConfig.h"
#include "UserDefaults.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace orvane {
namespace {

constexpr int kTimeoutMs = 30'000;

// Runs `script` in the page and waits for its result (invalid when none came in time).
QVariant js(QWebEngineView* view, const QString& script)
{
    struct Result {
        QVariant value;
        bool done = false;
    };
    auto result = std::make_shared<Result>();
    view->page()->runJavaScript(script, [result](const QVariant& v) {
        result->value = v;
        result->done = true;
    });
    if (!QTest::qWaitFor([&] { return result->done; }, kTimeoutMs))
        return {};
    return result->value;
}

// Waits until `script` gives `expected`; returns the last value seen.
QString waitForScript(QWebEngineView* view, const QString& script, const QString& expected)
{
    QString last;
    const bool seen = QTest::qWaitFor(
        [&] {
            last = js(view, script).toString();
            return last == expected;
        },
        kTimeoutMs);
    return seen ? expected : last;
}

QString versionInPage(QWebEngineView* view, const QString& expected)
{
    return waitForScript(view,
                         QStringLiteral("(function () { var e = document.getElementById('v');"
                                        " return e ? e.textContent : '(no element v)'; })()"),
                         expected);
}

bool waitForUrl(QWebEngineView* view, const QUrl& url)
{
    return QTest::qWaitFor(
        [&] {
            // The committed document, not just the requested address.
            return view->url() == url && js(view, QStringLiteral("document.URL")).toUrl() == url &&
                   js(view, QStringLiteral("document.readyState")).toString() == QLatin1String("complete");
        },
        kTimeoutMs);
}

// A real left click on the middle of the element `id`, through the widget Chromium reads input from.
void clickElement(QWebEngineView* view, const QString& id)
{
    const QVariantList centre =
        js(view,
           QStringLiteral("(function () { var r = document.getElementById('%1').getBoundingClientRect();"
                          " return [r.left + r.width / 2, r.top + r.height / 2]; })()")
               .arg(id))
            .toList();
    ASSERT_EQ(centre.size(), 2) << id.toStdString();
    const QPoint p(int(centre[0].toDouble()), int(centre[1].toDouble()));
    QWidget* input = view->focusProxy() ? view->focusProxy() : view;
    QTest::mouseClick(input, Qt::LeftButton, Qt::NoModifier, p);
}

void writeFile(const QString& path, const QByteArray& text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(text);
}

// The application version for one test.
class AppVersion {
public:
    explicit AppVersion(const QString& version) : old_(QCoreApplication::applicationVersion())
    {
        QCoreApplication::setApplicationVersion(version);
    }
    ~AppVersion() { QCoreApplication::setApplicationVersion(old_); }

private:
    QString old_;
};

// A small help folder: a page with a stylesheet beside it, links of every kind, a second page.
class HelpFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        writeFile(dir.filePath("page.html"),
                  "<!DOCTYPE html><html><head><link rel=\"stylesheet\" href=\"page.css\"></head><body>"
                  "<p>Version <span id=\"v\"></span></p>"
                  "<p><a id=\"web\" href=\"https://example.org/help?x=1\">web</a></p>"
                  "<p><a id=\"mail\" href=\"mailto:someone@example.org\">mail</a></p>"
                  "<p><a id=\"other\" href=\"other.html\">other page</a></p>"
                  "<p><a id=\"anchor\" href=\"#far\">anchor</a></p>"
                  "<div style=\"height: 4000px\"></div><h2 id=\"far\">Far below</h2></body></html>");
        writeFile(dir.filePath("page.css"), "html, body { background: rgb(1, 2, 3); color: white; }");
        writeFile(dir.filePath("other.html"),
                  "<!DOCTYPE html><html><body><p>Other <b id=\"v\"></b></p></body></html>");
        help = std::make_unique<HelpWindow>(dir.filePath("page.html"),
                                            [this](const QUrl& url) { opened.append(url); });
    }

    QUrl pageUrl(const char* name) const
    {
        return QUrl::fromLocalFile(dir.filePath(QString::fromLatin1(name)));
    }
    QWebEngineView* showLoaded()
    {
        help->show();
        EXPECT_TRUE(waitForUrl(help->webView(), pageUrl("page.html")));
        return help->webView();
    }

    testing::TempConfig config;
    QTemporaryDir dir;
    QList<QUrl> opened;
    std::unique_ptr<HelpWindow> help;
};

TEST_F(HelpFixture, VersionAppearsAfterEveryLoadAndQuotesCannotBreakTheScript)
{
    struct Case {
        QString version;
    };
    const Case cases[] = {
        {QStringLiteral("1.2")},
        // Quotes, a backslash, markup and a line separator in the version reach the page as text.
        {QStringLiteral("2.0 'rc' \"x\" \\ </span><b>")},
        {QStringLiteral("3.1\u2028next\nline")},
    };
    for (const Case& c : cases) {
        AppVersion version(c.version);
        const QString expected =
            c.version + QStringLiteral(" (") + HelpWindow::buildNumber() + QLatin1Char(')');
        EXPECT_EQ(HelpWindow::versionText(), expected);
        help = std::make_unique<HelpWindow>(dir.filePath("page.html"), [](const QUrl&) {});
        QWebEngineView* view = showLoaded();
        EXPECT_EQ(versionInPage(view, expected), expected);

        // A second page loaded in the window gets the version too.
        clickElement(view, QStringLiteral("other"));
        ASSERT_TRUE(waitForUrl(view, pageUrl("other.html")));
        EXPECT_EQ(versionInPage(view, expected), expected);
    }
}

TEST_F(HelpFixture, StylesheetNextToThePageIsRead)
{
    QWebEngineView* view = showLoaded();
    EXPECT_EQ(waitForScript(view, QStringLiteral("getComputedStyle(document.body).backgroundColor"),
                            QStringLiteral("rgb(1, 2, 3)")),
              QStringLiteral("rgb(1, 2, 3)"));
}

TEST_F(HelpFixture, MissingPageShowsTheMissingText)
{
    for (const QString& path : {dir.filePath("absent.html"), QString()}) {
        HelpWindow missing(path, [](const QUrl&) {});
        missing.show();
        QWebEngineView* view = missing.webView();
        EXPECT_EQ(waitForScript(view, QStringLiteral("document.body ? document.body.innerHTML : ''"),
                                QStringLiteral("<p>The help file is missing.</p>")),
                  QStringLiteral("<p>The help file is missing.</p>"))
            << path.toStdString();
        EXPECT_EQ(js(view, QStringLiteral("document.body.innerText")).toString(),
                  QStringLiteral("The help file is missing."));
        EXPECT_EQ(missing.window()->windowTitle(), QStringLiteral("Orvane Help"));
    }
}

TEST_F(HelpFixture, ClickedLinksLeaveOnlyForOutsideAddresses)
{
    struct Case {
        const char* id;
        QUrl opened;      // handed to the browser, or empty
        QUrl shownAfter;  // what the window shows after the click
    };
    const Case cases[] = {
        {"web", QUrl(QStringLiteral("https://example.org/help?x=1")), pageUrl("page.html")},
        {"mail", QUrl(QStringLiteral("mailto:someone@example.org")), pageUrl("page.html")},
        {"anchor", QUrl(), QUrl(pageUrl("page.html").toString() + QStringLiteral("#far"))},
        {"other", QUrl(), pageUrl("other.html")},
    };
    QWebEngineView* view = showLoaded();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        view->setUrl(pageUrl("page.html"));
        ASSERT_TRUE(waitForUrl(view, pageUrl("page.html")));
        opened.clear();
        clickElement(view, QString::fromLatin1(c.id));
        if (!c.opened.isEmpty()) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return !opened.isEmpty(); }, kTimeoutMs));
            EXPECT_EQ(opened, QList<QUrl>{c.opened});
            // The page stays: give a wrongly allowed navigation time to happen.
            QTest::qWait(500);
            EXPECT_EQ(view->url(), c.shownAfter);
            EXPECT_EQ(js(view, QStringLiteral("document.URL")).toUrl(), c.shownAfter);
        } else {
            EXPECT_TRUE(waitForUrl(view, c.shownAfter)) << view->url().toString().toStdString();
            EXPECT_TRUE(opened.isEmpty());
        }
    }
    // The anchor scrolled the page down to its target.
    view->setUrl(pageUrl("page.html"));
    ASSERT_TRUE(waitForUrl(view, pageUrl("page.html")));
    EXPECT_EQ(js(view, QStringLiteral("window.scrollY")).toDouble(), 0);
    clickElement(view, QStringLiteral("anchor"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return js(view, QStringLiteral("window.scrollY")).toDouble() > 1000; },
                                kTimeoutMs));
}

TEST_F(HelpFixture, ShowTwiceGivesOneWindowAndClosingOnlyHides)
{
    auto helpWindows = [] {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            n += w->windowTitle() == QLatin1String("Orvane Help");
        return n;
    };
    const int before = helpWindows();
    EXPECT_EQ(help->window(), nullptr);
    QWebEngineView* view = showLoaded();
    QWidget* window = help->window();
    help->show();
    EXPECT_EQ(help->window(), window);
    EXPECT_EQ(help->webView(), view);
    EXPECT_EQ(helpWindows(), before + 1);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Orvane Help"));
    EXPECT_EQ(window->size(), QSize(860, 720));
    EXPECT_TRUE(view->isVisible());

    // The page the user went to survives closing and showing again.
    clickElement(view, QStringLiteral("other"));
    ASSERT_TRUE(waitForUrl(view, pageUrl("other.html")));
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    help->show();
    EXPECT_EQ(help->window(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(view->url(), pageUrl("other.html"));
    EXPECT_EQ(helpWindows(), before + 1);
}

TEST_F(HelpFixture, FrameIsSavedOnMoveAndResizeAndRestoredByTheNextWindow)
{
    help->show();
    QWidget* window = help->window();
    const QRect moved(40, 30, 700, 500);
    window->setGeometry(moved);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QSettings settings(userDefaultsPath(), QSettings::IniFormat);
            return numberArray(settings.value(QStringLiteral("HelpWindow"))) ==
                   std::vector<double>{40, 30, 700, 500};
        },
        kTimeoutMs))
        << config.read().toStdString();

    HelpWindow next(dir.filePath("page.html"), [](const QUrl&) {});
    next.show();
    EXPECT_EQ(next.window()->geometry(), moved);

    // A move right before closing is not lost.
    const QRect last(60, 50, 640, 480);
    next.window()->setGeometry(last);
    next.window()->close();
    const QSettings settings(userDefaultsPath(), QSettings::IniFormat);
    EXPECT_EQ(numberArray(settings.value(QStringLiteral("HelpWindow"))),
              (std::vector<double>{60, 50, 640, 480}));
}

TEST_F(HelpFixture, UnusableSavedFramesGiveTheCentredDefault)
{
    const QByteArray stored[] = {
        "HelpWindow=nonsense\n",
        "HelpWindow=40, 30, 700\n",             // three numbers
        "HelpWindow=40, 30, 100, 80\n",         // smaller than a usable window
        "HelpWindow=90000, 90000, 700, 500\n",  // on no screen
        "HelpWindow=40, 30, nan, 500\n",
    };
    for (const QByteArray& text : stored) {
        config.write("[General]\n" + text);
        HelpWindow fresh(dir.filePath("page.html"), [](const QUrl&) {});
        fresh.show();
        EXPECT_EQ(fresh.window()->size(), QSize(860, 720)) << text.toStdString();
        // Centred, give or take the window decorations.
        const QRect screen = QApplication::primaryScreen()->availableGeometry();
        EXPECT_LE((fresh.window()->geometry().center() - screen.center()).manhattanLength(), 8)
            << text.toStdString();
    }
}

TEST_F(HelpFixture, HelpShotWritesAPngOfTheWindow)
{
    const QString shot = dir.filePath("shot.png");
    help->helpShot(shot);
    ASSERT_NE(help->window(), nullptr);
    EXPECT_TRUE(help->window()->isVisible());
    // Nothing before the delay.
    QTest::qWait(1500);
    EXPECT_FALSE(QFile::exists(shot));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(shot); }, kTimeoutMs));

    EXPECT_EQ(QImageReader::imageFormat(shot), QByteArray("png"));
    const QImage image(shot, "PNG");
    ASSERT_FALSE(image.isNull());
    const qreal dpr = help->window()->devicePixelRatioF();
    EXPECT_EQ(image.size(), help->window()->size() * dpr);
    // The page's own background from its stylesheet, not an empty picture.
    EXPECT_EQ(image.pixelColor(image.width() - 20, image.height() - 20).rgb() & 0xFFFFFF, 0x010203u);
}

TEST_F(HelpFixture, HelpShotWithoutPathOrWithUnwritablePathWritesNothing)
{
    help->helpShot(QString());
    EXPECT_EQ(help->window(), nullptr);

    const QString unwritable = dir.filePath("no/such/folder/shot.png");
    help->helpShot(unwritable);
    QTest::qWait(HelpWindow::kShotDelayMs + 1500);
    EXPECT_FALSE(QFile::exists(unwritable));
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("*.png")}, QDir::Files).isEmpty());
}

// The page that ships: found beside the binaries, up to date with its source, complete and
// self-contained.
TEST(HelpPageFile, ShippedPageIsFoundLoadsItsStyleAndNeedsNothingFromOutside)
{
    testing::TempConfig config;
    const QString path = HelpWindow::helpFilePath();
    ASSERT_FALSE(path.isEmpty()) << HelpWindow::helpFileCandidates().join(", ").toStdString();
    EXPECT_EQ(path, HelpWindow::helpFileCandidates().first());
    for (const char* name : {"Help.html", "Help.css"}) {
        QFile built(QFileInfo(path).dir().filePath(QString::fromLatin1(name)));
        QFile source(QStringLiteral(ORVANE_HELP_SOURCE_DIR "/") + QString::fromLatin1(name));
        ASSERT_TRUE(built.open(QIODevice::ReadOnly) && source.open(QIODevice::ReadOnly)) << name;
        EXPECT_EQ(built.readAll(), source.readAll()) << name;
    }
    // The application's help window shows it.
    HelpWindow& help = HelpWindow::shared();
    EXPECT_EQ(&HelpWindow::shared(), &help);
    EXPECT_EQ(help.pagePath(), path);

    AppVersion version(QStringLiteral("0.9"));
    help.show();
    QWebEngineView* view = help.webView();
    ASSERT_TRUE(waitForUrl(view, QUrl::fromLocalFile(path)));
    const QString expected = QStringLiteral("0.9 (") + HelpWindow::buildNumber() + QLatin1Char(')');
    EXPECT_EQ(versionInPage(view, expected), expected);

    // Its stylesheet is applied: the dark page, not the browser's white.
    EXPECT_EQ(
        js(view, QStringLiteral("getComputedStyle(document.documentElement).backgroundColor")).toString(),
        QStringLiteral("rgb(11, 14, 26)"));
    // Everything it uses comes from its folder: no web fonts, scripts or images from outside.
    EXPECT_EQ(js(view, QStringLiteral("Array.from(document.querySelectorAll('[src], link[href]'))"
                                      ".map(function (e) { return e.src || e.href; })"
                                      ".filter(function (u) { return !u.startsWith('file:'); }).join(' ')"))
                  .toString(),
              QString());
    EXPECT_EQ(js(view, QStringLiteral("document.styleSheets.length")).toInt(), 1);
    QFile css(QFileInfo(path).dir().filePath(QStringLiteral("Help.css")));
    ASSERT_TRUE(css.open(QIODevice::ReadOnly));
    const QByteArray style = css.readAll();
    EXPECT_FALSE(style.contains("url(") || style.contains("@import") || style.contains("@font-face"));
    // Nothing is wider than the window: no sideways scrolling at the default size.
    EXPECT_LE(js(view, QStringLiteral("document.documentElement.scrollWidth")).toInt(),
              js(view, QStringLiteral("document.documentElement.clientWidth")).toInt());
    // Every link inside the page has a target.
    EXPECT_EQ(js(view, QStringLiteral("Array.from(document.querySelectorAll('a[href^=\"#\"]'))"
                                      ".filter(function (a) { return a.getAttribute('href').length > 1 &&"
                                      " !document.getElementById(a.getAttribute('href').slice(1)); })"
                                      ".map(function (a) { return a.getAttribute('href'); }).join(' ')"))
                  .toString(),
              QString());
    // The automation variables are all documented.
    const QString text = js(view, QStringLiteral("document.body.innerText")).toString();
    for (const char* variable :
         {"ORVANE_CONNECT", "ORVANE_PLAIN", "ORVANE_ACTIONS", "ORVANE_SNAPSHOT", "ORVANE_HELPSHOT",
          "ORVANE_INPUT", "ORVANE_DUMP", "ORVANE_SESSION", "ORVANE_SSH"})
        EXPECT_TRUE(text.contains(QLatin1String(variable))) << variable;

    // When the event loop ends, the window goes, before the web engine shuts down.
    QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
    EXPECT_EQ(help.window(), nullptr);
    EXPECT_EQ(help.webView(), nullptr);
}

}  // namespace
}  // namespace orvane
