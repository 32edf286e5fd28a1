#pragma once

#include <optional>

#include <QImage>
#include <QString>

#include "probe/embedded_artwork.h"

namespace vellinor {

class ToolRunner;

// The poster of the media file at `path`: its first embedded cover picture that decodes (a
// damaged one is passed over), else the placeholder resource "pnf.jpg" (a null image when
// neither is to be had), with the lines saying which pictures were left out (too large, or
// more than the reader could allocate), empty when none was. The sniffer reads the file
// through `runner` (null: a one-shot run).
struct Poster {
    QImage image;
    QString problems;
};
Poster posterImage(const QString& path, ToolRunner* runner = nullptr);
// The placeholder alone, for a file known to hold no pictures.
Poster placeholderPoster();

// The embedded picture the poster of `path` shows, with its bytes as stored, and its place (from
// 1) among the file's pictures and attachments; none when the poster is the placeholder. Reads
// the file: call it off the window's thread.
struct PosterPicture {
    EmbeddedFile file;
    int number = 0;
};
std::optional<PosterPicture> posterPicture(const QString& path, ToolRunner* runner = nullptr);

}  // namespace vellinor
