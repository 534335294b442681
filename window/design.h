#pragma once

#include <cstdint>

// The window as it is laid out before anything moves: sizes, places, colours,
// texts and timer periods. Every platform's window is built from these, so
// Zorbel looks and ticks the same everywhere.
namespace zorbel::design {

struct Size {
    int width;
    int height;
};

struct Point {
    int x;
    int y;
};

struct Rect {
    int left;
    int top;
    int width;
    int height;
};

struct Colour {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
};

inline constexpr Size clientSize { 608, 428 };
inline constexpr Colour background { 0, 0, 0 };

// The ball is exactly its picture's size and has no border.
inline constexpr Rect picBounce { 399, 85, 80, 74 };

inline constexpr Rect Label1 { 2, 0, 572, 16 };
inline constexpr Colour labelColour { 255, 192, 128 };
inline constexpr const char *instructions =
    "Prendi il pallone con il tasto sinistro del mouse, portalo in alto e lascialo cadere";

// Placed again at load, this far in from the client's right and bottom edges:
// a 10 px margin beside the 35 px button.
inline constexpr Rect Command1 { 556, 383, 35, 35 };
inline constexpr int closeButtonInset = 45;
inline constexpr Colour buttonColour { 128, 128, 128 };
inline constexpr Size iconSize { 32, 32 };
// Where the hand cursor points: the tip of its index finger. hand.cur is
// drawn with it and the web page hands it to the browser with the picture.
inline constexpr Point handHotSpot { 5, 0 };

// The double-size pictures are drawn wherever a design pixel covers more
// than one device pixel: scaled down they stay sharper than the plain ones
// scaled up. The page reads the number from here too.
inline constexpr double doubleSizeArtAbove = 1; // device pixels per design pixel

constexpr bool drawsDoubleSizeArt(double devicePixelsPerPixel)
{
    return devicePixelsPerPixel > doubleSizeArtAbove;
}

// Both timers tick at the same actual period: shorter requests are raised to it.
inline constexpr int tmrDragPeriodMs = 1;
inline constexpr int tmrAnimatePeriodMs = 10;
inline constexpr int shortestTimerPeriodMs = 10;

// Verdana where it is installed. Elsewhere the first of the fallbacks a
// platform has, made smaller a quarter point at a time until the line fits
// the label's width instead of being cut off.
inline constexpr const char *labelFontFamily = "Verdana";
inline constexpr double labelPointSize = 9.75;
inline constexpr int labelFontWeight = 700;
inline constexpr double labelPointStep = 0.25;
inline constexpr double smallestLabelPointSize = 6;

// Names and descriptions for assistive technology: a screen reader would
// otherwise call the window by its title, which becomes the bounce count.
inline constexpr const char *ballName = "Pallone";
inline constexpr const char *ballDescription = "Prendilo con il tasto sinistro, portalo in alto e lascialo cadere";
inline constexpr const char *closeName = "Chiudi";
inline constexpr const char *closeDescription = "Chiude il programma";

// The largest point size, from the design size down in steps, at which
// textWidth(pointSize) fits the label; the smallest size when none does.
template<typename TextWidth>
double fittingPointSize(TextWidth textWidth)
{
    double size = labelPointSize;
    while (size > smallestLabelPointSize && textWidth(size) > Label1.width)
        size -= labelPointStep;
    return size;
}

} // namespace zorbel::design
