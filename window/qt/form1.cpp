#include "form1.h"

#include "design.h"
#include "emptytitle.h"
#include "picturefiles.h"

#include <QEventLoop>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QTimer>
#include <QWindow>

#include <chrono>

namespace zorbel {
namespace {

// How long Show waits at most for the window system to show the window: a
// platform that never reports it exposed, or a window manager that does not
// answer, delays the start by no more than this.
constexpr std::chrono::milliseconds exposeWait { 500 };

// Quits a loop once the window is exposed.
class ExposeWatch final : public QObject {
public:
    ExposeWatch(QWindow &window, QEventLoop &loop)
        : m_window(window)
        , m_loop(loop)
    {
        m_window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == &m_window && event->type() == QEvent::Expose && m_window.isExposed())
            m_loop.quit();
        return false;
    }

private:
    QWindow &m_window;
    QEventLoop &m_loop;
};

QRect toQRect(design::Rect rect)
{
    return { rect.left, rect.top, rect.width, rect.height };
}

QColor toQColor(design::Colour colour)
{
    return { colour.red, colour.green, colour.blue };
}

QFont instructionFont(const QWidget &label, const QString &text)
{
    QFont font;
    for (const char *family : { design::labelFontFamily, "DejaVu Sans Condensed", "DejaVu Sans" }) {
        if (QFontDatabase::hasFamily(QString::fromLatin1(family))) {
            font.setFamily(QString::fromLatin1(family));
            break;
        }
    }
    font.setWeight(QFont::Weight(design::labelFontWeight));
    font.setPointSizeF(design::fittingPointSize([&](double pointSize) {
        font.setPointSizeF(pointSize);
        return QFontMetricsF(font, &label).horizontalAdvance(text);
    }));
    return font;
}

void setColour(QWidget &widget, QPalette::ColorRole role, design::Colour colour)
{
    QPalette palette = widget.palette();
    palette.setColor(role, toQColor(colour));
    widget.setPalette(palette);
}

} // namespace

Form1::Form1(sound::Cues &cues, std::function<void()> endProgram)
    : Label1(QString::fromUtf8(design::instructions), this)
    , picBounce(loadPicture(QStringLiteral(":/pictures/ball.bmp")), m_pressHold, this)
    , Command1(this)
    , tmrDrag(m_dragTicker, design::tmrDragPeriodMs, [this] { m_form.tmrDrag_Timer(); })
    , tmrAnimate(m_animateTicker, design::tmrAnimatePeriodMs, [this] { m_form.tmrAnimate_Timer(); })
    , m_form({ *this, m_ballElement, m_labelElement, m_buttonElement, tmrAnimate, tmrDrag, cues, std::move(endProgram) })
{
    // The installed theme has the icon at every size a desktop asks for.
    setWindowIcon(QIcon::fromTheme(QStringLiteral("org.zorbel.Zorbel"), loadIcon(QStringLiteral(":/pictures/ball.ico"))));
    setWindowTitle(QString());
    setColour(*this, QPalette::Window, design::background);
    setAutoFillBackground(true);
    resize(design::clientSize.width, design::clientSize.height);

    Label1.setGeometry(toQRect(design::Label1));
    setColour(Label1, QPalette::WindowText, design::labelColour);
    Label1.setFont(instructionFont(Label1, Label1.text()));
    Label1.setFocusPolicy(Qt::NoFocus);

    const QCursor hand = loadCursor(QStringLiteral(":/pictures/hand.cur"));

    Command1.setGeometry(toQRect(design::Command1));
    Command1.setIcon(loadIcon(QStringLiteral(":/pictures/close.ico"), QStringLiteral(":/pictures/close@2x.png")));
    Command1.setIconSize({ design::iconSize.width, design::iconSize.height });
    setColour(Command1, QPalette::Button, design::buttonColour);
    Command1.setCursor(hand);
    Command1.installEventFilter(this);
    QObject::connect(&Command1, &QPushButton::clicked, this, [this] { runHandler([this] { m_form.Command1_Click(); }); });
    m_buttonElement.Move(float(design::Command1.left), float(design::Command1.top));

    picBounce.setDoubleSizeArt(QStringLiteral(":/pictures/ball@2x.png"));
    picBounce.setCursor(hand);
    picBounce.setFocusPolicy(Qt::StrongFocus);
    m_ballElement.Move(float(design::picBounce.left), float(design::picBounce.top));

    picBounce.raise();
    tmrAnimate.setEnabled(true);

    setAccessibleName(QString::fromLatin1(versionRecord::productName));
    picBounce.setAccessibleName(QString::fromUtf8(design::ballName));
    picBounce.setAccessibleDescription(QString::fromUtf8(design::ballDescription));
    Command1.setAccessibleName(QString::fromUtf8(design::closeName));
    Command1.setAccessibleDescription(QString::fromUtf8(design::closeDescription));
}

// Returns once the window is on screen with the client size the window system
// gave it: a window manager may tile or maximise it, and answers only after
// the window is mapped. Until then neither input nor the timers' ticks are
// handled, so no handler runs before Form_Load has finished.
void Form1::Show()
{
    // Created before it is shown, so that the window manager never sees the
    // name Qt gives an untitled window.
    winId();
    if (windowTitle().isEmpty())
        keepTitleEmpty(*this);
    show();
    QWindow *shown = windowHandle();
    if (!shown || shown->isExposed())
        return;
    QEventLoop loop;
    const ExposeWatch watch(*shown, loop);
    QTimer::singleShot(exposeWait, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers);
}

void Form1::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    runHandler([this] { m_form.Form_Resize(); });
}

// Enter on the focused button clicks it, as Space does and as a focused
// button does on Windows; outside a dialog QPushButton leaves Enter alone.
bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &Command1 && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !key->isAutoRepeat()) {
            Command1.click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::setCaption(const std::string &caption)
{
    setWindowTitle(QString::fromStdString(caption));
    if (caption.empty())
        keepTitleEmpty(*this);
}

} // namespace zorbel
