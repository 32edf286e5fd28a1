#pragma once

// Where users reach the maker: the address named in the save confirmation and the help sheet,
// and the page of the maker's other applications that the help sheet opens.

#include <QString>
#include <QUrl>

namespace vellinor::contact {

inline QString supportAddress()
{
    return QStringLiteral("support@vellinor.app");
}
inline QUrl otherAppsPage()
{
    return QUrl(QStringLiteral("https://vellinor.app/apps"));
}

// The application's page in the software centre (GNOME Software, KDE Discover), by the
// component id of its AppStream metadata.
inline QUrl ratingPage()
{
    return QUrl(QStringLiteral("appstream://vellinor"));
}

}  // namespace vellinor::contact
