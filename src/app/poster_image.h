#pragma once

#include <QImage>
#include <QString>

namespace vellinor {

// The poster of the media file at `path`: its first embedded cover picture that decodes (a
// damaged one is passed over), else the placeholder resource "pnf.jpg". A null image when
// neither is to be had.
QImage posterImage(const QString& path);

}  // namespace vellinor
