// The window's policy view: the recent policies, the file list's Policy column for passing,
// failing, warned, unscanned and unreadable files, the displayed file's failing rules, and
// policies that cannot be used.

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>

#include <gtest/gtest.h>

#include "app/policy/policy_results.h"
#include "app/policy/policy_view.h"
#include "app/policy/recent_policies.h"
#include "app/scan/scan_panel.h"
#include "app/widgets/array_controller.h"
#include "app/widgets/scroll_drop_view.h"
#include "app_test_support.h"
#include "scripted_dialog_runner.h"
#include "support/policy_media.h"

namespace vellinor::test {
namespace {

QString qPath(const std::filesystem::path& path)
{
    return QString::fromStdString(path.string());
}

struct ViewMedia {
    PolicyMedia files;
    std::filesystem::path empty;
    std::filesystem::path warnPolicy;  // an error rule web.mp4 meets, a warning rule it fails
    std::filesystem::path scanPolicy;  // a rule over the scan's facts
};

const ViewMedia& viewMedia()
{
    static const ViewMedia media = [] {
        const std::filesystem::path folder = testMedia().folder / "policy-view";
        std::filesystem::create_directories(folder);
        ViewMedia made{makePolicyMedia(folder), folder / "empty.mp4", folder / "warn.toml",
                       folder / "scan.toml"};
        writeFile(made.empty, "");
        writeFile(made.warnPolicy,
                  "name = \"Warned\"\n"
                  "[[rule]]\nname = \"H.264\"\ntracks = \"video\"\n"
                  "field = \"codec_name\"\nvalue = \"h264\"\n"
                  "[[rule]]\nname = \"Full HD\"\nseverity = \"warning\"\n"
                  "tracks = \"video\"\nfield = \"width\"\nvalue = 1920\n");
        writeFile(made.scanPolicy,
                  "name = \"Clean\"\n"
                  "[[rule]]\nname = \"No decode errors\"\n"
                  "field = \"scan.damaged\"\nvalue = false\n");
        return made;
    }();
    return media;
}

PolicyView* policyView(WindowHarness& harness)
{
    return harness.window.findChild<PolicyView*>();
}

bool waitForChecks(const PolicyView& view)
{
    QElapsedTimer clock;
    clock.start();
    QApplication::processEvents();
    while (view.isWorking() && clock.elapsed() < 60'000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    QApplication::processEvents();
    return !view.isWorking();
}

// The file list's Policy column, row by row.
QStringList policyColumn(WindowHarness& harness)
{
    DictionaryTableModel* model = harness.window.fileListArrayController()->model();
    const int column = model->columnCount() - 1;
    if (model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString() !=
        QStringLiteral("Policy"))
        return {};
    QStringList cells;
    for (int row = 0; row < model->rowCount(); ++row)
        cells.append(model->index(row, column).data().toString());
    return cells;
}

TEST(RecentPolicies, KeepsTheNewestExistingFilesOnceAndBounded)
{
    TempDir folder;
    QStringList files;
    for (int i = 0; i < RecentPolicies::kMaxCount + 2; ++i) {
        std::string name = "p";
        name += std::to_string(i);
        name += ".toml";
        const auto path = folder / name;
        writeFile(path, "");
        files.append(qPath(path));
    }
    const QString settings = qPath(folder / "Vellinor.conf");
    {
        UserDefaults defaults(settings);
        RecentPolicies recent(defaults);
        for (const QString& file : files)
            recent.add(file);
        recent.add(files.at(5));
    }
    std::filesystem::remove(files.at(9).toStdString());
    UserDefaults reopened(settings);
    RecentPolicies recent(reopened);
    const QStringList expected{files.at(5), files.at(8), files.at(7), files.at(6),
                               files.at(4), files.at(3), files.at(2)};
    EXPECT_EQ(recent.paths(), expected);
    EXPECT_EQ(reopened.stringListForKey(QString::fromLatin1(RecentPolicies::kKey)), expected);

    // A list of one is kept as plain text in the settings file; it still reads as a list.
    recent.clear();
    recent.add(files.at(0));
    reopened.sync();
    UserDefaults again(settings);
    EXPECT_EQ(RecentPolicies(again).paths(), QStringList{files.at(0)});
}

TEST(PolicyView, ColumnSaysHowEachFileMeetsThePolicy)
{
    const ViewMedia& media = viewMedia();
    const std::filesystem::path web = examplePolicy("web-h264-aac");
    const struct {
        std::filesystem::path policy;
        std::vector<std::filesystem::path> files;
        QStringList cells;
    } cases[] = {
        {web,
         {media.files.web, media.files.archival, media.empty},
         {QStringLiteral("Pass"), QStringLiteral("Fail"),
          QStringLiteral("Not checked: empty file")}},
        {media.warnPolicy,
         {media.files.web, media.files.archival},
         {QStringLiteral("Warn"), QStringLiteral("Fail")}},
        {media.scanPolicy, {media.files.web}, {QStringLiteral("Needs scan")}},
    };
    for (const auto& check : cases) {
        SCOPED_TRACE(check.policy.string());
        WindowHarness harness;
        QList<QUrl> urls;
        for (const auto& file : check.files)
            urls.append(fileUrl(file));
        harness.delegate.openURLs(urls);
        harness.waitUntilIdle();
        PolicyView* view = policyView(harness);
        ASSERT_NE(view, nullptr);
        EXPECT_TRUE(policyColumn(harness).isEmpty()) << "no column before a policy is chosen";
        view->choosePolicy(qPath(check.policy));
        ASSERT_TRUE(waitForChecks(*view));
        EXPECT_EQ(policyColumn(harness), check.cells);
        // A file added later is checked too.
        harness.delegate.openURLs({fileUrl(check.files.front())});
        ASSERT_TRUE(waitForChecks(*view));
        EXPECT_EQ(policyColumn(harness).back(), check.cells.front());

        view->clearAction()->trigger();
        EXPECT_TRUE(policyColumn(harness).isEmpty());
        EXPECT_EQ(view->policy(), nullptr);
    }
}

TEST(PolicyView, PanelListsTheDisplayedFilesFailingRules)
{
    const ViewMedia& media = viewMedia();
    WindowHarness harness;
    harness.delegate.openURLs({fileUrl(media.files.web), fileUrl(media.files.archival)});
    harness.waitUntilIdle();
    PolicyView* view = policyView(harness);
    view->choosePolicy(qPath(examplePolicy("web-h264-aac")));
    ASSERT_TRUE(waitForChecks(*view));
    harness.waitUntilIdle();

    // archival.mkv (displayed, the last one added): Matroska with FFV1 and PCM.
    EXPECT_EQ(view->windowTitle(), QStringLiteral("Policy: Web delivery (H.264/AAC in MP4)"));
    EXPECT_EQ(view->statusText(),
              QStringLiteral("archival.mkv: FAIL, 4 of 8 rules failed (4 errors, 0 warnings)"));
    QStringList failed;
    for (const QVariantMap& row : view->failingRules()->content())
        failed.append(row.value(policyKeys::rule).toString() + QLatin1Char('|') +
                      row.value(policyKeys::severity).toString() + QLatin1Char('|') +
                      row.value(policyKeys::expected).toString() + QLatin1Char('|') +
                      row.value(policyKeys::actual).toString() + QLatin1Char('|') +
                      row.value(policyKeys::reason).toString());
    const QStringList expected{
        QStringLiteral("MP4 container|error|in [\"isom\",\"mp41\",\"mp42\",\"avc1\",\"iso2\","
                       "\"iso4\",\"iso5\",\"iso6\",\"dash\"]||no format.major_brand.tags"),
        QStringLiteral("H.264 video|error|== \"h264\"|track 0: \"ffv1\"|"),
        QStringLiteral("4:2:0 pixels|error|== \"yuv420p\"|track 0: \"bgr0\"|"),
        QStringLiteral("AAC audio|error|== \"aac\"|track 1: \"pcm_s16le\"|"),
    };
    EXPECT_EQ(failed, expected);

    harness.window.fileListArrayController()->setSelectionIndex(0);
    harness.waitUntilIdle();
    EXPECT_TRUE(view->failingRules()->content().isEmpty());
    EXPECT_EQ(view->statusText(), QStringLiteral("web.mp4: pass, all 8 rules passed"));

    // The policy is remembered, and offered with the shipped examples.
    Q_EMIT view->recentMenu()->aboutToShow();
    QStringList offered;
    for (const QAction* action : view->recentMenu()->actions())
        if (!action->isSeparator())
            offered.append(action->text());
    EXPECT_EQ(offered.front(), QStringLiteral("web-h264-aac.toml"));
    EXPECT_TRUE(offered.contains(QStringLiteral("archival-ffv1.toml")));
    EXPECT_EQ(RecentPolicies(harness.defaults).paths(),
              QStringList{qPath(examplePolicy("web-h264-aac"))});
}

TEST(PolicyView, ScanRulesWaitForAScanAndNeverRunOne)
{
    const ViewMedia& media = viewMedia();
    WindowHarness harness;
    harness.delegate.openURLs({fileUrl(media.files.web)});
    harness.waitUntilIdle();
    PolicyView* view = policyView(harness);
    view->choosePolicy(qPath(media.scanPolicy));
    ASSERT_TRUE(waitForChecks(*view));
    EXPECT_EQ(policyColumn(harness), QStringList{QStringLiteral("Needs scan")});
    ASSERT_EQ(view->failingRules()->content().size(), 1);
    EXPECT_EQ(view->failingRules()->content().front().value(policyKeys::reason).toString(),
              needsScanReason());

    auto* scan = harness.window.findChild<ScanPanel*>();
    harness.window.fileListView()->selectAll();
    scan->scanAction()->trigger();
    QElapsedTimer clock;
    clock.start();
    while ((scan->isScanning() || view->isWorking()) && clock.elapsed() < 60'000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    ASSERT_TRUE(waitForChecks(*view));
    EXPECT_EQ(policyColumn(harness), QStringList{QStringLiteral("Pass")});
}

TEST(PolicyView, APolicyThatCannotBeUsedIsRefusedWithTheReason)
{
    const struct {
        const char* text;
        const char* reason;  // the end of the alert's details
    } cases[] = {
        {"[[rule]]\nname = \"Broken\"\njq = \".width ==\"\n",
         "bad.toml:1: rule \"Broken\": jq: syntax error"},
        {"[[rule]]\nname = \"Odd\"\ntracks = \"video\"\nfield = \"width\"\nop = \"=<\"\nvalue = "
         "1\n",
         "bad.toml:1: rule \"Odd\": unknown op \"=<\""},
        {"[[rule]]\nname = \"Typo\"\nfield = \"widht\"\nvalue = 1\n",
         "bad.toml:1: rule \"Typo\": unknown field \"widht\""},
        {"name = [\n", "bad.toml:1: Error while parsing array"},
        {"[[rule]]\nname = \"Same as reference\"\njq = \".width == $ref.width\"\n",
         "bad.toml: its rules compare with a reference file"},
    };
    const ViewMedia& media = viewMedia();
    for (const auto& bad : cases) {
        SCOPED_TRACE(bad.text);
        TempDir folder;
        writeFile(folder / "bad.toml", bad.text);
        WindowHarness harness;
        ScriptedDialogRunner dialogs;
        harness.delegate.setDialogRunner(dialogs);
        harness.delegate.openURLs({fileUrl(media.files.web)});
        harness.waitUntilIdle();
        PolicyView* view = policyView(harness);
        view->choosePolicy(qPath(media.warnPolicy));
        ASSERT_TRUE(waitForChecks(*view));

        view->choosePolicy(qPath(folder / "bad.toml"));
        ASSERT_TRUE(waitForChecks(*view));
        ASSERT_EQ(dialogs.alerts.size(), 1);
        EXPECT_EQ(dialogs.alerts.front().messageText, QStringLiteral("The policy cannot be used."));
        EXPECT_TRUE(dialogs.alerts.front().informativeText.contains(QString::fromUtf8(bad.reason)))
            << dialogs.alerts.front().informativeText.toStdString();
        // The policy checked with before stays, and the bad one is not remembered.
        ASSERT_NE(view->policy(), nullptr);
        EXPECT_EQ(view->policy()->name, "Warned");
        EXPECT_EQ(policyColumn(harness), QStringList{QStringLiteral("Warn")});
        EXPECT_EQ(RecentPolicies(harness.defaults).paths().size(), 1);
    }
}

}  // namespace
}  // namespace vellinor::test
