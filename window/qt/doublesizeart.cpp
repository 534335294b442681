#include "picturefiles.h"

#include "windowport.h"

#include <QIconEngine>
#include <QPainter>

namespace zorbel {
namespace {

// Starts with the plain art only; the double-size art joins it at the first
// request for more pixels than the plain art has.
class DoubleSizeArtEngine final : public QIconEngine {
public:
    DoubleSizeArtEngine(const QPixmap &picture, const QString &resourcePath2x)
        : m_resourcePath2x(resourcePath2x)
        , m_plainSize(picture.size())
    {
        m_icon.addPixmap(picture);
    }

    QIconEngine *clone() const override { return new DoubleSizeArtEngine(*this); }
    bool isNull() override { return false; }

    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return m_icon.availableSizes(mode, state);
    }

    // Asked in device pixels: a request larger than the plain art comes from
    // a screen denser than one device pixel per logical pixel.
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        if (!m_hasDoubleSize && (size.width() > m_plainSize.width() || size.height() > m_plainSize.height())) {
            runHandler([this] {
                m_icon.addPixmap(loadPicture(m_resourcePath2x));
                m_hasDoubleSize = true;
            });
        }
        // The inner icon does the picking and the disabled and active looks;
        // the explicit ratio of 1 keeps it from scaling the request again.
        return m_icon.pixmap(size, 1.0, mode, state);
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const QSize devicePixels = (QSizeF(rect.size()) * painter->device()->devicePixelRatio()).toSize();
        painter->drawPixmap(rect, pixmap(devicePixels, mode, state));
    }

private:
    QIcon m_icon;
    QString m_resourcePath2x;
    QSize m_plainSize;
    bool m_hasDoubleSize = false;
};

} // namespace

QIcon loadIcon(const QString &resourcePath, const QString &resourcePath2x)
{
    return iconWithDoubleSizeArt(loadPicture(resourcePath), resourcePath2x);
}

QIcon iconWithDoubleSizeArt(const QPixmap &picture, const QString &resourcePath2x)
{
    return QIcon(new DoubleSizeArtEngine(picture, resourcePath2x));
}

} // namespace zorbel
