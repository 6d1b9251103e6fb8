// Orvane: starts the application, or hands the request to the instance already running.
//
//   orvane                 a new window
//   orvane FOLDER          a new window in FOLDER
//   orvane --tab FOLDER    a new tab in FOLDER in the front window
#include "AppDelegate.h"
#include "InstanceChannel.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

using namespace orvane;

namespace {

std::optional<InstanceRequest> parseArguments(const QStringList& args)
{
    InstanceRequest r;
    bool tab = false;
    QString folder;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == u"--tab")
            tab = true;
        else if (folder.isEmpty())
            folder = args[i];
        else
            return std::nullopt;
    }
    if (folder.isEmpty())
        return tab ? std::nullopt : std::optional(r);
    r.kind = tab ? InstanceRequest::Kind::FolderTab : InstanceRequest::Kind::Folder;
    r.folder = QFileInfo(folder).absoluteFilePath();
    return r;
}

int missingFolder()
{
    std::fprintf(stderr, "%s\n", kMissingFolder);
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvane"));
    QApplication::setApplicationVersion(QStringLiteral(ORVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.orvane.Orvane"));

    const auto request = parseArguments(QApplication::arguments());
    if (!request) {
        std::fprintf(stderr, "usage: orvane [--tab] [FOLDER]\n");
        return 2;
    }
    if (request->kind != InstanceRequest::Kind::Window && !QFileInfo::exists(request->folder))
        return missingFolder();

    if (const auto answer = sendToRunningInstance(*request)) {
        if (*answer == u"ok")
            return 0;
        std::fprintf(stderr, "%s\n", answer->toUtf8().constData());
        return 1;
    }

    AppDelegate delegate;
    InstanceServer server([&delegate](const InstanceRequest& r) -> QString {
        if (r.kind == InstanceRequest::Kind::Window) {
            delegate.newWindow();
            return QStringLiteral("ok");
        }
        return delegate.openFolder(r.folder, r.kind == InstanceRequest::Kind::FolderTab)
                   ? QStringLiteral("ok")
                   : QString::fromUtf8(kMissingFolder);
    });
    server.listen();
    if (request->kind != InstanceRequest::Kind::Window) {
        // A folder given at start takes the place of the default window.
        qputenv("ORVANE_TEST_FOLDER_SERVICE", request->folder.toLocal8Bit());
        if (request->kind == InstanceRequest::Kind::FolderTab)
            qputenv("ORVANE_TEST_FOLDER_SERVICE_TAB", "1");
    }
    delegate.start();
    return QApplication::exec();
}
