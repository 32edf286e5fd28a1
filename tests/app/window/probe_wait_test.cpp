// A probe that hangs: the wait shows the file's size and a Cancel that ends the tool, and
// quitting ends the tool at once instead of waiting for its time limit.

#include <signal.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "app/widgets/array_controller.h"
#include "app/window/window_commands.h"
#include "app_test_support.h"
#include "platform/child_registry.h"

namespace vellinor::test {
namespace {

namespace fs = std::filesystem;

// A tool that notes its process id in `pidFile`, then hangs for a minute.
ProbeOptions hangingTool(const TempDir& folder)
{
    writeScript(folder / "sniffer",
                "echo $$ > '" + (folder / "tool.pid").string() + "'\nexec sleep 60\n");
    ProbeOptions options;
    options.toolPath = (folder / "sniffer").string();
    options.timeout = std::chrono::seconds(90);
    return options;
}

QPushButton* cancelButton(const WindowHarness& harness)
{
    return harness.window.findChild<QPushButton*>(QStringLiteral("cancelProbeButton"));
}

QString verdictText(const WindowHarness& harness)
{
    return harness.window.commands()->verdictLabel()->text();
}

TEST(ProbeWait, ShowsTheSizeAndCancelGivesUpOnTheFile)
{
    TempDir folder;
    writeFile(folder / "stalled.mkv", std::string(2500, 'x'));
    WindowHarness harness(hangingTool(folder));
    ASSERT_NE(cancelButton(harness), nullptr);
    harness.window.show();
    harness.delegate.openURLs({fileUrl(folder / "stalled.mkv")});
    EXPECT_TRUE(QTest::qWaitFor([&] { return verdictText(harness).contains(u"KB"); }, 5000));
    EXPECT_EQ(verdictText(harness), QStringLiteral("Reading this file (2 KB)\u2026"));
    EXPECT_TRUE(cancelButton(harness)->isVisible());

    QTest::mouseClick(cancelButton(harness), Qt::LeftButton);
    EXPECT_EQ(verdictText(harness),
              QStringLiteral("Reading this file was cancelled; select it again to retry."));
    EXPECT_FALSE(cancelButton(harness)->isVisible());
    EXPECT_TRUE(harness.window.tracksArrayController()->content().isEmpty());
    // Cancel ends the hung tool itself, long before its time limit.
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(folder / "tool.pid"); }, 5000));
    QTest::qWait(100);  // the pid file is written before the tool execs its sleep
    const pid_t tool = std::stoi(readFile(folder / "tool.pid"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return ::kill(tool, 0) != 0; }, 5000))
        << "the tool still runs";
    QElapsedTimer clock;
    clock.start();
    harness.waitUntilIdle();
    EXPECT_LT(clock.elapsed(), 5000) << "the cancelled probe was waited for";
}

TEST(ProbeWait, QuitEndsAHungToolAtOnce)
{
    TempDir folder;
    writeFile(folder / "stalled.mkv", "x");
    WindowHarness harness(hangingTool(folder));
    harness.window.show();
    harness.delegate.openURLs({fileUrl(folder / "stalled.mkv")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(folder / "tool.pid"); }, 5000));
    QTest::qWait(100);  // the pid file is written before the tool execs its sleep
    const pid_t tool = std::stoi(readFile(folder / "tool.pid"));
    ASSERT_EQ(::kill(tool, 0), 0) << "the tool should be running";

    QElapsedTimer clock;
    clock.start();
    harness.window.commands()->quitAction()->trigger();
    harness.waitUntilIdle();
    EXPECT_LT(clock.elapsed(), 5000) << "quitting waited for the tool";
    EXPECT_NE(::kill(tool, 0), 0) << "the tool still runs";
    // And no new tool is started on the way out.
    harness.delegate.openURLs({fileUrl(folder / "stalled.mkv")});
    harness.waitUntilIdle();
    EXPECT_LT(clock.elapsed(), 5000);
    platform::children::allowStarts();
}

}  // namespace
}  // namespace vellinor::test
