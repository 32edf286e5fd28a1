#include <limits>
#include <optional>

#include <QMainWindow>

#include <gtest/gtest.h>

#include "app/desktop/launch_count.h"
#include "app_test_support.h"

namespace vellinor::test {
namespace {

struct LaunchCase {
    const char* name;
    std::optional<QString> storedVersion;
    std::optional<qint64> storedCount;
    std::optional<QString> runningVersion;
    std::optional<QString> expectedVersion;
    qint64 expectedCount;
    bool reviewAtQuit;
};

TEST(LaunchCount, CountsLaunchesPerVersionAndAsksForARatingEveryTenth)
{
    const QString v12 = QStringLiteral("1.2");
    const QString v11 = QStringLiteral("1.1");
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    const LaunchCase cases[] = {
        {"first launch ever", {}, {}, v12, v12, 0, true},
        {"second launch of the same version", v12, 0, v12, v12, 1, false},
        {"eleventh launch", v12, 9, v12, v12, 10, true},
        {"same version, count missing", v12, {}, v12, v12, 1, false},
        {"update resets", v11, 5, v12, v12, 0, true},
        {"no version anywhere increments", {}, 4, {}, {}, 5, false},
        {"version gone from the build resets and forgets", v12, 7, {}, {}, 0, true},
        {"the count never overflows", v12, max, v12, v12, max, false},
    };
    for (const LaunchCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        UserDefaults defaults(QString::fromStdString((folder / "settings.conf").string()));
        defaults.setString(installedVersionKey, c.storedVersion);
        if (c.storedCount)
            defaults.setInteger(launchCountKey, *c.storedCount);

        RecordingDesktopServices desktop;
        AppDelegate delegate(desktop);
        delegate.userDefaults = &defaults;
        delegate.setRunningVersion(c.runningVersion);
        delegate.applicationDidFinishLaunching();

        EXPECT_EQ(defaults.stringForKey(installedVersionKey), c.expectedVersion);
        EXPECT_EQ(defaults.contains(installedVersionKey), c.expectedVersion.has_value());
        EXPECT_EQ(defaults.integerForKey(launchCountKey), c.expectedCount);

        delegate.applicationWillTerminate();
        EXPECT_EQ(desktop.reviewRequests, c.reviewAtQuit ? 1 : 0);
        // Quitting only reads the count.
        EXPECT_EQ(defaults.integerForKey(launchCountKey), c.expectedCount);
    }
}

TEST(LaunchCount, PersistsAcrossStoresOfTheSameFile)
{
    TempDir folder;
    const QString path = QString::fromStdString((folder / "settings.conf").string());
    for (qint64 expected = 0; expected < 3; ++expected) {
        UserDefaults defaults(path);
        EXPECT_EQ(recordLaunch(defaults, QStringLiteral("2.0")), expected);
    }
    UserDefaults reread(path);
    EXPECT_EQ(reread.integerForKey(launchCountKey), 2);
    EXPECT_EQ(reread.stringForKey(installedVersionKey), QStringLiteral("2.0"));
}

TEST(Reopen, ShowsAHiddenWindowAndRaisesAVisibleOne)
{
    WindowHarness harness;
    ASSERT_FALSE(harness.window.isVisible());
    EXPECT_TRUE(harness.delegate.applicationShouldHandleReopen(false));
    EXPECT_TRUE(harness.window.isVisible());
    EXPECT_TRUE(harness.delegate.applicationShouldHandleReopen(true));
    EXPECT_TRUE(harness.window.isVisible());
    EXPECT_TRUE(harness.delegate.applicationShouldTerminateAfterLastWindowClosed());
}

}  // namespace
}  // namespace vellinor::test
