#include <cstdlib>

#include <QFile>

#include <gtest/gtest.h>

#include "app/attachments/poster_image.h"
#include "app_test_support.h"
#include "platform/bundle.h"
#include "support/attachment_media.h"

namespace vellinor::test {
namespace {

enum class Expected { red, blue, placeholder };

QImage placeholder()
{
    const auto path = platform::resourcePath("pnf.jpg");
    return path ? QImage(QString::fromStdString(*path)) : QImage();
}

// The covers are made through ffmpeg's YUV colours, so "red" comes back as (254, 0, 0) or so.
bool isMostly(const QImage& image, Qt::GlobalColor expected)
{
    const QColor pixel = image.pixelColor(image.width() / 2, image.height() / 2);
    const QColor wanted(expected);
    return std::abs(pixel.red() - wanted.red()) < 8 &&
           std::abs(pixel.green() - wanted.green()) < 8 &&
           std::abs(pixel.blue() - wanted.blue()) < 8;
}

TEST(PosterImage, TakesTheFirstDecodablePictureElseThePlaceholder)
{
    const TestMedia& media = testMedia();
    TempDir folder;
    writeFile(folder / "damaged.png", std::string("\x89PNG\r\n\x1a\n but nothing after", 26));
    writeFile(folder / "notes.txt", "just text\n");
    const std::string sine = "sine=frequency=440:duration=1";

    const auto mkvWith = [&](const std::string& name, const std::filesystem::path& first,
                             const std::filesystem::path& second) {
        const auto out = folder / name;
        runFfmpeg({"-f", "lavfi", "-i", sine, "-c:a", "aac", "-attach", first.string(),
                   "-metadata:s:t:0", "mimetype=image/png", "-attach", second.string(),
                   "-metadata:s:t:1", "mimetype=image/png", out.string()});
        return out;
    };
    const auto twoCovers = mkvWith("two-covers.mkv", media.redCover, media.blueCover);
    const auto damagedFirst = mkvWith("damaged-first.mkv", folder / "damaged.png", media.blueCover);
    // Two ID3 pictures, the red one first.
    const auto mp3 = makeAttachmentMedia(folder.path()).mp3;

    const struct {
        const char* name;
        std::filesystem::path path;
        Expected expected;
    } cases[] = {
        {"two Matroska covers", twoCovers, Expected::red},
        {"a damaged first cover", damagedFirst, Expected::blue},
        {"two ID3 pictures", mp3, Expected::red},
        {"audio without artwork", media.audioOnly, Expected::placeholder},
        {"a text file", folder / "notes.txt", Expected::placeholder},
        {"a missing file", folder / "missing.mkv", Expected::placeholder},
    };
    ASSERT_FALSE(placeholder().isNull()) << "the placeholder resource pnf.jpg is missing";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage image = posterImage(QString::fromStdString(c.path.string())).image;
        ASSERT_FALSE(image.isNull());
        switch (c.expected) {
            case Expected::red:
                EXPECT_TRUE(isMostly(image, Qt::red));
                break;
            case Expected::blue:
                EXPECT_TRUE(isMostly(image, Qt::blue));
                break;
            case Expected::placeholder:
                EXPECT_EQ(image, placeholder());
                break;
        }
    }

    // A picture the reader cannot hold: the placeholder, and the line the poster's tooltip
    // shows.
    writeCompressedPictureMp3(folder / "packed.mp3", 1, 250'000'000);
    const Poster packed = posterImage(QString::fromStdString((folder / "packed.mp3").string()));
    EXPECT_EQ(packed.image, placeholder());
    EXPECT_EQ(packed.problems,
              QStringLiteral("an embedded item could not be read: it needs more memory than its "
                             "reader may take (Failed to alloc 250000013 bytes)"));
    EXPECT_TRUE(posterImage(QString::fromStdString(twoCovers.string())).problems.isEmpty());
}

}  // namespace
}  // namespace vellinor::test
