#include "form1.h"

#include <QSignalSpy>
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
}

void TestForm1::closeButtonEndsTheProgram_data()
{
    QTest::addColumn<bool>("byKeyboard");
    QTest::newRow("mouse") << false;
    QTest::newRow("space with focus") << true;
}

void TestForm1::closeButtonEndsTheProgram()
{
    QFETCH(bool, byKeyboard);
    if (byKeyboard) {
        m_form->activateWindow();
        m_form->closeButton().setFocus();
        QTest::keyClick(&m_form->closeButton(), Qt::Key_Space);
    } else {
        QTest::mouseClick(&m_form->closeButton(), Qt::LeftButton);
    }
    QCOMPARE(m_ends, 1);
}

void TestForm1::pressHidesTheLabelAndTakesTheBall()
{
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

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
