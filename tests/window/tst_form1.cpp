#include "form1.h"

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
const QPoint grab(40, 37);

} // namespace

class TestForm1 : public QObject {
    Q_OBJECT

    // While the ball is held, the pointer's moves go to it wherever the
    // pointer is, in its own coordinates.
    void moveTo(QPoint pointerInWindow) { QTest::mouseMove(&m_form->ball(), pointerInWindow - m_form->ball().pos()); }
    void press(Qt::MouseButton button, QPoint at = grab) { QTest::mousePress(&m_form->ball(), button, {}, at); }
    void release(Qt::MouseButton button, QPoint at = grab) { QTest::mouseRelease(&m_form->ball(), button, {}, at); }

    RecordedCues *m_cues = nullptr;
    Form1 *m_form = nullptr;
    int m_ends = 0;

private slots:
    void init()
    {
        m_ends = 0;
        m_cues = new RecordedCues;
        m_form = new Form1(*m_cues, [this] { ++m_ends; });
        m_form->Form_Load();
        QVERIFY(QTest::qWaitForWindowExposed(m_form));
    }

    void cleanup()
    {
        delete m_form;
        delete m_cues;
    }

    void startsWithTheDesignLayout()
    {
        QVERIFY(m_form->closeButton().isVisible() && m_form->label().isVisible());
        QCOMPARE(m_form->windowTitle(), QString());
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

    // The startup drop settles with the title 10. A new size puts the settled
    // ball on the new floor at once, in silence; only the load places the
    // button, against the size the window had then. A still hold then drops
    // from where the ball hangs and counts from one.
    void startupDropSettlesThenAStillHoldCountsFromOne()
    {
        QTRY_VERIFY_WITH_TIMEOUT(!m_form->isAnimating(), settleTimeoutMs);
        QCOMPARE(m_form->windowTitle(), QStringLiteral("10"));
        QCOMPARE(m_form->ball().geometry(), QRect(399, 354, 80, 74));
        QCOMPARE(m_cues->played.size(), 11u);
        for (QSize size : { QSize(608, 300), QSize(900, 700) }) {
            m_form->resize(size);
            QTRY_COMPARE(m_form->size(), size);
            QCOMPARE(m_form->ball().geometry(), QRect(399, size.height() - 74, 80, 74));
            QCOMPARE(m_form->closeButton().geometry(), QRect(563, 383, 35, 35));
        }
        QVERIFY(!m_form->isAnimating());
        QCOMPARE(m_cues->played.size(), 11u);
        QCOMPARE(m_form->windowTitle(), QStringLiteral("10"));

        press(Qt::LeftButton);
        moveTo(m_form->ball().pos() + grab - QPoint(0, 200));
        QTest::qWait(50); // a few sampler ticks: the hand is still
        release(Qt::LeftButton);
        QCOMPARE(m_form->ballLogic().state().speedY, 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_form->windowTitle(), QStringLiteral("1"), settleTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(!m_form->isAnimating(), settleTimeoutMs);
        QCOMPARE(m_form->ball().y(), 700 - 74);
    }

    // By the mouse, and by Space, Enter and keypad Enter with the focus.
    void closeButtonEndsTheProgram()
    {
        QTest::mouseClick(&m_form->closeButton(), Qt::LeftButton);
        QCOMPARE(m_ends, 1);
        m_form->activateWindow();
        int ends = 1;
        for (const Qt::Key key : { Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter }) {
            m_form->closeButton().setFocus();
            QTest::keyClick(&m_form->closeButton(), key);
            QCOMPARE(m_ends, ++ends);
        }
    }

    // The back and forward buttons are not the program's; the right one hides
    // the label, the left one takes the ball, also as a double click's second
    // press, and the grab point stays under the pointer wherever it goes.
    void pressesHideTheLabelAndTheLeftOneCarriesTheBall()
    {
        for (Qt::MouseButton extra : { Qt::BackButton, Qt::ForwardButton, Qt::ExtraButton3 })
            press(extra), release(extra);
        QVERIFY(m_form->label().isVisible() && m_form->isAnimating());
        QCOMPARE(m_cues->played.size(), 1u);
        press(Qt::RightButton);
        QVERIFY(!m_form->label().isVisible() && m_form->isAnimating());
        release(Qt::RightButton);

        QTest::mouseClick(&m_form->ball(), Qt::LeftButton, {}, grab);
        QVERIFY(m_form->isAnimating());
        QTest::mouseDClick(&m_form->ball(), Qt::LeftButton, {}, grab);
        QVERIFY(!m_form->isAnimating() && m_form->isSampling());
        const QPoint start = m_form->ball().pos() + grab;
        for (const QPoint pointer : { QPoint(100, 200), QPoint(300, 20), QPoint(700, 300), QPoint(-50, -40) }) {
            moveTo(pointer);
            QCOMPARE(m_form->ball().pos() + grab, pointer);
        }
        release(Qt::LeftButton);
        QVERIFY(m_form->isAnimating() && !m_form->isSampling() && !m_form->label().isVisible());
        QVERIFY(start != m_form->ball().pos() + grab);
    }

    void releaseKeptFromTheBallIsDeliveredOnce_data()
    {
        QTest::addColumn<QString>("loss");
        QTest::newRow("another window activated") << QStringLiteral("activated");
        QTest::newRow("window minimised") << QStringLiteral("minimised");
        QTest::newRow("window hidden") << QStringLiteral("hidden");
    }

    // Where the window system keeps the release from the ball, the ball gets
    // it when the loss is known; the rest of that press is ignored.
    void releaseKeptFromTheBallIsDeliveredOnce()
    {
        QFETCH(QString, loss);
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form));
        press(Qt::LeftButton);
        moveTo(m_form->ball().pos() + grab - QPoint(0, 100));
        QVERIFY(m_form->isSampling());
        const std::size_t cues = m_cues->played.size();

        QWidget other;
        if (loss == QLatin1String("activated")) {
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
        } else {
            loss == QLatin1String("minimised") ? m_form->showMinimized() : m_form->hide();
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
        release(Qt::LeftButton);
        QCOMPARE(m_cues->played.size(), cues + 1);
    }

    void windowIconComesFromTheInstalledTheme_data()
    {
        QTest::addColumn<bool>("installed");
        QTest::newRow("installed") << true;
        QTest::newRow("not installed") << false;
    }

    // The desktop's theme icon where one is installed, else the built-in ball.
    void windowIconComesFromTheInstalledTheme()
    {
        QFETCH(bool, installed);
        QTemporaryDir icons;
        QDir theme(icons.path() + QStringLiteral("/hicolor"));
        QImage picture(16, 16, QImage::Format_ARGB32);
        picture.fill(Qt::red);
        QVERIFY(theme.mkpath(QStringLiteral("16x16/apps")));
        QVERIFY(!installed || picture.save(theme.filePath(QStringLiteral("16x16/apps/org.zorbel.Zorbel.png"))));
        QFile index(theme.filePath(QStringLiteral("index.theme")));
        QVERIFY(index.open(QIODevice::WriteOnly));
        index.write("[Icon Theme]\nName=hicolor\nDirectories=16x16/apps\n[16x16/apps]\nSize=16\nType=Fixed\n");
        index.close();
        QIcon::setThemeSearchPaths({ icons.path() });
        QIcon::setThemeName(QStringLiteral("hicolor"));
        QCOMPARE(Form1(*m_cues, [] { }).windowIcon().availableSizes(), QList<QSize> { QSize(installed ? 16 : 32, installed ? 16 : 32) });
    }
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
