#include "InstanceChannel.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include <unistd.h>

namespace orvane {

QString encodeRequest(const InstanceRequest& r)
{
    switch (r.kind) {
    case InstanceRequest::Kind::Window:
        return QStringLiteral("window");
    case InstanceRequest::Kind::Folder:
        return QStringLiteral("folder\t") + r.folder;
    case InstanceRequest::Kind::FolderTab:
        return QStringLiteral("tab\t") + r.folder;
    }
    return {};
}

std::optional<InstanceRequest> decodeRequest(const QString& line)
{
    if (line == u"window")
        return InstanceRequest{InstanceRequest::Kind::Window, {}};
    const qsizetype tab = line.indexOf(u'\t');
    if (tab < 0)
        return std::nullopt;
    const QString kind = line.left(tab), folder = line.mid(tab + 1);
    if (kind == u"folder")
        return InstanceRequest{InstanceRequest::Kind::Folder, folder};
    if (kind == u"tab")
        return InstanceRequest{InstanceRequest::Kind::FolderTab, folder};
    return std::nullopt;
}

QString instanceSocketPath()
{
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (base.isEmpty())
        base = QStringLiteral("/tmp/orvane-%1").arg(getuid());
    else
        base += QStringLiteral("/orvane");
    QDir().mkpath(base);
    QFile::setPermissions(base, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return base + QStringLiteral("/instance");
}

std::optional<QString> sendToRunningInstance(const InstanceRequest& request)
{
    QLocalSocket socket;
    socket.connectToServer(instanceSocketPath());
    if (!socket.waitForConnected(1000))
        return std::nullopt;
    socket.write((encodeRequest(request) + u'\n').toUtf8());
    if (!socket.waitForBytesWritten(2000))
        return std::nullopt;
    QByteArray answer;
    while (!answer.contains('\n') && socket.waitForReadyRead(5000))
        answer += socket.readAll();
    if (!answer.contains('\n'))
        return std::nullopt;
    return QString::fromUtf8(answer.left(answer.indexOf('\n')));
}

InstanceServer::InstanceServer(std::function<QString(const InstanceRequest&)> handler) : handler_(std::move(handler)) {}

bool InstanceServer::listen()
{
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    const QString path = instanceSocketPath();
    if (!server_->listen(path)) {
        // A socket left by an instance that is gone: nobody answers it, so take it over.
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(300))
            return false;
        QLocalServer::removeServer(path);
        if (!server_->listen(path))
            return false;
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, s = QPointer(socket)] {
                if (!s || !s->canReadLine())
                    return;
                const QString line = QString::fromUtf8(s->readLine()).chopped(1);
                const auto request = decodeRequest(line);
                const QString answer = request ? handler_(*request) : QStringLiteral("bad request");
                s->write((answer + u'\n').toUtf8());
                s->flush();
            });
        }
    });
    return true;
}

}  // namespace orvane
