// How long selecting the next file takes until the window shows it, with a warm probe server
// and with a one-shot run of the probe tool per selection: bench/compare.sh prints it beside the
// other figures. Only printed, since a timing depends on the machine; each selection must still
// show the right file, or the figure would mean nothing.
//
//     build/release/bin/window_timing

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>

#include <gtest/gtest.h>

#include "app/widgets/array_controller.h"
#include "app_test_support.h"
#include "probe/probe_service.h"

namespace vellinor::test {
namespace {

// Selects each of two files in turn `steps` times; returns the median milliseconds from the
// selection to the window showing that file's tracks.
double medianSelectionMilliseconds(const ProbeOptions& options, int steps)
{
    WindowHarness harness(options, false);
    const TestMedia& media = testMedia();
    harness.delegate.openURLs({fileUrl(media.audioOnly), fileUrl(media.twoAudio)});
    ArrayController& files = *harness.window.fileListArrayController();
    ArrayController& tracks = *harness.window.tracksArrayController();
    // The metadata row and a row per track.
    const qsizetype trackRows[] = {2, 4};

    std::vector<double> times;
    for (int step = 0; step < steps; ++step) {
        const int row = step % 2;
        QElapsedTimer timer;
        timer.start();
        files.selectionModel()->select(
            files.model()->index(row, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        // Shown once the tracks are those of the file (a window that probes off the main
        // thread shows them a little later).
        while (tracks.content().size() != trackRows[row] && timer.elapsed() < 10'000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        EXPECT_EQ(tracks.content().size(), trackRows[row]) << "step " << step;
        EXPECT_EQ(harness.window.filePathLabel()->text(),
                  QStringLiteral("File Name: ") +
                      QString::fromStdString(
                          (row == 0 ? media.audioOnly : media.twoAudio).filename().string()));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

TEST(WindowTiming, SelectingTheNextFile)
{
    constexpr int steps = 40;
    ProbeOptions warm;
    warm.toolRunner = std::make_shared<ProbeService>();
    const double served = medianSelectionMilliseconds(warm, steps);
    const double oneShot = medianSelectionMilliseconds(ProbeOptions{}, steps);
    std::printf(
        "window: selecting the next small file shows it in %.1f ms (median of %d) with a "
        "warm probe server, %.1f ms with a one-shot run of the tool\n",
        served, steps, oneShot);
}

}  // namespace
}  // namespace vellinor::test
