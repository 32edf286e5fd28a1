// The window's Scan: the command scans the selected files off the UI thread, the panel shows
// the displayed file's report, a damaged file's verdict line says so, Copy Report carries the
// scan, and Cancel stops a running scan.

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLabel>

#include <gtest/gtest.h>

#include "app/scan/scan_panel.h"
#include "app/widgets/array_controller.h"
#include "app/widgets/scroll_drop_view.h"
#include "app/window/window_commands.h"
#include "app_test_support.h"

namespace vellinor::test {
namespace {

struct PanelMedia {
    std::filesystem::path clean;
    std::filesystem::path cut;
};

const PanelMedia& panelMedia()
{
    static const PanelMedia media = [] {
        PanelMedia made{testMedia().folder / "scan-clean.mkv", testMedia().folder / "scan-cut.mkv"};
        runFfmpeg({"-f", "lavfi", "-i", "testsrc2=d=6:s=160x120:r=25", "-c:v", "libx264",
                   made.clean.string()});
        const std::string bytes = readFile(made.clean);
        writeFile(made.cut, bytes.substr(0, bytes.size() * 6 / 10));
        return made;
    }();
    return media;
}

bool waitForScan(const ScanPanel& panel)
{
    QElapsedTimer clock;
    clock.start();
    while (panel.isScanning() && clock.elapsed() < 60'000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return !panel.isScanning();
}

TEST(ScanPanel, ScansTheSelectionAndShowsTheDisplayedFilesReport)
{
    WindowHarness harness;
    harness.delegate.openURLs({fileUrl(panelMedia().clean), fileUrl(panelMedia().cut)});
    harness.waitUntilIdle();
    auto* panel = harness.window.findChild<ScanPanel*>();
    ASSERT_NE(panel, nullptr);
    harness.window.fileListView()->selectAll();
    ASSERT_TRUE(panel->scanAction()->isEnabled());
    panel->scanAction()->trigger();
    ASSERT_TRUE(panel->isScanning());
    ASSERT_TRUE(waitForScan(*panel));

    harness.window.fileListArrayController()->setSelectionIndex(1);
    harness.waitUntilIdle();
    EXPECT_TRUE(panel->reportText().startsWith(QStringLiteral("Truncated: ")))
        << panel->reportText().toStdString();
    EXPECT_EQ(panel->statusText(), QStringLiteral("Decode errors found"));
    // The file's own verdict comes first: its header tells that it was cut, which says more
    // than the decode errors the cut causes (the scan panel still says those).
    EXPECT_TRUE(harness.window.commands()->verdictLabel()->text().startsWith(
        QStringLiteral("This file ends early: its header says it holds ")))
        << harness.window.commands()->verdictLabel()->text().toStdString();
    harness.window.commands()->copyReportAction()->trigger();
    EXPECT_TRUE(
        QGuiApplication::clipboard()->text().contains(QStringLiteral("\nScan\n  Truncated: ")))
        << QGuiApplication::clipboard()->text().toStdString();

    harness.window.fileListArrayController()->setSelectionIndex(0);
    harness.waitUntilIdle();
    EXPECT_TRUE(panel->reportText().startsWith(QStringLiteral("No decode errors\n")));
    EXPECT_TRUE(harness.window.commands()->verdictLabel()->text().isEmpty());
}

TEST(ScanPanel, CancelStopsTheRunningScan)
{
    WindowHarness harness;
    test::TempDir dir;
    // Long enough to be still running when Cancel comes.
    const auto longer = dir / "longer.mkv";
    runFfmpeg({"-f", "lavfi", "-i", "testsrc2=d=120:s=320x240:r=25", "-c:v", "libx264", "-preset",
               "ultrafast", longer.string()});
    harness.delegate.openURLs({fileUrl(longer)});
    harness.waitUntilIdle();
    auto* panel = harness.window.findChild<ScanPanel*>();
    ASSERT_NE(panel, nullptr);
    harness.window.fileListArrayController()->setSelectionIndex(0);
    panel->scanAction()->trigger();
    ASSERT_TRUE(panel->isScanning());
    panel->cancel();
    ASSERT_TRUE(waitForScan(*panel));
    EXPECT_EQ(panel->statusText(), QStringLiteral("Scan cancelled."));
    EXPECT_FALSE(panel->scanOf(QString::fromStdString(longer.string())));
}

}  // namespace
}  // namespace vellinor::test
