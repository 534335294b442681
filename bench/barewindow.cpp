// The floor for Zorbel's startup, memory and animation: the least a Qt 6
// Widgets program does to show the same picture, a 608x428 black window with
// the 80x74 ball painted where Zorbel's ball starts.
//
//   barewindow              paints the picture and waits
//   barewindow --animate    also moves it as a child widget on a 10 ms
//                           timer for 234 ticks, falling and bouncing about
//                           as far as Zorbel's startup drop, then sets the
//                           title to "10" and stops the timer

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <cstring>

namespace {

class Picture final : public QWidget {
public:
    Picture(const QPixmap &picture, QWidget *parent)
        : QWidget(parent)
        , m_picture(picture)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFixedSize(picture.size());
    }

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).drawPixmap(0, 0, m_picture); }

private:
    QPixmap m_picture;
};

class BareWindow final : public QWidget {
public:
    explicit BareWindow(bool animate)
    {
        QPalette black = palette();
        black.setColor(QPalette::Window, Qt::black);
        setPalette(black);
        setAutoFillBackground(true);
        resize(608, 428);
        if (animate) {
            m_ball = new Picture(QPixmap(QStringLiteral(":/pictures/ball.bmp")), this);
            m_ball->move(399, 85);
            m_timer.setTimerType(Qt::PreciseTimer);
            m_timer.setInterval(10);
            QObject::connect(&m_timer, &QTimer::timeout, this, [this] { step(); });
            m_timer.start();
        } else {
            m_still = QPixmap(QStringLiteral(":/pictures/ball.bmp"));
        }
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (!m_still.isNull())
            QPainter(this).drawPixmap(399, 85, m_still);
    }

private:
    void step()
    {
        constexpr int floorTop = 428 - 74;
        m_speed += 0.5;
        m_top += m_speed;
        if (m_top >= floorTop) {
            m_top = floorTop;
            m_speed = -m_speed * 0.75;
        }
        m_ball->move(399, int(m_top));
        if (++m_ticks == 234) {
            m_timer.stop();
            setWindowTitle(QStringLiteral("10"));
        }
    }

    QPixmap m_still;
    Picture *m_ball = nullptr;
    QTimer m_timer;
    double m_top = 85;
    double m_speed = 0;
    int m_ticks = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    BareWindow window(argc > 1 && std::strcmp(argv[1], "--animate") == 0);
    window.show();
    return QApplication::exec();
}
