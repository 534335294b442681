#include "picturefiles.h"

#include "windowport.h"

#include <QBitmap>
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QtEndian>

#include <span>
#include <vector>

namespace zorbel {
namespace {

enum class IconKind : quint16 {
    icon = 1,
    cursor = 2,
};

[[noreturn]] void fail(const QString &resourcePath, const QString &reason)
{
    throw RuntimeError(
        QStringLiteral("Cannot load picture %1: %2").arg(resourcePath, reason).toStdString());
}

QByteArray readResource(const QString &resourcePath)
{
    QFile file(resourcePath);
    if (!file.open(QIODevice::ReadOnly))
        fail(resourcePath, file.errorString());
    return file.readAll();
}

// Little-endian fields of a file, each checked to lie inside it, so a
// truncated or corrupt file fails with a message instead of reading past
// its end.
class FieldReader {
public:
    FieldReader(const QByteArray &data, const QString &resourcePath)
        : m_bytes(reinterpret_cast<const uchar *>(data.constData()), std::size_t(data.size()))
        , m_resourcePath(resourcePath)
    {
    }

    template<typename T>
    T at(qint64 offset) const
    {
        if (offset < 0 || offset > qint64(m_bytes.size()) - qint64(sizeof(T)))
            fail(m_resourcePath, QStringLiteral("the file is truncated"));
        return qFromLittleEndian<T>(m_bytes.data() + offset);
    }

private:
    std::span<const uchar> m_bytes;
    const QString &m_resourcePath;
};

struct IconImage {
    QImage image;
    QPoint hotSpot;
};

// An icon or cursor file is a directory of images, of which the first is
// used. Each is a bottom-up DIB whose header height counts its colour rows
// and, after them, the rows of a 1-bpp AND mask in which a set bit makes the
// pixel transparent. A set bit over a non-black colour would invert the
// screen; no picture here uses that, and it is read as transparent too.
IconImage decodeIconFile(const QByteArray &data, IconKind kind, const QString &resourcePath)
{
    const FieldReader in(data, resourcePath);
    if (in.at<quint16>(0) != 0 || in.at<quint16>(2) != quint16(kind) || in.at<quint16>(4) == 0) {
        fail(resourcePath,
            kind == IconKind::cursor ? QStringLiteral("not a cursor file") : QStringLiteral("not an icon file"));
    }

    // In a cursor's directory entry the icon's planes and depth fields hold the hot spot.
    constexpr qint64 entry = 6;
    const QPoint hotSpot(in.at<quint16>(entry + 4), in.at<quint16>(entry + 6));
    const qint64 dib = in.at<quint32>(entry + 12);

    const quint32 headerSize = in.at<quint32>(dib);
    const qint32 width = in.at<qint32>(dib + 4);
    const qint32 stackedHeight = in.at<qint32>(dib + 8);
    const quint16 depth = in.at<quint16>(dib + 14);
    const quint32 compression = in.at<quint32>(dib + 16);
    const quint32 coloursUsed = in.at<quint32>(dib + 32);
    if (headerSize < 40 || width <= 0 || width > 256 || stackedHeight <= 0 || stackedHeight > 512
        || stackedHeight % 2 != 0 || compression != 0) {
        fail(resourcePath, QStringLiteral("unsupported image header"));
    }
    if (depth != 1 && depth != 4 && depth != 8 && depth != 24)
        fail(resourcePath, QStringLiteral("unsupported depth of %1 bits").arg(depth));
    const int height = stackedHeight / 2;

    const bool indexed = depth <= 8;
    const qint64 paletteSize = indexed ? (coloursUsed != 0 ? qint64(coloursUsed) : qint64(1) << depth) : 0;
    if (paletteSize > (qint64(1) << depth))
        fail(resourcePath, QStringLiteral("palette of %1 colours for %2 bits").arg(paletteSize).arg(depth));
    const qint64 palette = dib + headerSize;
    const qint64 colourRows = palette + 4 * paletteSize;
    const qint64 colourStride = (qint64(width) * depth + 31) / 32 * 4;
    const qint64 maskRows = colourRows + colourStride * height;
    const qint64 maskStride = (qint64(width) + 31) / 32 * 4;

    auto bgr = [&in](qint64 offset) {
        return qRgb(in.at<quint8>(offset + 2), in.at<quint8>(offset + 1), in.at<quint8>(offset));
    };

    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        const qint64 row = colourRows + colourStride * (height - 1 - y);
        const qint64 maskRow = maskRows + maskStride * (height - 1 - y);
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if ((in.at<quint8>(maskRow + x / 8) >> (7 - x % 8)) & 1) {
                line[x] = qRgba(0, 0, 0, 0);
            } else if (indexed) {
                const qint64 bit = qint64(x) * depth;
                const int index = (in.at<quint8>(row + bit / 8) >> (8 - depth - bit % 8)) & ((1 << depth) - 1);
                if (index >= paletteSize)
                    fail(resourcePath, QStringLiteral("colour %1 is outside the palette").arg(index));
                line[x] = bgr(palette + 4 * index);
            } else {
                line[x] = bgr(row + 3 * qint64(x));
            }
        }
    }
    return { image, hotSpot };
}

QImage decodePicture(const QString &resourcePath)
{
    const QByteArray data = readResource(resourcePath);
    if (resourcePath.endsWith(QLatin1String(".ico"), Qt::CaseInsensitive))
        return decodeIconFile(data, IconKind::icon, resourcePath).image;
    if (resourcePath.endsWith(QLatin1String(".cur"), Qt::CaseInsensitive))
        return decodeIconFile(data, IconKind::cursor, resourcePath).image;

    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QImage image = reader.read();
    if (image.isNull())
        fail(resourcePath, reader.errorString());
    return image;
}

} // namespace

QPixmap loadPicture(const QString &resourcePath)
{
    return QPixmap::fromImage(decodePicture(resourcePath));
}

QIcon loadIcon(const QString &resourcePath)
{
    return QIcon(loadPicture(resourcePath));
}

QCursor loadCursor(const QString &resourcePath)
{
    const IconImage cursor = decodeIconFile(readResource(resourcePath), IconKind::cursor, resourcePath);
    const QImage &image = cursor.image;
    if (!image.rect().contains(cursor.hotSpot))
        fail(resourcePath, QStringLiteral("the hot spot lies outside the cursor"));

    // QCursor's convention: where the mask bit is 1 the pixel shows, black
    // for a bitmap bit of 1 and white for 0; where the mask bit is 0 the
    // pixel is transparent.
    const int stride = (image.width() + 7) / 8;
    std::vector<uchar> bitmapBits(std::size_t(stride) * image.height());
    std::vector<uchar> maskBits(bitmapBits.size());
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) == 0)
                continue;
            const std::size_t byte = std::size_t(y) * stride + x / 8;
            const uchar bit = uchar(0x80 >> (x % 8));
            maskBits[byte] |= bit;
            if (qGray(pixel) < 128)
                bitmapBits[byte] |= bit;
        }
    }
    return QCursor(QBitmap::fromData(image.size(), bitmapBits.data(), QImage::Format_Mono),
        QBitmap::fromData(image.size(), maskBits.data(), QImage::Format_Mono),
        cursor.hotSpot.x(), cursor.hotSpot.y());
}

} // namespace zorbel
