#include "app_test_support.h"

#include "platform/child_registry.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>

#include "app/widgets/array_controller.h"

namespace vellinor::test {

WindowHarness::WindowHarness(const ProbeOptions& probeOptions, bool withModelTesters)
    : defaults(QString::fromStdString((settingsFolder / "Vellinor.conf").string()))
    , delegate(desktop)
{
    if (withModelTesters) {
        for (ArrayController* controller :
             {window.fileListArrayController(), window.overviewArrayController(),
              window.tracksArrayController(), window.trackDetailsArrayController()}) {
            m_testers.push_back(std::make_unique<QAbstractItemModelTester>(
                controller->model(), QAbstractItemModelTester::FailureReportingMode::Fatal));
        }
    }
    window.connectOutlets(delegate);
    delegate.userDefaults = &defaults;
    delegate.setRunningVersion(QStringLiteral("1.0"));
    delegate.setProbeOptions(probeOptions);
    delegate.applicationDidFinishLaunching();
}

// A test that quit the window ended the probe children and refused new ones; the next window
// starts as a new program would.
WindowHarness::~WindowHarness()
{
    platform::children::allowStarts();
}

void WindowHarness::waitUntilIdle()
{
    // Answers arrive as queued calls: let them in even when nothing is running any more.
    QCoreApplication::processEvents();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !delegate.isBusy(); }, 60'000));
    QCoreApplication::processEvents();
}

QStringList WindowHarness::column(const ArrayController& controller, const QString& key)
{
    QStringList values;
    for (const QVariantMap& row : controller.content())
        values.append(row.value(key).toString());
    return values;
}

QUrl fileUrl(const std::filesystem::path& path)
{
    return QUrl::fromLocalFile(QString::fromStdString(path.string()));
}

const TestMedia& testMedia()
{
    static TempDir folder;
    static const TestMedia media = [] {
        TestMedia made{folder / "audio-only.m4a", folder / "two-audio.mkv", folder / "red.png",
                       folder / "blue.png", folder / "a folder"};
        std::filesystem::create_directories(made.folder);
        runFfmpeg({"-f", "lavfi", "-i", "sine=frequency=440:duration=1", "-c:a", "aac",
                   made.audioOnly.string()});
        runFfmpeg({"-f",
                   "lavfi",
                   "-i",
                   "testsrc=size=160x120:rate=10:duration=1",
                   "-f",
                   "lavfi",
                   "-i",
                   "sine=frequency=440:duration=1",
                   "-f",
                   "lavfi",
                   "-i",
                   "sine=frequency=660:duration=1",
                   "-map",
                   "0",
                   "-map",
                   "1",
                   "-map",
                   "2",
                   "-c:v",
                   "mpeg4",
                   "-c:a",
                   "aac",
                   "-metadata",
                   "title=Two voices",
                   "-metadata:s:a:0",
                   "language=eng",
                   "-metadata:s:a:1",
                   "language=fra",
                   made.twoAudio.string()});
        runFfmpeg({"-f", "lavfi", "-i", "color=c=red:size=64x64", "-frames:v", "1",
                   made.redCover.string()});
        runFfmpeg({"-f", "lavfi", "-i", "color=c=blue:size=64x64", "-frames:v", "1",
                   made.blueCover.string()});
        return made;
    }();
    return media;
}

}  // namespace vellinor::test
