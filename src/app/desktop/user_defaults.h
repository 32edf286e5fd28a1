#pragma once

// The application's settings store with typed accessors (QSettings, organisation and
// application "Vellinor"): the launch bookkeeping and the recent policies.

#include <memory>
#include <optional>

#include <QSettings>
#include <QString>
#include <QStringList>

namespace vellinor {

inline const QString installedVersionKey = QStringLiteral("installedVersion");
inline const QString launchCountKey = QStringLiteral("launchCount");

class UserDefaults {
public:
    // The user's store.
    UserDefaults();
    // A store in the INI file at `path` (tests).
    explicit UserDefaults(const QString& path);

    // The string under `key`, or nothing when absent or not a string.
    [[nodiscard]] std::optional<QString> stringForKey(const QString& key) const;
    // Stores `value`; nothing removes the key.
    void setString(const QString& key, const std::optional<QString>& value);
    // The integer under `key`; 0 when absent or not a number.
    [[nodiscard]] qint64 integerForKey(const QString& key) const;
    void setInteger(const QString& key, qint64 value);

    // The list of texts under `key`; empty when absent (one text counts as a list of one).
    [[nodiscard]] QStringList stringListForKey(const QString& key) const;
    void setStringList(const QString& key, const QStringList& value);

    [[nodiscard]] bool contains(const QString& key) const;
    void sync();

private:
    std::unique_ptr<QSettings> m_settings;
};

}  // namespace vellinor
