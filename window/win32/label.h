#pragma once

#include "win32toolkit.h"

#include <windows.h>

#include <string>

// The instruction line: text drawn on the window's own surface, beneath the
// ball and the button, taking no focus and no mouse.
namespace zorbel {

class Label final : public toolkit::Element {
public:
    Label(HWND owner, const PixelScale &scale);
    ~Label() override;
    Label(const Label &) = delete;
    Label &operator=(const Label &) = delete;

    float Left() const override { return m_left; }
    float Top() const override { return m_top; }
    void setLeft(float left) override { Move(left, m_top); }
    void setTop(float top) override { Move(m_left, top); }
    float Height() const override;
    void setVisible(bool visible) override;
    void Move(float left, float top) override;

    // Picks the font again for the owner's current scale.
    void updateFont();
    void paint(HDC target) const;

private:
    RECT deviceRect() const;

    HWND m_owner;
    const PixelScale &m_scale;
    std::wstring m_text;
    float m_left;
    float m_top;
    bool m_visible = true;
    HFONT m_font = nullptr;
};

} // namespace zorbel
