#include "form1.h"

#include "design.h"

#include <emscripten/emscripten.h>

EM_JS(void, zorbel_startPage, (int width, int height), { zorbelPage.start(width, height); });
EM_JS(void, zorbel_createBall, (int width, int height, const char *name, const char *description), {
    zorbelPage.createBall(width, height, UTF8ToString(name), UTF8ToString(description));
});
EM_JS(void, zorbel_createLabel, (int width, int height, const char *text, const char *colour, const char *font), {
    zorbelPage.createLabel(width, height, UTF8ToString(text), UTF8ToString(colour), UTF8ToString(font));
});
EM_JS(void, zorbel_createButton, (int size, int iconSize, int touchTarget, const char *colour, const char *name, const char *description), {
    zorbelPage.createButton(size, iconSize, touchTarget, UTF8ToString(colour), UTF8ToString(name), UTF8ToString(description));
});
EM_JS(double, zorbel_textWidth, (const char *font, const char *text), {
    return zorbelPage.textWidth(UTF8ToString(font), UTF8ToString(text));
});
EM_JS(double, zorbel_clientWidth, (), { return zorbelPage.clientWidth(); });
EM_JS(double, zorbel_clientHeight, (), { return zorbelPage.clientHeight(); });
EM_JS(void, zorbel_setTitle, (const char *title), { document.title = UTF8ToString(title); });
EM_JS(void, zorbel_endPage, (), { zorbelPage.end(); });

namespace zorbel {
namespace {

// The smallest square, in CSS pixels, that the close button takes a tap on,
// at any scale: the size a finger can hit (WCAG 2.5.8).
constexpr int touchTarget = 24;

// Verdana where it is installed, else the fallbacks of the Linux build.
constexpr const char *fontFamilies = "Verdana, \"DejaVu Sans Condensed\", \"DejaVu Sans\", sans-serif";

std::string cssColour(design::Colour colour)
{
    return "rgb(" + std::to_string(colour.red) + ", " + std::to_string(colour.green) + ", " + std::to_string(colour.blue) + ")";
}

std::string cssFont(double pointSize)
{
    return std::to_string(design::labelFontWeight) + " " + std::to_string(pointSize) + "pt " + fontFamilies;
}

} // namespace

Form1::Page::Page()
{
    zorbel_startPage(design::clientSize.width, design::clientSize.height);
    zorbel_createBall(design::picBounce.width, design::picBounce.height, design::ballName, design::ballDescription);
    const double pointSize = design::fittingPointSize(
        [](double size) { return zorbel_textWidth(cssFont(size).c_str(), design::instructions); });
    zorbel_createLabel(design::Label1.width, design::Label1.height, design::instructions,
        cssColour(design::labelColour).c_str(), cssFont(pointSize).c_str());
    zorbel_createButton(design::Command1.width, design::iconSize.width, touchTarget, cssColour(design::buttonColour).c_str(),
        design::closeName, design::closeDescription);
}

Form1::Form1(sound::Cues &cues, std::function<void()> endProgram)
    : m_ballElement(PageElement::ball, float(design::picBounce.left), float(design::picBounce.top), design::picBounce.height)
    , Label1(PageElement::label, float(design::Label1.left), float(design::Label1.top), design::Label1.height)
    , m_buttonElement(PageElement::button, float(design::Command1.left), float(design::Command1.top), design::Command1.height)
    , tmrDrag(m_dragTicker, design::tmrDragPeriodMs, [this] { m_form.tmrDrag_Timer(); })
    , tmrAnimate(m_animateTicker, design::tmrAnimatePeriodMs, [this] { m_form.tmrAnimate_Timer(); })
    , m_form({ *this, m_ballElement, Label1, m_buttonElement, tmrAnimate, tmrDrag, cues, std::move(endProgram) })
{
    setCaption({});
}

Form1::~Form1()
{
    end();
}

void Form1::Show()
{
    // The page is on screen already; the elements appear with it.
    m_ballElement.setVisible(true);
    Label1.setVisible(true);
    m_buttonElement.setVisible(true);
}

float Form1::ScaleWidth() const
{
    return static_cast<float>(zorbel_clientWidth());
}

float Form1::ScaleHeight() const
{
    return static_cast<float>(zorbel_clientHeight());
}

void Form1::setCaption(const std::string &caption)
{
    zorbel_setTitle(caption.c_str());
}

bool Form1::ballPointer(Pointer what, Int16 button, Int16 held, Int16 shift, float x, float y)
{
    switch (what) {
    case Pointer::press:
        return m_pressHold.press(button, shift, x, y);
    case Pointer::move:
        m_pressHold.move(held, shift, x, y);
        return false;
    case Pointer::release:
        return m_pressHold.release(button, held, shift, x, y);
    case Pointer::lost:
        m_pressHold.lost();
        return false;
    }
    return false;
}

void Form1::closeClicked()
{
    runHandler([this] { m_form.Command1_Click(); });
}

// A new viewport (turned, resized, zoomed, or moved to another screen) is a
// new client size and scale, and so a new nearest device pixel.
void Form1::viewportChanged()
{
    m_ballElement.place();
    Label1.place();
    m_buttonElement.place();
    runHandler([this] { m_form.Form_Resize(); });
}

void Form1::end()
{
    tmrDrag.setEnabled(false);
    tmrAnimate.setEnabled(false);
    zorbel_endPage();
}

} // namespace zorbel
