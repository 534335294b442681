#pragma once

#include <QIcon>
#include <QPixmap>
#include <QWidget>

#include <cstdint>
#include <functional>

// A picture element: exactly its picture's size, no border, and mouse events
// passed on as button code, shift code and position in its own pixels.
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
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPixmap m_picture;
    QIcon m_art;
};

} // namespace zorbel
