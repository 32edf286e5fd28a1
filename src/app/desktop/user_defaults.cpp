#include "app/desktop/user_defaults.h"

namespace vellinor {

UserDefaults::UserDefaults()
    : m_settings(
          std::make_unique<QSettings>(QStringLiteral("Vellinor"), QStringLiteral("Vellinor")))
{
}

UserDefaults::UserDefaults(const QString& path)
    : m_settings(std::make_unique<QSettings>(path, QSettings::IniFormat))
{
}

std::optional<QString> UserDefaults::stringForKey(const QString& key) const
{
    const QVariant value = m_settings->value(key);
    // Settings files keep plain values as text; a list or a group under the key is no string.
    if (value.metaType().id() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

void UserDefaults::setString(const QString& key, const std::optional<QString>& value)
{
    if (value)
        m_settings->setValue(key, *value);
    else
        m_settings->remove(key);
}

qint64 UserDefaults::integerForKey(const QString& key) const
{
    bool ok = false;
    const qint64 value = m_settings->value(key).toLongLong(&ok);
    return ok ? value : 0;
}

void UserDefaults::setInteger(const QString& key, qint64 value)
{
    m_settings->setValue(key, value);
}

QStringList UserDefaults::stringListForKey(const QString& key) const
{
    const QVariant value = m_settings->value(key);
    const int type = value.metaType().id();
    // An INI file keeps a list of one as a plain text.
    if (type != QMetaType::QStringList && type != QMetaType::QString &&
        type != QMetaType::QVariantList)
        return {};
    return value.toStringList();
}

void UserDefaults::setStringList(const QString& key, const QStringList& value)
{
    m_settings->setValue(key, value);
}

bool UserDefaults::contains(const QString& key) const
{
    return m_settings->contains(key);
}

void UserDefaults::sync()
{
    m_settings->sync();
}

}  // namespace vellinor
