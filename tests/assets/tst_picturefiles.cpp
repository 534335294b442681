#include "picturefiles.h"

#include <QBitmap>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>

using namespace zorbel;

class TestPictureFiles : public QObject {
    Q_OBJECT

private slots:
    void picturesDecodeAtTheirSize_data();
    void picturesDecodeAtTheirSize();
    void cursorShowsTheHandWithItsHotSpotAtTheFingertip();
    void soundsAreEmbeddedUnderTheirCueIds();
    void unusablePicturesThrowNamingTheResource_data();
    void unusablePicturesThrowNamingTheResource();
};

void TestPictureFiles::picturesDecodeAtTheirSize_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("masked");

    QTest::newRow("ball") << ":/pictures/ball.bmp" << QSize(80, 74) << false;
    QTest::newRow("ball 2x") << ":/pictures/ball@2x.png" << QSize(160, 148) << false;
    QTest::newRow("ball icon") << ":/pictures/ball.ico" << QSize(32, 32) << true;
    QTest::newRow("close icon") << ":/pictures/close.ico" << QSize(32, 32) << true;
    QTest::newRow("close 2x") << ":/pictures/close@2x.png" << QSize(64, 64) << true;
    QTest::newRow("hand") << ":/pictures/hand.cur" << QSize(32, 32) << true;
}

void TestPictureFiles::picturesDecodeAtTheirSize()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QFETCH(bool, masked);

    const QImage image = loadPicture(path).toImage();
    QCOMPARE(image.size(), size);
    // Icons are see-through outside the drawing; the ball on the black
    // window is plain black there.
    QCOMPARE(image.pixelColor(size.width() - 1, size.height() - 1).alpha(), masked ? 0 : 255);
    if (!masked)
        QCOMPARE(image.pixelColor(0, 0), QColor(Qt::black));
    QCOMPARE(loadIcon(path).availableSizes().value(0), size);
}

void TestPictureFiles::cursorShowsTheHandWithItsHotSpotAtTheFingertip()
{
    const QCursor cursor = loadCursor(QStringLiteral(":/pictures/hand.cur"));
    QCOMPARE(cursor.hotSpot(), QPoint(5, 0));

    const QImage bitmap = cursor.bitmap().toImage();
    const QImage mask = cursor.mask().toImage();
    QCOMPARE(bitmap.size(), QSize(32, 32));
    // QCursor: mask set and bitmap set is black, mask set alone is white.
    const auto shows = [&](QPoint p) { return mask.pixelColor(p) == QColor(Qt::black); };
    const auto isBlack = [&](QPoint p) { return shows(p) && bitmap.pixelColor(p) == QColor(Qt::black); };
    QVERIFY(isBlack(QPoint(5, 0)));
    QVERIFY(shows(QPoint(5, 2)) && !isBlack(QPoint(5, 2)));
    QVERIFY(!shows(QPoint(0, 0)));
    QVERIFY(!shows(QPoint(31, 31)));
}

void TestPictureFiles::soundsAreEmbeddedUnderTheirCueIds()
{
    for (const char *path : { ":/CUSTOM/102", ":/CUSTOM/103" }) {
        QFile sound(QString::fromLatin1(path));
        QVERIFY2(sound.open(QIODevice::ReadOnly), path);
        QCOMPARE(sound.read(4), QByteArray("RIFF"));
    }
}

void TestPictureFiles::unusablePicturesThrowNamingTheResource_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("loader");

    QTest::newRow("missing picture") << ":/pictures/none.bmp" << "picture";
    QTest::newRow("missing icon") << ":/pictures/none.ico" << "icon";
    QTest::newRow("missing cursor") << ":/pictures/none.cur" << "cursor";
    QTest::newRow("sound as picture") << ":/CUSTOM/102" << "picture";
    QTest::newRow("icon as cursor") << ":/pictures/close.ico" << "cursor";
    QTest::newRow("bitmap as cursor") << ":/pictures/ball.bmp" << "cursor";
    QTest::newRow("truncated cursor") << "truncated.cur" << "cursor";
    QTest::newRow("truncated icon") << "truncated.ico" << "icon";
}

void TestPictureFiles::unusablePicturesThrowNamingTheResource()
{
    QFETCH(QString, path);
    QFETCH(QString, loader);

    QTemporaryDir dir;
    if (path.startsWith(QLatin1String("truncated"))) {
        // Cut off inside the colour rows, well past the headers.
        QFile whole(path.endsWith(QLatin1String(".cur")) ? ":/pictures/hand.cur" : ":/pictures/ball.ico");
        QVERIFY(whole.open(QIODevice::ReadOnly));
        path = dir.filePath(path);
        QFile cut(path);
        QVERIFY(cut.open(QIODevice::WriteOnly));
        cut.write(whole.read(whole.size() - 100));
    }

    try {
        if (loader == QLatin1String("picture"))
            loadPicture(path);
        else if (loader == QLatin1String("icon"))
            loadIcon(path);
        else
            loadCursor(path);
        QFAIL("no exception");
    } catch (const std::runtime_error &error) {
        QVERIFY2(QString::fromUtf8(error.what()).contains(path), error.what());
    }
}

QTEST_MAIN(TestPictureFiles)
#include "tst_picturefiles.moc"
