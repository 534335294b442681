#include "commandbutton.h"

#include "win32toolkit.h"

namespace zorbel {

CommandButton::CommandButton(HWND parent, int id, HICON picture, HICON picture2x, const PixelScale &scale)
    : m_picture(picture)
    , m_picture2x(picture2x)
    , m_scale(scale)
    , m_window(CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | BS_OWNERDRAW,
          0, 0, design::Command1.width, design::Command1.height, parent,
          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr))
{
    if (!m_window)
        throw RuntimeError("cannot create the close button");
}

void CommandButton::draw(const DRAWITEMSTRUCT &item) const
{
    const HDC target = item.hDC;
    RECT face = item.rcItem;
    const HBRUSH grey = CreateSolidBrush(colour(design::buttonColour));
    FillRect(target, &face, grey);
    DeleteObject(grey);
    const bool pressed = item.itemState & ODS_SELECTED;
    DrawEdge(target, &face, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);

    const int size = m_scale.toDevice(design::iconSize.width);
    const int shift = pressed ? 1 : 0;
    DrawIconEx(target, (face.left + face.right - size) / 2 + shift, (face.top + face.bottom - size) / 2 + shift,
        design::drawsDoubleSizeArt(m_scale.factor()) ? m_picture2x : m_picture, size, size, 0, nullptr, DI_NORMAL);
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
        InflateRect(&face, -3, -3);
        DrawFocusRect(target, &face);
    }
}

} // namespace zorbel
