#include "form1.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

using namespace zorbel;

namespace {

struct RecordedCues final : sound::Cues {
    std::vector<std::int16_t> played;
    void PlaySoundResource(std::int16_t id) override { played.push_back(id); }
};

constexpr int settleTimeoutMs = 10000;

} // namespace

class TestForm1 : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsWithTheDesignLayout();
    void startupDropSettlesWithTitleTen();
    void closeButtonEndsTheProgram_data();
    void closeButtonEndsTheProgram();
    void pressHidesTheLabelAndTakesTheBall();
    void secondPressOfADoubleClickTakesTheBall();
    void dragKeepsTheGrabPointUnderThePointer();
    void stillHoldAndReleaseCountsTheNewDropFromOne();
    void releaseKeptFromTheBallIsDeliveredOnce_data();
    void releaseKeptFromTheBallIsDeliveredOnce();
    void windowIconComesFromTheInstalledTheme_data();
    void windowIconComesFromTheInstalledTheme();

private:
    // While the ball is held, the pointer's moves go to it wherever the
    // pointer is, in its own coordinates.
    void moveTo(QPoint pointerInWindow) { QTest::mouseMove(&m_form->ball(), pointerInWindow - m_form->ball().pos()); }

    RecordedCues *m_cues = nullptr;
    Form1 *m_form = nullptr;
    int m_ends = 0;
};

void TestForm1::init()
{
    m_ends = 0;
    m_cues = new RecordedCues;
    m_form = new Form1(*m_cues, [this] { ++m_ends; });
    m_form->Form_Load();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
}

void TestForm1::cleanup()
{
    delete m_form;
    delete m_cues;
}

void TestForm1::startsWithTheDesignLayout()
{
    QCOMPARE(m_form->size(), QSize(608, 428));
    QCOMPARE(m_form->closeButton().geometry(), QRect(563, 383, 35, 35));
    QVERIFY(m_form->closeButton().isVisible());
    QCOMPARE(m_form->windowTitle(), QString());
    QVERIFY(m_form->label().isVisible());
    QCOMPARE(m_form->ball().geometry(), QRect(399, 85, 80, 74));
    QCOMPARE(m_form->label().geometry(), QRect(2, 0, 572, 16));
    QVERIFY(m_form->label().fontMetrics().horizontalAdvance(m_form->label().text()) <= 572);
    QCOMPARE(m_form->label().focusPolicy(), Qt::NoFocus);
    QList<QWidget *> tabOrder;
    for (QWidget *w = m_form->nextInFocusChain(); w != m_form; w = w->nextInFocusChain()) {
        if (w->focusPolicy() & Qt::TabFocus)
            tabOrder.append(w);
    }
    QCOMPARE(tabOrder, (QList<QWidget *> { &m_form->ball(), &m_form->closeButton() }));
    QCOMPARE(m_cues->played, std::vector<std::int16_t> { sound::releaseSound });
}

void TestForm1::startupDropSettlesWithTitleTen()
{
    QTRY_VERIFY_WITH_TIMEOUT(!m_form->isAnimating(), settleTimeoutMs);
    QCOMPARE(m_form->windowTitle(), QStringLiteral("10"));
    QCOMPARE(m_form->ball().geometry(), QRect(399, 354, 80, 74));
    QCOMPARE(m_cues->played.size(), 11u);

    // A new size puts the settled ball on the new floor at once, in silence;
    // only the load places the button, against the size the window had then.
    for (QSize size : { QSize(608, 300), QSize(900, 700) }) {
        m_form->resize(size);
        QTRY_COMPARE(m_form->size(), size);
        QCOMPARE(m_form->ball().geometry(), QRect(399, size.height() - 74, 80, 74));
        QCOMPARE(m_form->closeButton().geometry(), QRect(563, 383, 35, 35));
    }
    QVERIFY(!m_form->isAnimating());
    QCOMPARE(m_cues->played.size(), 11u);
    QCOMPARE(m_form->windowTitle(), QStringLiteral("10"));
}

void TestForm1::closeButtonEndsTheProgram_data()
{
    QTest::addColumn<int>("key"); // 0: the mouse
    QTest::newRow("mouse") << 0;
    QTest::newRow("space with focus") << int(Qt::Key_Space);
    QTest::newRow("enter with focus") << int(Qt::Key_Return);
    QTest::newRow("keypad enter with focus") << int(Qt::Key_Enter);
}

void TestForm1::closeButtonEndsTheProgram()
{
    QFETCH(int, key);
    if (key) {
        m_form->activateWindow();
        m_form->closeButton().setFocus();
        QTest::keyClick(&m_form->closeButton(), Qt::Key(key));
    } else {
        QTest::mouseClick(&m_form->closeButton(), Qt::LeftButton);
    }
    QCOMPARE(m_ends, 1);
}

void TestForm1::pressHidesTheLabelAndTakesTheBall()
{
    // The back and forward buttons are not the program's.
    for (Qt::MouseButton extra : { Qt::BackButton, Qt::ForwardButton, Qt::ExtraButton3 }) {
        QTest::mousePress(&m_form->ball(), extra, {}, QPoint(40, 37));
        QTest::mouseRelease(&m_form->ball(), extra, {}, QPoint(40, 37));
    }
    QVERIFY(m_form->label().isVisible());
    QVERIFY(m_form->isAnimating());
    QCOMPARE(m_cues->played.size(), 1u);

    QTest::mousePress(&m_form->ball(), Qt::RightButton, {}, QPoint(40, 37));
    QVERIFY(!m_form->label().isVisible());
    QVERIFY(m_form->isAnimating());
    QTest::mouseRelease(&m_form->ball(), Qt::RightButton, {}, QPoint(40, 37));

    QTest::mousePress(&m_form->ball(), Qt::LeftButton, {}, QPoint(40, 37));
    QVERIFY(!m_form->isAnimating());
    QVERIFY(m_form->isSampling());
    QTest::mouseRelease(&m_form->ball(), Qt::LeftButton, {}, QPoint(40, 37));
    QVERIFY(m_form->isAnimating());
    QVERIFY(!m_form->isSampling());
    QVERIFY(!m_form->label().isVisible());
}

void TestForm1::secondPressOfADoubleClickTakesTheBall()
{
    const QPoint grab(40, 37);
    QTest::mouseClick(&m_form->ball(), Qt::LeftButton, {}, grab);
    QVERIFY(m_form->isAnimating());
    QTest::mouseDClick(&m_form->ball(), Qt::LeftButton, {}, grab);
    QVERIFY(!m_form->isAnimating());
    QVERIFY(m_form->isSampling());
    QTest::mouseRelease(&m_form->ball(), Qt::LeftButton, {}, grab);
    QVERIFY(m_form->isAnimating());
}

void TestForm1::dragKeepsTheGrabPointUnderThePointer()
{
    const QPoint grab(25, 50);
    const QPoint start = m_form->ball().pos() + grab;
    QTest::mousePress(&m_form->ball(), Qt::LeftButton, {}, grab);
    for (const QPoint pointer : { QPoint(100, 200), QPoint(300, 20), QPoint(700, 300), QPoint(-50, -40) }) {
        moveTo(pointer);
        QCOMPARE(m_form->ball().pos() + grab, pointer);
    }
    QTest::mouseRelease(&m_form->ball(), Qt::LeftButton, {}, grab);
    QVERIFY(m_form->isAnimating());
    QVERIFY(start != m_form->ball().pos() + grab);
}

void TestForm1::stillHoldAndReleaseCountsTheNewDropFromOne()
{
    QTRY_VERIFY_WITH_TIMEOUT(!m_form->isAnimating(), settleTimeoutMs);
    QCOMPARE(m_form->windowTitle(), QStringLiteral("10"));

    const QPoint grab(40, 37);
    QTest::mousePress(&m_form->ball(), Qt::LeftButton, {}, grab);
    moveTo(m_form->ball().pos() + grab - QPoint(0, 200));
    QTest::qWait(50); // a few sampler ticks: the hand is still
    QTest::mouseRelease(&m_form->ball(), Qt::LeftButton, {}, grab);
    QCOMPARE(m_form->ballLogic().state().speedY, 0);

    QTRY_COMPARE_WITH_TIMEOUT(m_form->windowTitle(), QStringLiteral("1"), settleTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(!m_form->isAnimating(), settleTimeoutMs);
    QCOMPARE(m_form->ball().y(), 354);
}

void TestForm1::releaseKeptFromTheBallIsDeliveredOnce_data()
{
    QTest::addColumn<QString>("loss");
    QTest::newRow("another window activated") << QStringLiteral("activated");
    QTest::newRow("window minimised") << QStringLiteral("minimised");
    QTest::newRow("window hidden") << QStringLiteral("hidden");
}

// Where the window system keeps the release from the ball, the ball gets it
// when the loss is known; the rest of that press is ignored.
void TestForm1::releaseKeptFromTheBallIsDeliveredOnce()
{
    QFETCH(QString, loss);
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    const QPoint grab(40, 37);
    QTest::mousePress(&m_form->ball(), Qt::LeftButton, {}, grab);
    moveTo(m_form->ball().pos() + grab - QPoint(0, 100));
    QVERIFY(m_form->isSampling());
    const std::size_t cues = m_cues->played.size();

    QWidget other;
    if (loss == QLatin1String("activated")) {
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
    } else if (loss == QLatin1String("minimised")) {
        m_form->showMinimized();
    } else {
        m_form->hide();
    }
    QTRY_VERIFY(!m_form->isSampling());
    QVERIFY(m_form->isAnimating());
    QCOMPARE(m_cues->played.size(), cues + 1);
    QCOMPARE(m_cues->played.back(), sound::releaseSound);

    m_form->showNormal();
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    moveTo(QPoint(300, 50));
    QVERIFY(!m_form->isSampling());
    QTest::mouseRelease(&m_form->ball(), Qt::LeftButton, {}, grab);
    QCOMPARE(m_cues->played.size(), cues + 1);
}

void TestForm1::windowIconComesFromTheInstalledTheme_data()
{
    QTest::addColumn<QList<int>>("installedSizes");
    QTest::addColumn<QList<QSize>>("windowIconSizes");
    QTest::newRow("installed") << QList<int> { 16, 256 } << QList<QSize> { { 16, 16 }, { 256, 256 } };
    QTest::newRow("not installed") << QList<int> {} << QList<QSize> { { 32, 32 } };
}

void TestForm1::windowIconComesFromTheInstalledTheme()
{
    QFETCH(QList<int>, installedSizes);
    QFETCH(QList<QSize>, windowIconSizes);
    QTemporaryDir icons;
    QVERIFY(icons.isValid());
    QDir theme(icons.path());
    QVERIFY(theme.mkpath(QStringLiteral("hicolor")) && theme.cd(QStringLiteral("hicolor")));
    QStringList directories;
    QString sections;
    for (const int size : installedSizes) {
        const QString directory = QStringLiteral("%1x%1/apps").arg(size);
        directories << directory;
        sections += QStringLiteral("[%1]\nSize=%2\nType=Fixed\n").arg(directory).arg(size);
        QVERIFY(theme.mkpath(directory));
        QImage picture(size, size, QImage::Format_ARGB32);
        picture.fill(Qt::red);
        QVERIFY(picture.save(theme.filePath(directory + QStringLiteral("/org.zorbel.Zorbel.png"))));
    }
    QFile index(theme.filePath(QStringLiteral("index.theme")));
    QVERIFY(index.open(QIODevice::WriteOnly));
    index.write(QStringLiteral("[Icon Theme]\nName=hicolor\nDirectories=%1\n%2").arg(directories.join(u','), sections).toUtf8());
    index.close();
    QIcon::setThemeSearchPaths({ icons.path() });
    QIcon::setThemeName(QStringLiteral("hicolor"));

    const Form1 form(*m_cues, [] { });
    QList<QSize> sizes = form.windowIcon().availableSizes();
    std::sort(sizes.begin(), sizes.end(), [](QSize a, QSize b) { return a.width() < b.width(); });
    QCOMPARE(sizes, windowIconSizes);
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
