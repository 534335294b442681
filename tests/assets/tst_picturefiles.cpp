#include "design.h"
#include "picturefiles.h"

#include <QBitmap>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <stdexcept>

using namespace zorbel;

static const QString assets = QStringLiteral(ZORBEL_ASSETS_DIR "/");

class TestPictureFiles : public QObject {
    Q_OBJECT

private slots:
    void picturesAreADiscOnTheirBackground_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("onBlack"); // the window's black rather than see-through

        QTest::newRow("ball") << ":/pictures/ball.bmp" << QSize(80, 74) << true;
        QTest::newRow("ball 2x") << ":/pictures/ball@2x.png" << QSize(160, 148) << true;
        QTest::newRow("ball icon") << ":/pictures/ball.ico" << QSize(32, 32) << false;
        QTest::newRow("close icon") << ":/pictures/close.ico" << QSize(32, 32) << false;
        QTest::newRow("close 2x") << ":/pictures/close@2x.png" << QSize(64, 64) << false;
        for (int n : { 16, 32, 48, 64, 128, 192, 256, 512 })
            QTest::addRow("icon %d", n) << assets + QStringLiteral("icons/zorbel-%1.png").arg(n) << QSize(n, n) << false;
    }

    void picturesAreADiscOnTheirBackground()
    {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        QFETCH(bool, onBlack);

        const QImage image = loadPicture(path).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), size);
        QCOMPARE(loadIcon(path).availableSizes().value(0), size);
        // Pixels more than a little inside the ball's outline show, those outside it do not.
        const double radius = size.height() / 2.0;
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const double off = std::hypot(x + 0.5 - size.width() / 2.0, y + 0.5 - radius) - radius;
                const QRgb pixel = image.pixel(x, y);
                const bool shows = onBlack ? (pixel & 0xFFFFFF) != 0 : qAlpha(pixel) == 255;
                if ((onBlack && qAlpha(pixel) != 255) || ((off > 0.75 || off < -1.5) && shows != (off < 0)))
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2 is %3").arg(x).arg(y).arg(pixel, 8, 16)));
            }
        }
    }

    void artKeepsItsLightAndColoursOnEveryPlatform()
    {
        const QImage ball = loadPicture(":/pictures/ball.bmp").toImage(), close = loadPicture(":/pictures/close.ico").toImage();
        QVERIFY2(qGray(ball.pixel(26, 24)) > qGray(ball.pixel(56, 52)) + 33, "lit from the upper left");
        QVERIFY2(qRed(close.pixel(16, 4)) > 150 && qGreen(close.pixel(16, 4)) < 80 && qGray(close.pixel(16, 16)) > 230,
            "a white X on red");
        // Windows shows the double-size ball from a BMP, the other platforms from the PNG.
        const auto argb = [](const QString &path) { return loadPicture(path).toImage().convertToFormat(QImage::Format_ARGB32); };
        QCOMPARE(argb(assets + "win32/ball@2x.bmp"), argb(":/pictures/ball@2x.png"));
    }

    void cursorShowsTheHandWithItsHotSpotAtTheFingertip()
    {
        const QCursor cursor = loadCursor(QStringLiteral(":/pictures/hand.cur"));
        const QPoint tip(design::handHotSpot.x, design::handHotSpot.y);
        QCOMPARE(cursor.hotSpot(), tip);
        const QImage bitmap = cursor.bitmap().toImage(), mask = cursor.mask().toImage();
        QCOMPARE(bitmap.size(), QSize(32, 32));
        QCOMPARE(loadPicture(":/pictures/hand.cur").size(), bitmap.size());
        // QCursor: mask set and bitmap set is black, mask set alone is white.
        const auto shows = [&](QPoint p) { return mask.pixelColor(p) == QColor(Qt::black); };
        const auto isBlack = [&](QPoint p) { return shows(p) && bitmap.pixelColor(p) == QColor(Qt::black); };
        QVERIFY(isBlack(tip));
        QVERIFY(shows(tip + QPoint(0, 2)) && !isBlack(tip + QPoint(0, 2)));
        QVERIFY(!shows(QPoint(0, 0)) && !shows(QPoint(31, 31)));
    }

    void unusablePicturesThrowNamingTheResource_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("loader");
        QTest::addColumn<QString>("cutFrom"); // a file to write truncated to path first

        QTest::newRow("missing picture") << ":/pictures/none.bmp" << "picture" << "";
        QTest::newRow("missing cursor") << ":/pictures/none.cur" << "cursor" << "";
        QTest::newRow("sound as picture") << ":/CUSTOM/102" << "picture" << "";
        QTest::newRow("icon as cursor") << ":/pictures/close.ico" << "cursor" << "";
        QTest::newRow("bitmap as cursor") << ":/pictures/ball.bmp" << "cursor" << "";
        QTest::newRow("truncated cursor") << "truncated.cur" << "cursor" << ":/pictures/hand.cur";
        QTest::newRow("truncated icon") << "truncated.ico" << "icon" << ":/pictures/ball.ico";
    }

    void unusablePicturesThrowNamingTheResource()
    {
        QFETCH(QString, path);
        QFETCH(QString, loader);
        QFETCH(QString, cutFrom);

        QTemporaryDir dir;
        if (!cutFrom.isEmpty()) {
            QFile whole(cutFrom), cut(path = dir.filePath(path));
            QVERIFY(whole.open(QIODevice::ReadOnly) && cut.open(QIODevice::WriteOnly));
            cut.write(whole.read(whole.size() - 100)); // cut off inside the colour rows, well past the headers
        }
        try {
            loader == "picture" ? void(loadPicture(path)) : loader == "icon" ? void(loadIcon(path)) : void(loadCursor(path));
            QFAIL("no exception");
        } catch (const std::runtime_error &error) {
            QVERIFY2(QString::fromUtf8(error.what()).contains(path), error.what());
        }
    }
};

QTEST_MAIN(TestPictureFiles)
#include "tst_picturefiles.moc"
