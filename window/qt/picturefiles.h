#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <QString>

// Loaders for the embedded pictures. A picture that is missing or cannot be
// decoded means a broken build, so each loader throws zorbel::RuntimeError
// naming the resource instead of handing back an empty picture.
//
// Icon (.ico) and cursor (.cur) files are decoded here rather than by Qt's
// ICO plugin: the plugin drops the transparency mask of 24-bit icons and
// does not report a cursor's hot spot.
namespace zorbel {

QPixmap loadPicture(const QString &resourcePath);

QIcon loadIcon(const QString &resourcePath);

// An icon of the plain art that switches to the double-size art where a
// screen has more than one device pixel per logical pixel. The double-size
// file is read the first time such a screen asks for it, so a plain screen
// never pays for it and a window moved onto a denser screen picks it up at
// its next paint. Being read during a paint, a failure there ends the
// program through fatalError instead of throwing.
QIcon loadIcon(const QString &resourcePath, const QString &resourcePath2x);
QIcon iconWithDoubleSizeArt(const QPixmap &picture, const QString &resourcePath2x);

// A monochrome cursor with its hot spot from the file.
QCursor loadCursor(const QString &resourcePath);

} // namespace zorbel
