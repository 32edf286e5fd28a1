#include "app/widgets/notification_center.h"

#include <algorithm>
#include <utility>

namespace vellinor {

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

void NotificationCenter::addObserver(QObject* observer, const QString& name, Handler handler)
{
    if (observer == nullptr || !handler)
        return;
    const bool known = std::any_of(m_registrations.begin(), m_registrations.end(),
                                   [observer](const Registration& r) { return r.key == observer; });
    m_registrations.push_back({observer, observer, name, std::move(handler)});
    if (!known)
        QObject::connect(observer, &QObject::destroyed,
                         [this, observer] { removeObserver(observer); });
}

void NotificationCenter::removeObserver(const QObject* observer)
{
    std::erase_if(m_registrations, [observer](const Registration& r) { return r.key == observer; });
}

void NotificationCenter::post(const QString& name, QObject* object, const QVariantMap& userInfo)
{
    const Notification notification{name, object, userInfo};
    // A handler may register or remove observers; deliver to the list as it was at posting.
    const std::vector<Registration> registrations = m_registrations;
    for (const Registration& registration : registrations) {
        if (registration.name == name && !registration.observer.isNull())
            registration.handler(notification);
    }
}

}  // namespace vellinor
