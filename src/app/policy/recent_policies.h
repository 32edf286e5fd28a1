#pragma once

// The policies chosen lately, newest first, kept in the user's settings: a short list, each
// file once, and a file that is gone is dropped when the list is read. The example policies
// shipped with the application are offered beside them.

#include <QString>
#include <QStringList>

namespace vellinor {

class UserDefaults;

class RecentPolicies {
public:
    static constexpr int kMaxCount = 8;
    static constexpr const char* kKey = "recentPolicies";

    explicit RecentPolicies(UserDefaults& defaults) : m_defaults(defaults) {}

    // The files that still exist, newest first (what was dropped is forgotten).
    [[nodiscard]] QStringList paths() const;
    // `path` (made absolute) goes first; the oldest beyond kMaxCount go.
    void add(const QString& path);
    void clear();

private:
    UserDefaults& m_defaults;
};

// The example policies among the resources (share/vellinor/policies/*.toml), by file name.
QStringList examplePolicyPaths();

}  // namespace vellinor
