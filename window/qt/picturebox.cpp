#include "picturebox.h"

#include "fatalerror.h"
#include "picturefiles.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>

#include <utility>

namespace zorbel {
namespace {

constexpr int knownButtons = Qt::LeftButton | Qt::RightButton | Qt::MiddleButton;

std::int16_t shiftCode(Qt::KeyboardModifiers modifiers)
{
    return std::int16_t((modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0)
        | (modifiers & Qt::AltModifier ? 4 : 0));
}

} // namespace

PictureBox::PictureBox(const QPixmap &picture, QWidget *parent)
    : QWidget(parent)
    , m_picture(picture)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(picture.deviceIndependentSize().toSize());
}

void PictureBox::setDoubleSizeArt(const QString &resourcePath2x)
{
    m_art = iconWithDoubleSizeArt(m_picture, resourcePath2x);
    update();
}

void PictureBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const qreal ratio = devicePixelRatioF();
    if (m_art.isNull() || ratio <= 1.0)
        painter.drawPixmap(0, 0, m_picture);
    else
        painter.drawPixmap(0, 0, m_art.pixmap(m_picture.size(), ratio));
}

bool PictureBox::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::WindowDeactivate:
    case QEvent::Hide:
        releaseLostPress();
        break;
    case QEvent::Show:
        // A window that is unmapped or moved off the screen while shown (a
        // desktop switch) tells only its QWindow, which is made at show.
        if (QWindow *shownIn = window()->windowHandle(); shownIn && shownIn != m_watchedWindow) {
            if (m_watchedWindow)
                m_watchedWindow->removeEventFilter(this);
            m_watchedWindow = shownIn;
            m_watchedWindow->installEventFilter(this);
        }
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

bool PictureBox::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Expose && watched == m_watchedWindow && !m_watchedWindow->isExposed())
        releaseLostPress();
    return QWidget::eventFilter(watched, event);
}

// Qt's default double-click handling calls mousePressEvent, so the second
// press of a double-click takes the ball like any other press.
void PictureBox::mousePressEvent(QMouseEvent *event)
{
    // The back and forward buttons, and any beyond them, are not the
    // program's: their press does not even hide the instruction line.
    if (!(event->button() & knownButtons))
        return;
    if (event->button() == Qt::LeftButton) {
        m_leftHeld = true;
        m_leftLost = false;
    }
    deliver(MouseDown, event->button(), event->position(), event->modifiers());
}

void PictureBox::mouseMoveEvent(QMouseEvent *event)
{
    int buttons = event->buttons();
    if (m_leftLost) {
        buttons &= ~Qt::LeftButton;
        if (!(buttons & knownButtons))
            return;
    }
    deliver(MouseMove, buttons, event->position(), event->modifiers());
}

void PictureBox::mouseReleaseEvent(QMouseEvent *event)
{
    if (!(event->button() & knownButtons))
        return;
    if (event->button() == Qt::LeftButton) {
        if (std::exchange(m_leftLost, false))
            return;
        m_leftHeld = false;
    }
    deliver(MouseUp, event->button(), event->position(), event->modifiers());
}

void PictureBox::releaseLostPress()
{
    if (!m_leftHeld)
        return;
    m_leftHeld = false;
    m_leftLost = true;
    deliver(MouseUp, Qt::LeftButton, m_lastPosition, QGuiApplication::keyboardModifiers());
}

void PictureBox::deliver(const MouseHandler &handler, int buttons, QPointF position, Qt::KeyboardModifiers modifiers)
{
    m_lastPosition = position;
    if (!handler)
        return;
    const auto button = std::int16_t(buttons & knownButtons);
    const std::int16_t shift = shiftCode(modifiers);
    const auto x = float(position.x());
    const auto y = float(position.y());
    runHandler([&] { handler(button, shift, x, y); });
}

} // namespace zorbel
