#include "picturebox.h"

#include "design.h"
#include "picturefiles.h"

#include <QMouseEvent>
#include <QPainter>

namespace zorbel {
namespace {

Int16 buttonCode(int buttons)
{
    return Int16((buttons & Qt::LeftButton ? leftButton : 0) | (buttons & Qt::RightButton ? rightButton : 0)
        | (buttons & Qt::MiddleButton ? middleButton : 0));
}

Int16 shiftCode(Qt::KeyboardModifiers modifiers)
{
    return Int16((modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0)
        | (modifiers & Qt::AltModifier ? 4 : 0));
}

} // namespace

PictureBox::PictureBox(const QPixmap &picture, PressHold &hold, QWidget *parent)
    : QWidget(parent)
    , m_picture(picture)
    , m_hold(hold)
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
    if (m_art.isNull() || !design::drawsDoubleSizeArt(ratio))
        painter.drawPixmap(0, 0, m_picture);
    else
        painter.drawPixmap(0, 0, m_art.pixmap(m_picture.size(), ratio));
}

bool PictureBox::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::WindowDeactivate:
    case QEvent::Hide:
        m_hold.lost();
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
        m_hold.lost();
    return QWidget::eventFilter(watched, event);
}

// Qt's default double-click handling calls mousePressEvent, so the second
// press of a double-click takes the ball like any other press.
void PictureBox::mousePressEvent(QMouseEvent *event)
{
    m_hold.press(buttonCode(event->button()), shiftCode(event->modifiers()), float(event->position().x()),
        float(event->position().y()));
}

void PictureBox::mouseMoveEvent(QMouseEvent *event)
{
    m_hold.move(buttonCode(event->buttons()), shiftCode(event->modifiers()), float(event->position().x()),
        float(event->position().y()));
}

void PictureBox::mouseReleaseEvent(QMouseEvent *event)
{
    m_hold.release(buttonCode(event->button()), buttonCode(event->buttons()), shiftCode(event->modifiers()),
        float(event->position().x()), float(event->position().y()));
}

} // namespace zorbel
