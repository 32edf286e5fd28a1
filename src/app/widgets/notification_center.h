#pragma once

// A small name-keyed notification centre: senders post a named notification with an optional
// object and a dictionary of user information; observers registered for that name receive it
// at once, on the posting thread, in the order they registered. An observer is forgotten when
// it is destroyed.

#include <functional>
#include <vector>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

namespace vellinor {

// Posted by the drop views: user information "key" holds the dropped files as QList<QUrl>.
inline const QString filesAddedByDragAndDropNotification =
    QStringLiteral("FilesAddedByDragAndDrop");
inline const QString filesAddedByDragAndDropKey = QStringLiteral("key");
// Beside the files: the folders of the drop (QList<QUrl>), whose media files are added too.
inline const QString foldersAddedByDragAndDropKey = QStringLiteral("folders");

struct Notification {
    QString name;
    QObject* object = nullptr;
    QVariantMap userInfo;
};

class NotificationCenter {
public:
    using Handler = std::function<void(const Notification&)>;

    static NotificationCenter& defaultCenter();

    // `handler` runs for every notification named `name`, from any sender, while `observer`
    // lives.
    void addObserver(QObject* observer, const QString& name, Handler handler);
    void removeObserver(const QObject* observer);
    void post(const QString& name, QObject* object = nullptr, const QVariantMap& userInfo = {});

private:
    struct Registration {
        QPointer<QObject> observer;
        const QObject* key = nullptr;  // survives the QPointer's clearing, for removal
        QString name;
        Handler handler;
    };
    std::vector<Registration> m_registrations;
};

}  // namespace vellinor
