#include "picturebox.h"

#include "fatalerror.h"
#include "picturefiles.h"

#include <QMouseEvent>
#include <QPainter>

namespace zorbel {
namespace {

constexpr int knownButtons = Qt::LeftButton | Qt::RightButton | Qt::MiddleButton;

std::int16_t shiftCode(Qt::KeyboardModifiers modifiers)
{
    return std::int16_t((modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0)
        | (modifiers & Qt::AltModifier ? 4 : 0));
}

void deliver(const PictureBox::MouseHandler &handler, int buttons, const QMouseEvent &event)
{
    if (!handler)
        return;
    const auto button = std::int16_t(buttons & knownButtons);
    const std::int16_t shift = shiftCode(event.modifiers());
    const auto x = float(event.position().x());
    const auto y = float(event.position().y());
    runHandler([&] { handler(button, shift, x, y); });
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

// Qt's default double-click handling calls mousePressEvent, so the second
// press of a double-click takes the ball like any other press.
void PictureBox::mousePressEvent(QMouseEvent *event)
{
    deliver(MouseDown, event->button(), *event);
}

void PictureBox::mouseMoveEvent(QMouseEvent *event)
{
    deliver(MouseMove, event->buttons(), *event);
}

void PictureBox::mouseReleaseEvent(QMouseEvent *event)
{
    deliver(MouseUp, event->button(), *event);
}

} // namespace zorbel
