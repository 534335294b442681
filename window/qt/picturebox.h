#pragma once

#include "windowport.h"

#include <QIcon>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <QWindow>

// A picture element: exactly its picture's size, no border, its mouse
// events handed to the ball's PressHold in its own pixels.
//
// Qt gives the widget under a press every move and release until the last
// button is up, which is the capture the hold asks for. Where the window
// system keeps the release from it (the window deactivated, hidden or
// minimised while a button is held), the hold learns of the loss at once.
namespace zorbel {

class PictureBox final : public QWidget {
public:
    // The hold is used only once events arrive.
    PictureBox(const QPixmap &picture, PressHold &hold, QWidget *parent);

    // Drawn instead of the picture where the design's rule says; the
    // picture still sets the size.
    void setDoubleSizeArt(const QString &resourcePath2x);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPixmap m_picture;
    QIcon m_art;
    PressHold &m_hold;
    QPointer<QWindow> m_watchedWindow;
};

} // namespace zorbel
