#include "app/desktop/linux_desktop_services.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "base/diagnostics.h"

namespace vellinor {

namespace {

// Asks the file manager to show the item; false when no file manager answers.
bool showItemOverDBus(const QUrl& url)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{url.toString()} << QString();
    // A file manager that is started for the call takes a moment; one that hangs must not
    // freeze the window for the bus's default 25 seconds.
    const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

// The desktop entry of the default application for `type`, e.g. "org.gnome.TextEditor.desktop"
// for "text/plain"; empty when there is none (or no xdg-mime to ask).
QString defaultApplication(const QString& type)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty())
        return {};
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(3000) || query.exitCode() != 0) {
        query.kill();
        query.waitForFinished(1000);
        return {};
    }
    return QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
}

}  // namespace

Status LinuxDesktopServices::revealFile(const QString& path)
{
    const QFileInfo file(path);
    if (showItemOverDBus(QUrl::fromLocalFile(file.absoluteFilePath())))
        return ok();
    // No file manager on the bus: open the folder that holds the file.
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(file.absolutePath())))
        return ok();
    return Unexpected(
        std::string("No file manager answered, and no application is set to "
                    "open folders."));
}

void LinuxDesktopServices::openUrl(const QUrl& url)
{
    if (url.isValid())
        QDesktopServices::openUrl(url);
}

Status LinuxDesktopServices::openInTextEditor(const QString& path)
{
    // The file's own default handler may be a browser (for .json); prefer the text editor.
    const QString editor = defaultApplication(QStringLiteral("text/plain"));
    const QString launcher = QStandardPaths::findExecutable(QStringLiteral("gtk-launch"));
    if (!editor.isEmpty() && !launcher.isEmpty() &&
        QProcess::startDetached(launcher, {editor, QFileInfo(path).absoluteFilePath()}))
        return ok();
    if ((!editor.isEmpty() || !defaultApplication(QStringLiteral("application/json")).isEmpty()) &&
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath())))
        return ok();
    return Unexpected(std::string(
        "No application is set to open text files on this desktop (xdg-mime names none for "
        "text/plain). The report is saved; open it with any text editor."));
}

bool LinuxDesktopServices::handlesScheme(const QString& scheme) const
{
    return !defaultApplication(QStringLiteral("x-scheme-handler/") + scheme).isEmpty();
}

void LinuxDesktopServices::requestReview()
{
    ++m_reviewRequests;
    diagnostics::emitLine("Review requested (this desktop has no rating prompt)");
}

}  // namespace vellinor
