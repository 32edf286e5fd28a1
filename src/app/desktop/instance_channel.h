#pragma once

// One window per user: a second launch hands the files it was given to the running
// application over a local socket and exits. The running application adds them and comes
// to the front.

#include "base/expected.h"

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>

namespace vellinor {

// The socket for this user: "vellinor-<uid>", in $XDG_RUNTIME_DIR when the session has one;
// VELLINOR_INSTANCE_NAME overrides it (tests).
QString instanceServerName();

// The command-line arguments as absolute paths against `workingDirectory` (file: URLs are
// accepted too), so they mean the same thing in another process.
QStringList absoluteFilePaths(const QStringList& arguments, const QString& workingDirectory);

enum class HandOverResult {
    handedOver,  // a running application took the files
    noInstance,  // nobody listens under the name
    failed,      // someone listens but did not confirm in time
};

// Connects to the application listening under `name` and gives it `paths` (possibly none:
// then it only comes to the front). Blocks for at most about `timeoutMs` milliseconds.
HandOverResult handOverToRunningInstance(const QString& name, const QStringList& paths,
                                         int timeoutMs = 5000);

// The running application's side.
class InstanceServer final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InstanceServer)

public:
    explicit InstanceServer(QString name, QObject* parent = nullptr);

    // Starts listening, only for this user. A socket left behind by an application that
    // crashed is replaced; one that still answers is not (a failure of kind busy).
    Status listen();
    // Stops taking launches. A quitting application may still wait for work in the background;
    // a launch meanwhile must start a window of its own, not hand its files to one that is gone.
    void close();
    [[nodiscard]] QString fullServerName() const { return m_server.fullServerName(); }

Q_SIGNALS:
    // A second launch handed over these absolute paths (possibly none).
    void filesReceived(const QStringList& paths);

private:
    void acceptConnection();

    QString m_name;
    QLocalServer m_server;
};

}  // namespace vellinor
