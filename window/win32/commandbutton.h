#pragma once

#include "pixelscale.h"

#include <windows.h>

// A push button showing a picture centred on a grey face, owner-drawn: a
// themed push button would paint its own face, not the grey. The owner
// window passes its WM_DRAWITEM for the button on with draw(), and receives
// the clicks as WM_COMMAND with the button's id.
namespace zorbel {

class CommandButton {
public:
    // picture2x is drawn instead of picture where a logical pixel is larger
    // than a device pixel.
    CommandButton(HWND parent, int id, HICON picture, HICON picture2x, const PixelScale &scale);
    CommandButton(const CommandButton &) = delete;
    CommandButton &operator=(const CommandButton &) = delete;

    HWND window() const { return m_window; }
    void draw(const DRAWITEMSTRUCT &item) const;

private:
    HICON m_picture;
    HICON m_picture2x;
    const PixelScale &m_scale;
    HWND m_window;
};

} // namespace zorbel
