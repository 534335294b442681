#pragma once

#include "win32toolkit.h"

#include <windows.h>

// A picture element: a child window exactly its picture's size, no border,
// drawing the picture at its top-left corner, and handing its mouse events to
// the ball's PressHold in its own logical pixels. The hold's capture is the
// window's mouse capture.
namespace zorbel {

class PictureBox {
public:
    // picture2x is drawn instead of picture where the design's rule says.
    // The hold is used only once events arrive.
    PictureBox(HWND parent, HBITMAP picture, HBITMAP picture2x, const PixelScale &scale, PressHold &hold);
    ~PictureBox();
    PictureBox(const PictureBox &) = delete;
    PictureBox &operator=(const PictureBox &) = delete;

    HWND window() const { return m_window; }

private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void paint();
    bool pointerMoved(LPARAM lParam);
    POINT screenPoint(LPARAM lParam) const;

    HBITMAP m_picture;
    HBITMAP m_picture2x;
    const PixelScale &m_scale;
    PressHold &m_hold;
    HWND m_window = nullptr;
    POINT m_lastPointer {}; // on the screen, at the last press or move while holding
};

} // namespace zorbel
