#include "app/poster_image.h"

#include <string>
#include <vector>

#include <QFile>

#include "platform/bundle.h"
#include "platform/embedded_artwork.h"

namespace vellinor {

QImage posterImage(const QString& path)
{
    const std::vector<std::string> pictures =
        platform::embeddedPictures(QFile::encodeName(path).toStdString());
    for (const std::string& bytes : pictures) {
        QImage image;
        if (image.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                               static_cast<int>(bytes.size())))
            return image;
    }
    if (const auto placeholder = platform::resourcePath("pnf.jpg"))
        return QImage(QFile::decodeName(placeholder->c_str()));
    return {};
}

}  // namespace vellinor
