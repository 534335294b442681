#pragma once

#include "toolkit.h"

#include <algorithm>
#include <cmath>

namespace zorbel {

// An element as a platform's toolkit places it: at whole pixels. The ball
// logic compares positions it wrote with positions it reads back, so the exact
// floats are kept here and the platform layer only draws at the nearest pixel.
class PlacedElement : public toolkit::Element {
public:
    float Left() const final { return m_left; }
    float Top() const final { return m_top; }
    void setLeft(float left) final
    {
        m_left = left;
        place();
    }
    void setTop(float top) final
    {
        m_top = top;
        place();
    }
    void Move(float left, float top) final
    {
        m_left = left;
        m_top = top;
        place();
    }

    // Far beyond any screen, yet well inside int: a ball thrown miles away is
    // simply not drawn.
    static int nearestPixel(double coordinate)
    {
        constexpr double farthestPixel = 1 << 20;
        return static_cast<int>(std::lrint(std::clamp(coordinate, -farthestPixel, farthestPixel)));
    }

protected:
    PlacedElement(float left, float top)
        : m_left(left)
        , m_top(top)
    {
    }

    // Draws the element where Left and Top say, through nearestPixel.
    virtual void place() = 0;

private:
    float m_left;
    float m_top;
};

} // namespace zorbel
