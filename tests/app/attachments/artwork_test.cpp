// Saving embedded pictures and attachments from the window: "Save Artwork As..." on the poster,
// the "Pictures and Attachments" list with "Save..." and "Save All...", and what a drag carries.

#include <functional>
#include <map>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include "app/attachments/artwork_actions.h"
#include "app/attachments/attachments_dialog.h"
#include "app/attachments/embedded_file_saving.h"
#include "app/widgets/array_controller.h"
#include "app/widgets/file_drop.h"
#include "app/widgets/image_drop_view.h"
#include "app_test_support.h"
#include "scripted_dialog_runner.h"
#include "support/attachment_media.h"

namespace vellinor::test {
namespace {

namespace fs = std::filesystem;

QString qPath(const fs::path& path)
{
    return QString::fromStdString(path.string());
}

const AttachmentMedia& media()
{
    static TempDir folder;
    static const AttachmentMedia made = makeAttachmentMedia(folder.path());
    return made;
}

// Runs the event loop until `done` holds or 20 s have passed.
bool waitFor(const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 20'000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

std::map<std::string, std::string> contentsOf(const fs::path& folder)
{
    std::map<std::string, std::string> contents;
    for (const auto& entry : fs::directory_iterator(folder))
        contents[entry.path().filename().string()] = readFile(entry.path());
    return contents;
}

// The window with scripted dialogs and one media file added and selected.
class ArtworkHarness {
public:
    explicit ArtworkHarness(const fs::path& mediaFile)
    {
        harness.delegate.setDialogRunner(dialogs);
        harness.delegate.openURLs({fileUrl(mediaFile)});
        actions = harness.window.findChild<ArtworkActions*>();
    }

    // Opens the list window and waits until it lists the selected file.
    AttachmentsDialog* showAttachments()
    {
        actions->showAttachments();
        AttachmentsDialog* dialog = actions->attachmentsDialog();
        EXPECT_NE(dialog, nullptr);
        if (dialog != nullptr) {
            EXPECT_TRUE(waitFor([dialog] { return !dialog->isReading(); }));
        }
        return dialog;
    }

    WindowHarness harness;
    ScriptedDialogRunner dialogs;
    ArtworkActions* actions = nullptr;
};

TEST(SaveArtwork, SavesThePostersPictureByteForByte)
{
    const auto& m = media();
    TempDir out;
    struct Case {
        fs::path mediaFile;
        QString proposed;
        QString filter;
        std::string bytes;
    };
    const std::vector<Case> cases{
        {m.mp3, QStringLiteral("two-picture-1.jpg"), QStringLiteral("JPG (*.jpg)"), m.redJpeg},
        {m.matroska, QStringLiteral("cover.jpg"), QStringLiteral("JPG (*.jpg)"), m.redJpeg},
        {m.m4a, QStringLiteral("cover-picture-1.png"), QStringLiteral("PNG (*.png)"), m.bluePng},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mediaFile.filename().string());
        ArtworkHarness h(c.mediaFile);
        const fs::path target = out / ("saved-" + c.mediaFile.filename().string());
        h.dialogs.savePath = qPath(target);
        h.actions->saveArtwork();
        ASSERT_TRUE(waitFor([&] { return !h.dialogs.saveRequests.isEmpty(); }));
        EXPECT_EQ(h.dialogs.saveRequests.first().suggestedName, c.proposed);
        EXPECT_EQ(h.dialogs.saveRequests.first().nameFilter, c.filter);
        EXPECT_EQ(readFile(target), c.bytes);
        EXPECT_TRUE(h.dialogs.alerts.isEmpty());
    }
}

TEST(SaveArtwork, NothingToSaveForThePlaceholderAndWarnsWhenTheWriteFails)
{
    const auto& m = media();
    {
        ArtworkHarness h(testMedia().audioOnly);
        bool answered = false;
        std::optional<PosterPicture> picture;
        h.actions->withPosterPicture([&](const std::optional<PosterPicture>& found) {
            answered = true;
            picture = found;
        });
        ASSERT_TRUE(waitFor([&] { return answered; }));
        EXPECT_FALSE(picture.has_value());
        h.actions->saveArtwork();
        QCoreApplication::processEvents();
        EXPECT_TRUE(h.dialogs.saveRequests.isEmpty());
    }
    {
        TempDir out;
        ArtworkHarness h(m.mp3);
        h.dialogs.savePath = qPath(out / "no such folder" / "cover.jpg");
        h.actions->saveArtwork();
        ASSERT_TRUE(waitFor([&] { return !h.dialogs.alerts.isEmpty(); }));
        EXPECT_EQ(h.dialogs.alerts.first().messageText,
                  QStringLiteral("\u201ccover.jpg\u201d could not be saved."));
        EXPECT_TRUE(h.dialogs.alerts.first().informativeText.endsWith(
            QStringLiteral("\nAny file already there is unchanged.")));
    }
}

TEST(AttachmentsList, ListsEveryPictureAndAttachmentAndFollowsTheSelection)
{
    const auto& m = media();
    ArtworkHarness h(m.matroska);
    AttachmentsDialog* dialog = h.showAttachments();
    ASSERT_NE(dialog, nullptr);
    const ArrayController& list = *dialog->list();
    EXPECT_EQ(WindowHarness::column(list, QStringLiteral("name")),
              (QStringList{QStringLiteral("cover.jpg"), QStringLiteral("Font.ttf")}));
    EXPECT_EQ(
        WindowHarness::column(list, QStringLiteral("mimeType")),
        (QStringList{QStringLiteral("image/jpeg"), QStringLiteral("application/x-truetype-font")}));
    EXPECT_EQ(WindowHarness::column(list, QStringLiteral("size")),
              (QStringList{QString::number(m.redJpeg.size()) + QStringLiteral(" bytes"),
                           QString::number(m.font.size()) + QStringLiteral(" bytes")}));
    EXPECT_EQ(WindowHarness::column(list, QStringLiteral("description")),
              (QStringList{QStringLiteral("Cover art"), QString()}));
    EXPECT_EQ(dialog->statusLabel()->text(),
              QStringLiteral("\u201c"
                             "art.mkv\u201d: 1 picture, 1 attachment"));
    EXPECT_TRUE(dialog->saveButton()->isEnabled());

    // Another file selected while the list is open: the list follows.
    h.harness.delegate.openURLs({fileUrl(m.mp3), fileUrl(testMedia().audioOnly)});
    ASSERT_TRUE(waitFor([&] { return !dialog->isReading(); }));
    EXPECT_EQ(dialog->statusLabel()->text(),
              QStringLiteral("\u201c"
                             "audio-only.m4a\u201d has no embedded pictures or attachments."));
    EXPECT_FALSE(dialog->saveButton()->isEnabled());
    EXPECT_FALSE(dialog->saveAllButton()->isEnabled());
    h.harness.window.fileListArrayController()->setSelectionIndex(1);
    ASSERT_TRUE(waitFor([&] { return !dialog->isReading() && list.content().size() == 2; }));
    EXPECT_EQ(
        WindowHarness::column(list, QStringLiteral("name")),
        (QStringList{QStringLiteral("two-picture-1.jpg"), QStringLiteral("two-picture-2.png")}));
    EXPECT_EQ(WindowHarness::column(list, QStringLiteral("description")),
              (QStringList{QStringLiteral("Front \u2014 Cover (front)"),
                           QStringLiteral("Cover (back)")}));
}

// Pictures that unpack beyond what the reader may allocate: the list and the poster's tooltip
// say so, one line per picture, and there is nothing to save.
TEST(AttachmentsList, ItemsLeftOutAreNamedByTheListAndThePoster)
{
    TempDir folder;
    const fs::path packed = folder / "packed.mp3";
    writeCompressedPictureMp3(packed, 2, 250'000'000);
    const QString lost = QStringLiteral(
        "an embedded item could not be read: it needs more memory than its reader may take "
        "(Failed to alloc 250000013 bytes)");
    ArtworkHarness h(packed);
    AttachmentsDialog* dialog = h.showAttachments();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->statusLabel()->text(),
              QStringLiteral("\u201cpacked.mp3\u201d holds embedded items that could not be "
                             "read:\n") +
                  lost + u'\n' + lost);
    EXPECT_FALSE(dialog->saveAllButton()->isEnabled());
    QWidget* poster = h.harness.window.posterView();
    ASSERT_TRUE(waitFor([poster] { return !poster->toolTip().isEmpty(); }));
    EXPECT_EQ(poster->toolTip(), lost + u'\n' + lost);
}

TEST(AttachmentsList, SaveAndSaveAllWriteTheExactBytesAndReplaceNothing)
{
    const auto& m = media();
    TempDir out;
    ArtworkHarness h(m.matroska);
    AttachmentsDialog* dialog = h.showAttachments();
    ASSERT_NE(dialog, nullptr);

    dialog->list()->setSelectionIndex(1);
    h.dialogs.savePath = qPath(out / "chosen.ttf");
    dialog->saveSelected();
    EXPECT_EQ(h.dialogs.saveRequests.last().suggestedName, QStringLiteral("Font.ttf"));
    EXPECT_EQ(readFile(out / "chosen.ttf"), m.font);

    h.dialogs.folderPath = qPath(out / "all");
    fs::create_directories(out / "all");
    dialog->saveAll();
    dialog->saveAll();
    EXPECT_EQ(contentsOf(out / "all"), (std::map<std::string, std::string>{
                                           {"cover.jpg", m.redJpeg},
                                           {"Font.ttf", m.font},
                                           {"cover-2.jpg", m.redJpeg},
                                           {"Font-2.ttf", m.font},
                                       }));
    EXPECT_TRUE(h.dialogs.alerts.isEmpty());
}

TEST(AttachmentsList, HostileNamesAreSavedInsideTheChosenFolder)
{
    const auto& m = media();
    TempDir out;
    fs::create_directories(out / "all");
    ArtworkHarness h(m.hostile);
    AttachmentsDialog* dialog = h.showAttachments();
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(dialog->list()->content().size(), m.hostileNames.size());
    // Shown as stored, controls replaced so each stays one line.
    EXPECT_EQ(dialog->list()->content().at(7).value(QStringLiteral("name")).toString(),
              QStringLiteral("a\uFFFDb\uFFFDc\uFFFDd"));

    h.dialogs.folderPath = qPath(out / "all");
    dialog->saveAll();
    EXPECT_EQ(std::distance(fs::directory_iterator(out.path()), fs::directory_iterator()),
              1);  // only the folder
    const auto saved = contentsOf(out / "all");
    EXPECT_EQ(saved.size(), m.hostileNames.size());
    for (const auto& [name, bytes] : saved) {
        EXPECT_NE(name.front(), '.') << name;
        EXPECT_LE(name.size(), 200u) << name;
    }
}

TEST(EmbeddedFileDrag, CarriesACopyOfTheBytesAsAFileAndThePictureAsAnImage)
{
    const auto& m = media();
    EmbeddedFile picture{true, "", "image/jpeg", "", "jpg", m.redJpeg};
    EmbeddedFile font{false, "Font.ttf", "font/ttf", "", "ttf", m.font};
    for (const auto& [file, name] : {std::pair{picture, QStringLiteral("two-picture-1.jpg")},
                                     std::pair{font, QStringLiteral("../Font.ttf")}}) {
        std::unique_ptr<QMimeData> data(embeddedFileDragData(file, name));
        ASSERT_NE(data, nullptr);
        ASSERT_EQ(data->urls().size(), 1);
        const fs::path copy = data->urls().first().toLocalFile().toStdString();
        EXPECT_EQ(copy.filename().string(), file.isPicture ? "two-picture-1.jpg" : "___Font.ttf");
        EXPECT_EQ(readFile(copy), file.bytes);
        EXPECT_EQ(data->data(QString::fromStdString(file.mimeType)).toStdString(), file.bytes);
        EXPECT_EQ(data->hasImage(), file.isPicture);
        EXPECT_FALSE(fileDrop::droppedFiles(data.get()).has_value());  // dropped back: nothing
    }
}

}  // namespace
}  // namespace vellinor::test
