#include "form1.h"
#include "picturefiles.h"

#include <QAccessible>
#include <QTest>

using namespace zorbel;

namespace {

struct SilentCues final : sound::Cues {
    void PlaySoundResource(std::int16_t) override { }
};

// Whether every fully opaque pixel of the art appears unchanged somewhere in
// area of the picture; the half-covered rim is blended with what lies beneath.
// Art scaled up from a smaller drawing never matches.
bool containsArt(const QImage &picture, const QImage &art, QRect area)
{
    const QImage argb = art.convertToFormat(QImage::Format_ARGB32);
    const auto matchesAt = [&](int left, int top) {
        for (int y = 0; y < art.height(); ++y)
            for (int x = 0; x < art.width(); ++x)
                if (qAlpha(argb.pixel(x, y)) == 255 && picture.pixel(left + x, top + y) != argb.pixel(x, y))
                    return false;
        return true;
    };
    for (int top = area.top(); top + art.height() <= area.bottom() + 1; ++top)
        for (int left = area.left(); left + art.width() <= area.right() + 1; ++left)
            if (matchesAt(left, top))
                return true;
    return false;
}

} // namespace

// Run once on a plain screen and once with QT_SCALE_FACTOR=2.
class TestDesktopWindow : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_form = new Form1(m_cues, [] { });
        m_form->Form_Load();
        QVERIFY(QTest::qWaitForWindowExposed(m_form));
    }
    void cleanup() { delete m_form; }

    // The same layout in logical pixels, drawn from art of the screen's density.
    void ballAndButtonAreDrawnFromArtOfTheScreensDensity()
    {
        QCOMPARE(ratio(), qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble());
        QCOMPARE(m_form->closeButton().geometry(), QRect(563, 383, 35, 35));
        QCOMPARE(m_form->ball().geometry(), QRect(399, m_form->ball().y(), 80, 74));
        const bool dense = ratio() > 1;
        const QImage grab = m_form->grab().toImage();
        QCOMPARE(grab.size(), QSize(608, 428) * ratio());
        const auto device = [this](QRect logical) { return QRect(logical.topLeft() * ratio(), logical.size() * ratio()); };
        const auto art = [dense](const char *plain, const char *twice) {
            return loadPicture(QString::fromLatin1(dense ? twice : plain)).toImage();
        };
        // Device pixels only: the ratios of a grab and a file differ.
        const auto pixels = [](QImage image) {
            image.setDevicePixelRatio(1);
            return image.convertToFormat(QImage::Format_RGB32);
        };
        QCOMPARE(pixels(grab.copy(device(m_form->ball().geometry()))), pixels(art(":/pictures/ball.bmp", ":/pictures/ball@2x.png")));
        QVERIFY(containsArt(grab, art(":/pictures/close.ico", ":/pictures/close@2x.png"),
            device(m_form->closeButton().geometry())));
        // The double-size art is read only where a screen needs it.
        QCOMPARE(m_form->closeButton().icon().availableSizes().contains(QSize(64, 64)), dense);
    }

    // Names and descriptions in Italian, the window's name kept while its
    // title counts, and both elements found walking down from the window, as
    // a screen reader does.
    void elementsHaveItalianNamesAndDescriptions()
    {
        const struct {
            QObject *object;
            QAccessible::Text text;
            const char *expected;
        } rows[] = {
            { m_form, QAccessible::Name, "Zorbel" },
            { &m_form->ball(), QAccessible::Name, "Pallone" },
            { &m_form->ball(), QAccessible::Description, "Prendilo con il tasto sinistro, portalo in alto e lascialo cadere" },
            { &m_form->closeButton(), QAccessible::Name, "Chiudi" },
            { &m_form->closeButton(), QAccessible::Description, "Chiude il programma" },
        };
        QTRY_COMPARE_WITH_TIMEOUT(m_form->windowTitle(), QStringLiteral("1"), 5000);
        for (const auto &row : rows) {
            QAccessibleInterface *element = QAccessible::queryAccessibleInterface(row.object);
            QVERIFY(element);
            QCOMPARE(element->text(row.text), QString::fromUtf8(row.expected));
        }
        QAccessibleInterface *window = QAccessible::queryAccessibleInterface(m_form);
        QStringList children;
        for (int i = 0; i < window->childCount(); ++i)
            children << window->child(i)->text(QAccessible::Name);
        QVERIFY2(children.contains(QStringLiteral("Pallone")) && children.contains(QStringLiteral("Chiudi")),
            qPrintable(children.join(QStringLiteral(", "))));
    }

private:
    qreal ratio() const { return m_form->devicePixelRatioF(); }

    SilentCues m_cues;
    Form1 *m_form = nullptr;
};

QTEST_MAIN(TestDesktopWindow)
#include "tst_desktopwindow.moc"
