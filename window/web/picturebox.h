#pragma once

#include <cstdint>
#include <functional>

// The ball's input: what the page reports of the pointer on the ball, turned
// into the picture element's mouse events, as the desktop layers deliver them.
namespace zorbel {

class PictureBox {
public:
    // Button: the changed button for a press or release, the sum of the held
    // buttons for a move (1 left, 2 right, 4 middle; a touch or pen contact
    // is the left button). Shift: 1 shift, 2 ctrl, 4 alt. X, Y: CSS pixels
    // from the element's corner, outside it while it holds the pointer.
    using MouseHandler = std::function<void(std::int16_t Button, std::int16_t Shift, float X, float Y)>;

    enum class Pointer : int {
        press = 0,
        move = 1,
        release = 2,
        lost = 3, // the capture ended without a release: cancelled, page hidden, window left
    };

    // held: the buttons still down after the event.
    void pointer(Pointer what, std::int16_t button, std::int16_t held, std::int16_t shift, float x, float y);

    MouseHandler MouseDown;
    MouseHandler MouseMove;
    MouseHandler MouseUp;

private:
    void deliver(const MouseHandler &handler, std::int16_t button, std::int16_t shift, float x, float y);

    bool m_holding = false; // a press on the ball holds the pointer until every button is up
    bool m_leftDown = false;
};

} // namespace zorbel
