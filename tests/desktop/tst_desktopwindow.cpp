#include "form1.h"
#include "picturefiles.h"

#include <QAccessible>
#include <QTest>

#include <optional>

using namespace zorbel;

namespace {

struct SilentCues final : sound::Cues {
    void PlaySoundResource(std::int16_t) override { }
};

// Device pixels only, for comparing a grab with a file.
QImage devicePixels(const QImage &image)
{
    QImage pixels = image.convertToFormat(QImage::Format_RGB32);
    pixels.setDevicePixelRatio(1);
    return pixels;
}

// Where every fully opaque pixel of the art appears unchanged in the picture,
// searched within area; the half-covered rim is left out, as it is blended
// with whatever lies beneath. Art scaled up from a smaller drawing never
// matches.
std::optional<QPoint> findArt(const QImage &picture, const QImage &art, QRect area)
{
    const QImage argb = art.convertToFormat(QImage::Format_ARGB32);
    for (int top = area.top(); top + art.height() <= area.bottom() + 1; ++top) {
        for (int left = area.left(); left + art.width() <= area.right() + 1; ++left) {
            bool matches = true;
            for (int y = 0; matches && y < art.height(); ++y) {
                for (int x = 0; matches && x < art.width(); ++x) {
                    const QRgb pixel = argb.pixel(x, y);
                    matches = qAlpha(pixel) < 255 || picture.pixel(left + x, top + y) == pixel;
                }
            }
            if (matches)
                return QPoint(left, top);
        }
    }
    return std::nullopt;
}

QString accessibleText(QObject *object, QAccessible::Text text)
{
    QAccessibleInterface *interface = QAccessible::queryAccessibleInterface(object);
    return interface ? interface->text(text) : QString();
}

} // namespace

// Run once on a plain screen and once with QT_SCALE_FACTOR=2.
class TestDesktopWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void layoutIsTheSameInLogicalPixels();
    void ballAndButtonAreDrawnFromArtOfTheScreensDensity();
    void elementsHaveItalianNamesAndDescriptions();
    void windowKeepsItsNameWhileTheTitleCounts();

private:
    qreal ratio() const { return m_form->devicePixelRatioF(); }

    SilentCues m_cues;
    Form1 *m_form = nullptr;
};

void TestDesktopWindow::init()
{
    m_form = new Form1(m_cues, [] { });
    m_form->Form_Load();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
}

void TestDesktopWindow::cleanup()
{
    delete m_form;
}

void TestDesktopWindow::layoutIsTheSameInLogicalPixels()
{
    QCOMPARE(ratio(), qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble());
    QCOMPARE(m_form->size(), QSize(608, 428));
    QCOMPARE(m_form->closeButton().geometry(), QRect(563, 383, 35, 35));
    QCOMPARE(m_form->ball().size(), QSize(80, 74));
    QCOMPARE(m_form->ball().x(), 399);
}

void TestDesktopWindow::ballAndButtonAreDrawnFromArtOfTheScreensDensity()
{
    const bool dense = ratio() > 1;
    const QImage grab = m_form->grab().toImage();
    QCOMPARE(grab.size(), QSize(608, 428) * ratio());
    const auto toDevice = [this](QRect logical) {
        return QRect(logical.topLeft() * ratio(), logical.size() * ratio());
    };

    const QImage ballArt = loadPicture(dense ? QStringLiteral(":/pictures/ball@2x.png")
                                             : QStringLiteral(":/pictures/ball.bmp"))
                               .toImage();
    QCOMPARE(devicePixels(grab.copy(toDevice(m_form->ball().geometry()))), devicePixels(ballArt));

    const QImage closeArt = loadPicture(dense ? QStringLiteral(":/pictures/close@2x.png")
                                              : QStringLiteral(":/pictures/close.ico"))
                                .toImage();
    QVERIFY(findArt(grab, closeArt, toDevice(m_form->closeButton().geometry())));

    // The double-size art is read only where a screen needs it.
    QCOMPARE(m_form->closeButton().icon().availableSizes().contains(QSize(64, 64)), dense);
}

void TestDesktopWindow::elementsHaveItalianNamesAndDescriptions()
{
    QCOMPARE(accessibleText(m_form, QAccessible::Name), QStringLiteral("Zorbel"));
    QCOMPARE(accessibleText(&m_form->ball(), QAccessible::Name), QStringLiteral("Pallone"));
    QCOMPARE(accessibleText(&m_form->ball(), QAccessible::Description),
        QStringLiteral("Prendilo con il tasto sinistro, portalo in alto e lascialo cadere"));
    QCOMPARE(accessibleText(&m_form->closeButton(), QAccessible::Name), QStringLiteral("Chiudi"));
    QCOMPARE(accessibleText(&m_form->closeButton(), QAccessible::Description), QStringLiteral("Chiude il programma"));

    // A screen reader finds both by walking down from the window.
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(m_form);
    QStringList children;
    for (int i = 0; i < window->childCount(); ++i)
        children << window->child(i)->text(QAccessible::Name);
    QVERIFY2(children.contains(QStringLiteral("Pallone")) && children.contains(QStringLiteral("Chiudi")),
        qPrintable(children.join(QStringLiteral(", "))));
}

void TestDesktopWindow::windowKeepsItsNameWhileTheTitleCounts()
{
    QTRY_COMPARE_WITH_TIMEOUT(m_form->windowTitle(), QStringLiteral("1"), 5000);
    QCOMPARE(accessibleText(m_form, QAccessible::Name), QStringLiteral("Zorbel"));
}

QTEST_MAIN(TestDesktopWindow)
#include "tst_desktopwindow.moc"
