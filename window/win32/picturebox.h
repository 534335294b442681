#pragma once

#include "win32toolkit.h"

#include <windows.h>

#include <cstdint>
#include <functional>

// A picture element: a child window exactly its picture's size, no border,
// drawing the picture at its top-left corner, and passing its mouse events on
// as button code, shift code and position in its own pixels.
namespace zorbel {

class PictureBox {
public:
    // Button: the changed button for a press or release, the sum of the held
    // buttons for a move (1 left, 2 right, 4 middle). Shift: 1 shift, 2 ctrl,
    // 4 alt. X, Y: logical pixels, outside the element while it holds the
    // mouse.
    using MouseHandler = std::function<void(std::int16_t Button, std::int16_t Shift, float X, float Y)>;

    // picture2x is drawn instead of picture where a logical pixel is larger
    // than a device pixel.
    PictureBox(HWND parent, HBITMAP picture, HBITMAP picture2x, const PixelScale &scale);
    ~PictureBox();
    PictureBox(const PictureBox &) = delete;
    PictureBox &operator=(const PictureBox &) = delete;

    HWND window() const { return m_window; }

    MouseHandler MouseDown;
    MouseHandler MouseMove;
    MouseHandler MouseUp;

private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void paint();
    void press(std::int16_t button, WPARAM wParam, LPARAM lParam);
    void release(std::int16_t button, WPARAM wParam, LPARAM lParam);
    bool pointerMoved(LPARAM lParam);
    POINT screenPoint(LPARAM lParam) const;
    void captureLost();
    void deliver(const MouseHandler &handler, std::int16_t button, WPARAM wParam, POINT point);

    HBITMAP m_picture;
    HBITMAP m_picture2x;
    const PixelScale &m_scale;
    HWND m_window = nullptr;
    bool m_holding = false; // a press on the ball holds the mouse until every button is up
    bool m_leftDown = false;
    POINT m_lastPointer {}; // on the screen, at the last press or move while holding
};

} // namespace zorbel
