#include "app/desktop/launch_count.h"

#include <limits>

#include "app/desktop/user_defaults.h"

namespace vellinor {

qint64 recordLaunch(UserDefaults& defaults, const std::optional<QString>& runningVersion)
{
    const std::optional<QString> installedVersion = defaults.stringForKey(installedVersionKey);
    qint64 count = 0;
    if (runningVersion == installedVersion) {
        const qint64 stored = defaults.integerForKey(launchCountKey);
        count = stored < std::numeric_limits<qint64>::max() ? stored + 1 : stored;
    } else {
        // A new version (or a version appearing or disappearing) starts counting afresh.
        defaults.setString(installedVersionKey, runningVersion);
    }
    defaults.setInteger(launchCountKey, count);
    defaults.sync();
    return count;
}

bool shouldRequestReview(qint64 launchCount)
{
    return launchCount % 10 == 0;
}

}  // namespace vellinor
