#include "app/desktop/instance_channel.h"

#include <unistd.h>

#include <algorithm>
#include <utility>

#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QPointer>
#include <QUrl>

namespace vellinor {

namespace {

constexpr char acknowledgement = 'k';
// A hand-over is a list of paths; anything larger is not one of ours.
constexpr qint64 maxMessageBytes = qint64{64} << 20;

QByteArray encodePaths(const QStringList& paths)
{
    QByteArray message;
    QDataStream stream(&message, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_6_0);
    stream << paths;
    return message;
}

}  // namespace

QString instanceServerName()
{
    const QString overridden = qEnvironmentVariable("VELLINOR_INSTANCE_NAME");
    if (!overridden.isEmpty())
        return overridden;
    const QString name = QStringLiteral("vellinor-") + QString::number(::getuid());
    // The session's private runtime folder when there is one, else the shared temporary folder
    // (where the socket itself is made accessible to this user only).
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(name);
    return name;
}

QStringList absoluteFilePaths(const QStringList& arguments, const QString& workingDirectory)
{
    const QDir base(workingDirectory);
    QStringList paths;
    for (const QString& argument : arguments) {
        const QUrl url(argument);
        const QString path = url.isLocalFile() && argument.startsWith(QStringLiteral("file:"))
                                 ? url.toLocalFile()
                                 : argument;
        paths.append(QDir::cleanPath(base.absoluteFilePath(path)));
    }
    return paths;
}

HandOverResult handOverToRunningInstance(const QString& name, const QStringList& paths,
                                         int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(std::min(timeoutMs, 1000)))
        return HandOverResult::noInstance;
    socket.write(encodePaths(paths));
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime())))
            return HandOverResult::failed;
    }
    while (socket.bytesAvailable() < 1) {
        if (deadline.hasExpired() ||
            !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return HandOverResult::failed;
    }
    char answer = 0;
    socket.getChar(&answer);
    socket.disconnectFromServer();
    return answer == acknowledgement ? HandOverResult::handedOver : HandOverResult::failed;
}

InstanceServer::InstanceServer(QString name, QObject* parent)
    : QObject(parent), m_name(std::move(name))
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &InstanceServer::acceptConnection);
}

Status InstanceServer::listen()
{
    // Listening with access options replaces whatever socket file has the name, so ask first
    // whether a live application answers under it.
    QLocalSocket probe;
    probe.connectToServer(m_name);
    if (probe.waitForConnected(500))
        return Unexpected(ErrorKind::busy, "another window listens under " + m_name.toStdString());
    // What is left is a socket file of an application that ended without removing it.
    QLocalServer::removeServer(m_name);
    if (!m_server.listen(m_name))
        return Unexpected(m_server.errorString().toStdString());
    return ok();
}

void InstanceServer::close()
{
    m_server.close();  // removes the socket file too
}

void InstanceServer::acceptConnection()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->bytesAvailable() > maxMessageBytes) {
                socket->abort();
                return;
            }
            QDataStream stream(socket);
            stream.setVersion(QDataStream::Qt_6_0);
            stream.startTransaction();
            QStringList paths;
            stream >> paths;
            if (!stream.commitTransaction())
                return;  // not all there yet
            socket->putChar(acknowledgement);
            socket->flush();
            Q_EMIT filesReceived(paths);
        });
    }
}

}  // namespace vellinor
