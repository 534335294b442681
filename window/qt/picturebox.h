#pragma once

#include <QIcon>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <cstdint>
#include <functional>

// A picture element: exactly its picture's size, no border, and mouse events
// passed on as button code, shift code and position in its own pixels.
//
// After a left press on it, its left release always arrives. Where the window
// system keeps the release from it (the window deactivated, hidden or
// minimised while the button is held), the element delivers the release
// itself as soon as it learns of the loss, at the last position it saw, and
// ignores the rest of that press: its moves and its late release.
namespace zorbel {

class PictureBox final : public QWidget {
public:
    // Button: the changed button for a press or release, the sum of the held
    // buttons for a move (1 left, 2 right, 4 middle). Shift: 1 shift, 2 ctrl,
    // 4 alt.
    using MouseHandler = std::function<void(std::int16_t Button, std::int16_t Shift, float X, float Y)>;

    PictureBox(const QPixmap &picture, QWidget *parent);

    // Drawn instead of the picture on screens denser than one device pixel
    // per logical pixel; the picture still sets the size.
    void setDoubleSizeArt(const QString &resourcePath2x);

    MouseHandler MouseDown;
    MouseHandler MouseMove;
    MouseHandler MouseUp;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void deliver(const MouseHandler &handler, int buttons, QPointF position, Qt::KeyboardModifiers modifiers);
    void releaseLostPress();

    QPixmap m_picture;
    QIcon m_art;
    bool m_leftHeld = false;
    bool m_leftLost = false;
    QPointF m_lastPosition;
    QPointer<QWindow> m_watchedWindow;
};

} // namespace zorbel
