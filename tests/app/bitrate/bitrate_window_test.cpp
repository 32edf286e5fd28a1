// The "Bitrate" command and window, on a file made with ffmpeg: the graph's data, the GOP
// summary, the session cache, cancelling, and the UI thread staying free while the packets
// are read.

#include <chrono>

#include <QApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include "app/bitrate/bitrate_action.h"
#include "app/bitrate/bitrate_chart.h"
#include "app/bitrate/bitrate_window.h"
#include "app/widgets/array_controller.h"
#include "app/widgets/scroll_drop_view.h"
#include "app_test_support.h"

namespace vellinor::test {
namespace {

const std::filesystem::path& twelveFrameGop()
{
    static const std::filesystem::path path = [] {
        auto file = testMedia().folder / "bitrate-gop12.mp4";
        runFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x90:rate=25", "-frames:v", "48", "-c:v",
                   "libx264", "-g", "12", "-x264-params", "scenecut=0", file.string()});
        return file;
    }();
    return path;
}

// Runs the event loop until the window's read is over; false when it never ends.
bool waitForRead(BitrateWindow& window)
{
    QElapsedTimer clock;
    clock.start();
    while (window.isReading() && clock.elapsed() < 60'000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return !window.isReading();
}

TEST(BitrateWindow, ShowsTheRatesKeyframesAndGopsOfTheSelectedFile)
{
    BitrateWindow::clearSessionCache();
    WindowHarness harness;
    harness.delegate.openURLs({fileUrl(testMedia().audioOnly), fileUrl(twelveFrameGop())});
    harness.waitUntilIdle();
    auto* action = harness.window.findChild<BitrateAction*>();
    ASSERT_NE(action, nullptr);
    harness.window.fileListView()->selectAll();
    EXPECT_FALSE(action->action()->isEnabled()) << "one file at a time";
    harness.window.fileListArrayController()->setSelectionIndex(1);
    ASSERT_TRUE(action->action()->isEnabled());

    action->action()->trigger();
    BitrateWindow* window = action->lastWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->path().toStdString(), twelveFrameGop().string());
    ASSERT_TRUE(waitForRead(*window));
    ASSERT_NE(window->chart()->statistics(), nullptr) << window->summaryText().toStdString();
    const StreamPackets& video = window->chart()->statistics()->streams.at(0);
    EXPECT_EQ(video.keyframes.size(), 4U);
    EXPECT_EQ(window->summaryText(),
              QStringLiteral("#0 h264: 4 keyframes, GOP min 12, median 12, max 12 frames"));
    EXPECT_GT(window->lastReadSeconds(), 0.0);

    // Again for the unchanged file: from the session cache, at once, without a reader.
    window->close();
    QApplication::processEvents();
    action->action()->trigger();
    BitrateWindow* again = action->lastWindow();
    ASSERT_NE(again, nullptr);
    EXPECT_FALSE(again->isReading());
    EXPECT_EQ(again->lastReadSeconds(), 0.0);
    EXPECT_EQ(again->summaryText(),
              QStringLiteral("#0 h264: 4 keyframes, GOP min 12, median 12, max 12 frames"));
    again->close();
}

TEST(BitrateWindow, CancelStopsTheReadAndReadAgainFinishesIt)
{
    BitrateWindow::clearSessionCache();
    BitrateWindow window(QString::fromStdString(twelveFrameGop().string()));
    // The read runs on a worker: the window is back at once, reading.
    ASSERT_TRUE(window.isReading());
    window.cancel();
    EXPECT_FALSE(window.isReading());
    EXPECT_EQ(window.summaryText(), QStringLiteral("Reading cancelled."));
    EXPECT_EQ(window.chart()->statistics(), nullptr);

    window.read();
    ASSERT_TRUE(waitForRead(window));
    ASSERT_NE(window.chart()->statistics(), nullptr);
}

TEST(BitrateWindow, AFileThatCannotBeReadSaysWhy)
{
    BitrateWindow::clearSessionCache();
    TempDir dir;
    writeFile(dir / "noise.mp4", std::string(4096, '\x42'));
    BitrateWindow window(QString::fromStdString((dir / "noise.mp4").string()));
    ASSERT_TRUE(waitForRead(window));
    EXPECT_EQ(
        window.summaryText(),
        QStringLiteral("Could not read the packets: the packet reader could not read the file"));
    // Closing a window while it reads kills the reader and returns promptly.
    auto* reading = new BitrateWindow(QString::fromStdString(twelveFrameGop().string()));
    const auto start = std::chrono::steady_clock::now();
    delete reading;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(BitrateChart, AxisSteps)
{
    EXPECT_EQ(niceStep(0.7), 1.0);
    EXPECT_EQ(niceStep(1.3), 2.0);
    EXPECT_EQ(niceStep(37.0), 50.0);
    EXPECT_EQ(niceStep(120.0), 200.0);
    EXPECT_EQ(niceTimeStep(0.4), 1.0);
    EXPECT_EQ(niceTimeStep(75.0), 120.0);
    EXPECT_EQ(niceTimeStep(1000.0), 1800.0);
    EXPECT_EQ(clockText(0), QStringLiteral("0:00"));
    EXPECT_EQ(clockText(754), QStringLiteral("12:34"));
    EXPECT_EQ(clockText(3723), QStringLiteral("1:02:03"));
    EXPECT_EQ(rateText(0), QStringLiteral("0"));
    EXPECT_EQ(rateText(800), QStringLiteral("800 kbps"));
    EXPECT_EQ(rateText(12500), QStringLiteral("12.5 Mbps"));
}

}  // namespace
}  // namespace vellinor::test
