#pragma once

#include <optional>

#include <QImage>
#include <QString>

#include "platform/embedded_artwork.h"

namespace vellinor {

// The poster of the media file at `path`: its first embedded cover picture that decodes (a
// damaged one is passed over), else the placeholder resource "pnf.jpg". A null image when
// neither is to be had.
QImage posterImage(const QString& path);

// The embedded picture the poster of `path` shows, with its bytes as stored, and its place (from
// 1) among the file's pictures and attachments; none when the poster is the placeholder. Reads
// the file: call it off the window's thread.
struct PosterPicture {
    platform::EmbeddedFile file;
    int number = 0;
};
std::optional<PosterPicture> posterPicture(const QString& path);

}  // namespace vellinor
