#pragma once

// Shared pieces of the application tests: a desktop-services recorder, the window with its
// delegate wired as the application wires them, and media made with ffmpeg.

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <QAbstractItemModelTester>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "app/desktop/desktop_services.h"
#include "app/desktop/user_defaults.h"
#include "app/window/app_delegate.h"
#include "app/window/main_window.h"
#include "support/test_support.h"

// Readable QStrings in test failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace vellinor::test {

class RecordingDesktopServices final : public DesktopServices {
public:
    Status revealFile(const QString& path) override
    {
        revealed.append(path);
        return ok();
    }
    void openUrl(const QUrl& url) override { opened.append(url); }
    Status openInTextEditor(const QString& path) override
    {
        edited.append(path);
        if (!editorProblem.isEmpty())
            return Unexpected(editorProblem.toStdString());
        return ok();
    }
    [[nodiscard]] bool handlesScheme(const QString& scheme) const override
    {
        return handledSchemes.contains(scheme);
    }
    void requestReview() override { ++reviewRequests; }

    QString editorProblem;  // when set, opening in the text editor fails with it
    QStringList handledSchemes{QStringLiteral("appstream")};
    QStringList revealed;
    QList<QUrl> opened;
    QStringList edited;
    int reviewRequests = 0;
};

// The main window and its delegate, connected and launched, with settings in a temporary file.
// Every table model is watched by a QAbstractItemModelTester (fatal on any fault) unless
// `withModelTesters` is false.
class WindowHarness {
public:
    explicit WindowHarness(const ProbeOptions& probeOptions = {}, bool withModelTesters = true);
    ~WindowHarness();
    WindowHarness(const WindowHarness&) = delete;
    WindowHarness& operator=(const WindowHarness&) = delete;

    TempDir settingsFolder;
    UserDefaults defaults;
    RecordingDesktopServices desktop;
    MainWindow window;
    AppDelegate delegate;

    // Runs the event loop until every probe and save the window started has been answered.
    void waitUntilIdle();

    // Column `key` of every row of `controller`'s content, as text.
    static QStringList column(const ArrayController& controller, const QString& key);

private:
    std::vector<std::unique_ptr<QAbstractItemModelTester>> m_testers;
};

QUrl fileUrl(const std::filesystem::path& path);

// Media made once per test program run, in a folder that lives until the program ends.
struct TestMedia {
    std::filesystem::path audioOnly;  // one AAC track, no video, no subtitles
    std::filesystem::path twoAudio;   // video + two audio tracks, with a title tag
    std::filesystem::path redCover;   // 64x64 PNG, red
    std::filesystem::path blueCover;  // 64x64 PNG, blue
    std::filesystem::path folder;
};
const TestMedia& testMedia();

}  // namespace vellinor::test
