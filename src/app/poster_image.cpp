#include "app/poster_image.h"

#include <string>
#include <vector>

#include <QFile>

#include "platform/bundle.h"

namespace vellinor {
namespace {

QImage decoded(const std::string& bytes)
{
    QImage image;
    if (bytes.size() <= platform::kLargestPicture)
        image.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                           static_cast<int>(bytes.size()));
    return image;
}

}  // namespace

QImage posterImage(const QString& path)
{
    const std::vector<std::string> pictures =
        platform::embeddedPictures(QFile::encodeName(path).toStdString());
    for (const std::string& bytes : pictures) {
        if (QImage image = decoded(bytes); !image.isNull())
            return image;
    }
    if (const auto placeholder = platform::resourcePath("pnf.jpg"))
        return QImage(QFile::decodeName(placeholder->c_str()));
    return {};
}

std::optional<PosterPicture> posterPicture(const QString& path)
{
    auto files = platform::embeddedFiles(QFile::encodeName(path).toStdString());
    if (!files)
        return std::nullopt;
    // The same choice as posterImage: embeddedPictures lists exactly these, in this order.
    for (std::size_t i = 0; i < files->size(); ++i) {
        platform::EmbeddedFile& file = (*files)[i];
        if (file.isPicture && !decoded(file.bytes).isNull())
            return PosterPicture{std::move(file), static_cast<int>(i) + 1};
    }
    return std::nullopt;
}

}  // namespace vellinor
