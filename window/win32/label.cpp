#include "label.h"

#include <cmath>

namespace zorbel {
namespace {

// Where Verdana is missing (Wine has none), Tahoma is its narrower sibling by
// the same designer; the others are what a Wine prefix finds on the host.
constexpr const wchar_t *fallbackFamilies[] = { L"Tahoma", L"DejaVu Sans", L"Arial" };

int CALLBACK noteFound(const LOGFONTW *, const TEXTMETRICW *, DWORD, LPARAM found)
{
    *reinterpret_cast<bool *>(found) = true;
    return 0;
}

bool hasFamily(HDC context, const wchar_t *family)
{
    LOGFONTW wanted {};
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(wanted.lfFaceName, family, LF_FACESIZE);
    bool found = false;
    EnumFontFamiliesExW(context, &wanted, noteFound, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

HFONT createFont(const wchar_t *family, double points, UINT dpi)
{
    LOGFONTW font {};
    font.lfHeight = -static_cast<LONG>(std::lround(points * dpi / 72));
    font.lfWeight = design::labelFontWeight;
    font.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(font.lfFaceName, family, LF_FACESIZE);
    return CreateFontIndirectW(&font);
}

} // namespace

Label::Label(HWND owner, const PixelScale &scale)
    : m_owner(owner)
    , m_scale(scale)
    , m_text(widen(design::instructions))
    , m_left(static_cast<float>(design::Label1.left))
    , m_top(static_cast<float>(design::Label1.top))
{
    updateFont();
}

Label::~Label()
{
    DeleteObject(m_font);
}

float Label::Height() const
{
    return static_cast<float>(design::Label1.height);
}

void Label::setVisible(bool visible)
{
    if (visible == m_visible)
        return;
    m_visible = visible;
    const RECT area = deviceRect();
    InvalidateRect(m_owner, &area, TRUE);
}

void Label::Move(float left, float top)
{
    RECT area = deviceRect();
    InvalidateRect(m_owner, &area, TRUE);
    m_left = left;
    m_top = top;
    area = deviceRect();
    InvalidateRect(m_owner, &area, TRUE);
}

void Label::updateFont()
{
    const HDC context = GetDC(m_owner);
    std::wstring family = widen(design::labelFontFamily);
    if (!hasFamily(context, family.c_str())) {
        for (const wchar_t *fallback : fallbackFamilies) {
            if (hasFamily(context, fallback)) {
                family = fallback;
                break;
            }
        }
    }
    const UINT dpi = static_cast<UINT>(std::lround(96 * m_scale.factor()));
    const double points = design::fittingPointSize([&](double size) {
        const HFONT font = createFont(family.c_str(), size, dpi);
        const HGDIOBJ previous = SelectObject(context, font);
        SIZE extent {};
        GetTextExtentPoint32W(context, m_text.c_str(), static_cast<int>(m_text.size()), &extent);
        SelectObject(context, previous);
        DeleteObject(font);
        return extent.cx / m_scale.factor();
    });
    ReleaseDC(m_owner, context);

    DeleteObject(m_font);
    m_font = createFont(family.c_str(), points, dpi);
    const RECT area = deviceRect();
    InvalidateRect(m_owner, &area, TRUE);
}

void Label::paint(HDC target) const
{
    if (!m_visible)
        return;
    RECT area = deviceRect();
    const HGDIOBJ previous = SelectObject(target, m_font);
    SetTextColor(target, colour(design::labelColour));
    SetBkMode(target, TRANSPARENT);
    DrawTextW(target, m_text.c_str(), static_cast<int>(m_text.size()), &area,
        DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(target, previous);
}

RECT Label::deviceRect() const
{
    const int left = m_scale.toDevice(m_left);
    const int top = m_scale.toDevice(m_top);
    return { left, top, left + m_scale.toDevice(design::Label1.width), top + m_scale.toDevice(design::Label1.height) };
}

} // namespace zorbel
