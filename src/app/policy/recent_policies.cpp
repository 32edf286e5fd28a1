#include "app/policy/recent_policies.h"

#include <QDir>
#include <QFileInfo>

#include "app/desktop/user_defaults.h"
#include "platform/bundle.h"

namespace vellinor {

QStringList RecentPolicies::paths() const
{
    const QStringList stored = m_defaults.stringListForKey(QString::fromLatin1(kKey));
    QStringList kept;
    for (const QString& path : stored) {
        if (!path.isEmpty() && QFileInfo(path).isFile() && !kept.contains(path) &&
            kept.size() < kMaxCount)
            kept.append(path);
    }
    if (kept != stored)
        m_defaults.setStringList(QString::fromLatin1(kKey), kept);
    return kept;
}

void RecentPolicies::add(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList list = paths();
    list.removeAll(absolute);
    list.prepend(absolute);
    while (list.size() > kMaxCount)
        list.removeLast();
    m_defaults.setStringList(QString::fromLatin1(kKey), list);
}

void RecentPolicies::clear()
{
    m_defaults.setStringList(QString::fromLatin1(kKey), {});
}

QStringList examplePolicyPaths()
{
    const auto resources = platform::resourceDirectory();
    if (!resources)
        return {};
    const QDir folder(QString::fromStdString(*resources) + QStringLiteral("/policies"));
    QStringList paths;
    for (const QFileInfo& file :
         folder.entryInfoList({QStringLiteral("*.toml")}, QDir::Files, QDir::Name))
        paths.append(file.absoluteFilePath());
    return paths;
}

}  // namespace vellinor
