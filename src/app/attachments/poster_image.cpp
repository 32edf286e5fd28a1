#include "app/attachments/poster_image.h"

#include <cstddef>
#include <limits>
#include <string>
#include <vector>

#include <QFile>
#include <QStringList>

#include "platform/bundle.h"
#include "probe/embedded_files.h"

namespace vellinor {
namespace {

QImage decoded(const std::string& bytes)
{
    QImage image;
    // The reader hands out no item over 64 MiB; this only keeps the conversion sound.
    if (bytes.size() <= static_cast<std::size_t>(std::numeric_limits<int>::max()))
        image.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                           static_cast<int>(bytes.size()));
    return image;
}

QString joinedLines(const std::vector<std::string>& lines)
{
    QStringList shown;
    for (const std::string& line : lines)
        shown.append(QString::fromStdString(line));
    return shown.join(u'\n');
}

}  // namespace

Poster posterImage(const QString& path, ToolRunner* runner)
{
    const EmbeddedReading pictures =
        embeddedPictures(QFile::encodeName(path).toStdString(), runner);
    Poster poster;
    poster.problems = joinedLines(pictures.problems);
    for (const EmbeddedFile& picture : pictures.files) {
        if (QImage image = decoded(picture.bytes); !image.isNull()) {
            poster.image = std::move(image);
            return poster;
        }
    }
    poster.image = placeholderPoster().image;
    return poster;
}

Poster placeholderPoster()
{
    Poster poster;
    if (const auto placeholder = platform::resourcePath("pnf.jpg"))
        poster.image = QImage(QFile::decodeName(placeholder->c_str()));
    return poster;
}

std::optional<PosterPicture> posterPicture(const QString& path, ToolRunner* runner)
{
    auto reading = embeddedFiles(QFile::encodeName(path).toStdString(), runner);
    if (!reading)
        return std::nullopt;
    // The same choice as posterImage: embeddedPictures lists exactly these, in this order.
    std::vector<EmbeddedFile>& files = reading->files;
    for (std::size_t i = 0; i < files.size(); ++i) {
        EmbeddedFile& file = files[i];
        if (file.isPicture && !decoded(file.bytes).isNull())
            return PosterPicture{std::move(file), static_cast<int>(i) + 1};
    }
    return std::nullopt;
}

}  // namespace vellinor
