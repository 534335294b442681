#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <QString>

// Loaders for the embedded pictures. A picture that is missing or cannot be
// decoded means a broken build, so each loader throws std::runtime_error
// naming the resource instead of handing back an empty picture.
//
// Icon (.ico) and cursor (.cur) files are decoded here rather than by Qt's
// ICO plugin: the plugin drops the transparency mask of 24-bit icons and
// does not report a cursor's hot spot.
namespace zorbel {

QPixmap loadPicture(const QString &resourcePath);

// The drawing for a screen with the given device pixel ratio: above 1 the
// double-size art, marked as 2 device pixels per logical pixel so it takes
// the same logical size as the plain art.
QPixmap loadPicture(const QString &resourcePath, const QString &resourcePath2x,
    qreal devicePixelRatio);

QIcon loadIcon(const QString &resourcePath);

// A monochrome cursor with its hot spot from the file.
QCursor loadCursor(const QString &resourcePath);

} // namespace zorbel
