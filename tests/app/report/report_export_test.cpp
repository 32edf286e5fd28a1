// Saving the probe report of the selected file: what the save dialog is asked, what is
// written, what happens when nothing can be written, and the alerts that follow.

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/report/report_file.h"
#include "app/window/contact.h"
#include "app_test_support.h"
#include "base/diagnostics.h"
#include "scripted_dialog_runner.h"

namespace vellinor::test {
namespace {

namespace fs = std::filesystem;

QString qPath(const fs::path& path)
{
    return QString::fromStdString(path.string());
}

// The window with scripted dialogs, a media file selected, and the diagnostics collected.
class SaveHarness {
public:
    explicit SaveHarness(const fs::path& media, const ProbeOptions& options = {}) : harness(options)
    {
        harness.delegate.setDialogRunner(dialogs);
        m_previousSink = diagnostics::setSink(
            [this](std::string_view line) { diagnosticLines.emplace_back(line); });
        harness.delegate.openURLs({fileUrl(media)});
        harness.waitUntilIdle();
    }
    ~SaveHarness() { diagnostics::setSink(m_previousSink); }
    SaveHarness(const SaveHarness&) = delete;
    SaveHarness& operator=(const SaveHarness&) = delete;

    // Saves to `target` as if the user chose it in the dialog.
    void saveTo(const fs::path& target)
    {
        dialogs.savePath = qPath(target);
        harness.delegate.saveBTNClicked();
        harness.waitUntilIdle();
    }

    WindowHarness harness;
    ScriptedDialogRunner dialogs;
    std::vector<std::string> diagnosticLines;

private:
    diagnostics::Sink m_previousSink;
};

std::string probeDocument(const fs::path& media)
{
    const FileProbe probe(media.string());
    EXPECT_TRUE(probe.json.has_value());
    return probe.json ? probe.json->rawString("utf-8", kPrettyPrinted).value_or("") : "";
}

TEST(ReportFile, SuggestedNameDropsTheLastExtensionOnly)
{
    const std::vector<std::pair<QString, QString>> cases{
        {QStringLiteral("clip.final.mkv"), QStringLiteral("clip.final")},
        {QStringLiteral("movie.mkv"), QStringLiteral("movie")},
        {QStringLiteral("archive.tar.gz"), QStringLiteral("archive.tar")},
        {QStringLiteral("no extension"), QStringLiteral("no extension")},
        {QStringLiteral(".hidden"), QStringLiteral(".hidden")},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(suggestedReportName(name), expected) << name.toStdString();
}

TEST(SaveReport, DialogProposesTheSelectedNameAndOnlyJson)
{
    TempDir folder;
    const fs::path media = folder / "clip.final.mkv";
    fs::copy_file(testMedia().twoAudio, media);
    SaveHarness save(media);
    save.harness.delegate.saveBTNClicked();  // cancelled: savePath is empty
    save.harness.waitUntilIdle();

    ASSERT_EQ(save.dialogs.saveRequests.size(), 1);
    const SaveDialogRequest& request = save.dialogs.saveRequests.first();
    EXPECT_EQ(request.suggestedName, QStringLiteral("clip.final"));
    EXPECT_EQ(request.nameFilter, QStringLiteral("JSON (*.json)"));
    EXPECT_EQ(request.defaultSuffix, QStringLiteral("json"));
    // Cancelling writes nothing and says nothing.
    EXPECT_TRUE(save.dialogs.alerts.isEmpty());
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

TEST(SaveReport, WithoutSelectionTheDialogKeepsItsDefaultName)
{
    WindowHarness harness;
    ScriptedDialogRunner dialogs;
    harness.delegate.setDialogRunner(dialogs);
    dialogs.savePath = QStringLiteral("/nonexistent/never-written.json");
    harness.delegate.saveBTNClicked();
    harness.waitUntilIdle();
    ASSERT_EQ(dialogs.saveRequests.size(), 1);
    EXPECT_TRUE(dialogs.saveRequests.first().suggestedName.isEmpty());
    EXPECT_TRUE(dialogs.alerts.isEmpty());
}

TEST(SaveReport, WritesTheProbeDocumentAndAnnouncesIt)
{
    TempDir folder;
    const fs::path target = folder / "two.json";
    SaveHarness save(testMedia().twoAudio);
    save.saveTo(target);

    const std::string expected = probeDocument(testMedia().twoAudio);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(readFile(target), expected);

    ASSERT_EQ(save.dialogs.alerts.size(), 1);
    const AlertRequest& alert = save.dialogs.alerts.first();
    EXPECT_EQ(alert.icon, QMessageBox::Information);
    EXPECT_EQ(alert.messageText, QStringLiteral("two.json\ncreated Successfully!"));
    EXPECT_EQ(alert.informativeText, QStringLiteral("Questions? : ") + contact::supportAddress());
    EXPECT_EQ(alert.buttons,
              (QStringList{QStringLiteral("OK"), QStringLiteral("Show in File Manager"),
                           QStringLiteral("Open in Text Editor")}));
    EXPECT_TRUE(save.diagnosticLines.empty());
}

TEST(SaveReport, OverwriteReplacesTheOldContent)
{
    TempDir folder;
    const fs::path target = folder / "report.json";
    writeFile(target, std::string(100'000, 'x'));  // longer than the report: no tail may survive
    SaveHarness save(testMedia().audioOnly);
    save.saveTo(target);
    EXPECT_EQ(readFile(target), probeDocument(testMedia().audioOnly));
    EXPECT_EQ(save.dialogs.alerts.size(), 1);
}

TEST(SaveReport, ANameWithAnotherExtensionGetsJsonAdded)
{
    TempDir folder;
    SaveHarness save(testMedia().audioOnly);
    save.saveTo(folder / "notes.txt");
    EXPECT_FALSE(fs::exists(folder / "notes.txt"));
    EXPECT_EQ(readFile(folder / "notes.txt.json"), probeDocument(testMedia().audioOnly));
}

TEST(SaveReport, SuccessAlertButtonsShowOrOpenTheSavedFile)
{
    struct Case {
        int button;
        bool revealed;
        bool edited;
    };
    for (const Case& c : {Case{0, false, false}, Case{1, true, false}, Case{2, false, true}}) {
        SCOPED_TRACE(c.button);
        TempDir folder;
        const fs::path target = folder / "saved.json";
        SaveHarness save(testMedia().audioOnly);
        save.dialogs.alertAnswers = {c.button};
        save.saveTo(target);
        const RecordingDesktopServices& desktop = save.harness.desktop;
        EXPECT_EQ(desktop.revealed, c.revealed ? QStringList{qPath(target)} : QStringList{});
        EXPECT_EQ(desktop.edited, c.edited ? QStringList{qPath(target)} : QStringList{});
        EXPECT_TRUE(desktop.opened.isEmpty());
    }
}

TEST(SaveReport, AnEditorThatCannotBeOpenedSaysWhy)
{
    TempDir folder;
    SaveHarness save(testMedia().audioOnly);
    save.harness.desktop.editorProblem = QStringLiteral("No application opens text files.");
    save.dialogs.alertAnswers = {2, 0};
    save.saveTo(folder / "saved.json");
    ASSERT_EQ(save.dialogs.alerts.size(), 2);
    const AlertRequest& warning = save.dialogs.alerts.at(1);
    EXPECT_EQ(warning.icon, QMessageBox::Warning);
    EXPECT_EQ(warning.messageText,
              QStringLiteral("\u201csaved.json\u201d could not be opened in a text editor."));
    EXPECT_EQ(warning.informativeText, QStringLiteral("No application opens text files."));
}

// Lets writes to files grow no larger than `bytes` while alive, so a save fails half-way
// through, as on a full disk. Works for root too.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
        rlimit limited = m_saved;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved{};
    void (*m_previousHandler)(int) = nullptr;
};

TEST(SaveReport, AFailedWriteWarnsAndKeepsWhatWasThere)
{
    struct Case {
        const char* name;
        std::function<fs::path(const TempDir&)> prepare;  // gives the target
        std::function<void(const TempDir&)> check;        // what was there is still there
        bool limitFileSize = false;
    };
    const std::string oldReport = "{\"an\": \"older report\"}\n";
    const std::vector<Case> cases{
        {"the target is a folder",
         [](const TempDir& folder) {
             writeFile(folder / "taken.json" / "inside.txt", "kept");
             return folder / "taken.json";
         },
         [](const TempDir& folder) {
             EXPECT_TRUE(fs::is_directory(folder / "taken.json"));
             EXPECT_EQ(readFile(folder / "taken.json" / "inside.txt"), "kept");
         }},
        {"the target's parent is a file",
         [](const TempDir& folder) {
             writeFile(folder / "plain", "kept");
             return folder / "plain" / "report.json";
         },
         [](const TempDir& folder) { EXPECT_EQ(readFile(folder / "plain"), "kept"); }},
        {"the write is cut short over an older report",
         [&oldReport](const TempDir& folder) {
             writeFile(folder / "report.json", oldReport);
             return folder / "report.json";
         },
         [&oldReport](const TempDir& folder) {
             EXPECT_EQ(readFile(folder / "report.json"), oldReport);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        const fs::path target = c.prepare(folder);
        SaveHarness save(testMedia().twoAudio);
        {
            std::optional<FileSizeLimit> limit;
            if (c.limitFileSize)
                limit.emplace(oldReport.size() + 10);
            save.saveTo(target);
        }
        c.check(folder);
        // No temporary file is left behind either.
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder.path()))
            names.push_back(entry.path().filename().string());
        EXPECT_EQ(names.size(), 1U) << ::testing::PrintToString(names);

        ASSERT_EQ(save.dialogs.alerts.size(), 1);
        const AlertRequest& alert = save.dialogs.alerts.first();
        EXPECT_EQ(alert.icon, QMessageBox::Warning);
        EXPECT_EQ(alert.messageText, QStringLiteral("\u201c") + qPath(target.filename()) +
                                         QStringLiteral("\u201d could not be saved."));
        EXPECT_FALSE(alert.informativeText.isEmpty());
        EXPECT_EQ(alert.buttons, QStringList{QStringLiteral("OK")});
        ASSERT_EQ(save.diagnosticLines.size(), 1U);
        EXPECT_EQ(save.diagnosticLines.front().rfind("Could not save " + target.string() + ": ", 0),
                  0U)
            << save.diagnosticLines.front();
        EXPECT_TRUE(save.harness.desktop.revealed.isEmpty());
        EXPECT_TRUE(save.harness.desktop.edited.isEmpty());
    }
}

TEST(SaveReport, AFileThatCannotBeProbedWarnsAndWritesNothing)
{
    struct Case {
        const char* media;
        std::string content;
        std::string tool;  // empty: the real probe tool
        QString reason;
    };
    const std::vector<Case> cases{
        {"empty.mkv", "", "", QStringLiteral("This file is empty.")},
        {"notes.mkv", "plain text, not media\n", "",
         QStringLiteral("Could not read this file: Invalid data found when processing input")},
        {"clip.mkv", readFile(testMedia().audioOnly), "/nonexistent/sniffer",
         QStringLiteral("Could not start the probe tool: ")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.media);
        TempDir folder;
        const fs::path media = folder / c.media;
        writeFile(media, c.content);
        ProbeOptions options;
        options.toolPath = c.tool;
        SaveHarness save(media, options);
        save.saveTo(folder / "report.json");

        EXPECT_FALSE(fs::exists(folder / "report.json"));
        ASSERT_EQ(save.dialogs.alerts.size(), 1);
        const AlertRequest& alert = save.dialogs.alerts.first();
        EXPECT_EQ(alert.icon, QMessageBox::Warning);
        EXPECT_EQ(alert.messageText, QStringLiteral("\u201c") + QString::fromUtf8(c.media) +
                                         QStringLiteral("\u201d could not be probed, so no "
                                                        "report was saved."));
        EXPECT_TRUE(alert.informativeText.startsWith(c.reason))
            << alert.informativeText.toStdString();
    }
}

TEST(SaveReport, ASelectionGoneWhileTheDialogIsOpenWritesNothing)
{
    TempDir folder;
    SaveHarness save(testMedia().audioOnly);
    save.dialogs.beforeSaveAnswer = [&save] { save.harness.delegate.removeMediaBTNClicked(); };
    save.saveTo(folder / "report.json");
    EXPECT_FALSE(fs::exists(folder / "report.json"));
    EXPECT_TRUE(save.dialogs.alerts.isEmpty());
}

TEST(HelpSheet, ShowsTheContactAndActsOnEachButton)
{
    // Linux has no rating prompt: "Rate App" opens the software centre's page, and is left out
    // where nothing handles its address.
    const QStringList withRating{QStringLiteral("Check out my other Apps"),
                                 QStringLiteral("Rate App"), QStringLiteral("Close")};
    const QStringList withoutRating{QStringLiteral("Check out my other Apps"),
                                    QStringLiteral("Close")};
    struct Case {
        bool softwareCentre;
        int button;
        QList<QUrl> opened;
    };
    const std::vector<Case> cases{
        {true, 0, {contact::otherAppsPage()}},
        {true, 1, {contact::ratingPage()}},
        {true, 2, {}},
        {true, -1, {}},  // closed by Escape
        {false, 0, {contact::otherAppsPage()}},
        {false, 1, {}},  // "Close"
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.softwareCentre << " " << c.button);
        WindowHarness harness;
        if (!c.softwareCentre)
            harness.desktop.handledSchemes.clear();
        ScriptedDialogRunner dialogs;
        harness.delegate.setDialogRunner(dialogs);
        dialogs.alertAnswers = {c.button};
        harness.window.helpAction()->trigger();

        ASSERT_EQ(dialogs.alerts.size(), 1);
        const AlertRequest& alert = dialogs.alerts.first();
        EXPECT_EQ(alert.icon, QMessageBox::Information);
        EXPECT_EQ(alert.messageText,
                  QStringLiteral("For Questions/Comments/Suggestions/Business Enquiries:"));
        EXPECT_EQ(alert.informativeText, QStringLiteral("Contact:support@vellinor.app"));
        EXPECT_EQ(alert.buttons, c.softwareCentre ? withRating : withoutRating);
        EXPECT_EQ(alert.escapeButton, static_cast<int>(alert.buttons.size()) - 1);
        EXPECT_EQ(harness.desktop.opened, c.opened);
        EXPECT_EQ(harness.desktop.reviewRequests, 0);
    }
}

TEST(SaveReport, TheToolbarSaveActionOpensTheDialog)
{
    SaveHarness save(testMedia().audioOnly);
    save.harness.window.saveAction()->trigger();
    EXPECT_EQ(save.dialogs.saveRequests.size(), 1);
}

}  // namespace
}  // namespace vellinor::test
