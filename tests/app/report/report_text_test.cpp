// The displayed file's report as text: the same text as `vellinor-cli --details`, searchable,
// following the display; and the window title naming the file.

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

#include "app/report/report_text_window.h"
#include "app/window/view_actions.h"
#include "app_test_support.h"
#include "probe/text_report.h"

namespace vellinor::test {
namespace {

TEST(ReportText, ShowsTheDetailsReportFindsInItAndFollowsTheDisplay)
{
    WindowHarness harness;
    auto* views = harness.window.findChild<ViewActions*>();
    ASSERT_NE(views, nullptr);
    EXPECT_EQ(harness.window.windowTitle(), QStringLiteral("Vellinor"));
    views->reportTextAction()->trigger();
    ReportTextWindow* report = views->reportTextWindow();
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(
        report->textView()->toPlainText().startsWith(QStringLiteral("No file is displayed")));

    const auto path = testMedia().twoAudio;
    harness.delegate.openURLs({fileUrl(path)});
    harness.waitUntilIdle();
    EXPECT_EQ(harness.window.windowTitle(), QStringLiteral("two-audio.mkv \u2014 Vellinor"));
    const FileProbe probe(path.string());
    EXPECT_EQ(report->textView()->toPlainText().toStdString(),
              textReport(probe, "two-audio.mkv", {.details = true, .useColor = false}));

    // Typing finds the first match; the next ones follow, wrapping at the end.
    report->findField()->setText(QStringLiteral("AAC"));
    const int first = report->textView()->textCursor().selectionStart();
    EXPECT_EQ(report->textView()->textCursor().selectedText().toLower(), QStringLiteral("aac"));
    EXPECT_TRUE(report->findNext());
    EXPECT_GT(report->textView()->textCursor().selectionStart(), first);
    for (int i = 0; i < 50 && report->textView()->textCursor().selectionStart() != first; ++i)
        report->findNext();
    EXPECT_EQ(report->textView()->textCursor().selectionStart(), first) << "no wrap-around";
    report->findField()->setText(QStringLiteral("no such words"));
    EXPECT_FALSE(report->findNext());
    EXPECT_EQ(report->findStatus()->text(), QStringLiteral("Not found"));
}

}  // namespace
}  // namespace vellinor::test
