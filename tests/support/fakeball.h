#pragma once

#include "ball.h"

#include <string>
#include <vector>

// The ball logic wired to a toolkit that only remembers what was done to it,
// laid out like the real window at design time.
namespace zorbel::fake {

struct Element final : toolkit::Element {
    Element(float l, float t, float h) : left(l), top(t), height(h) { }

    float left, top, height;
    bool visible = true;
    int moves = 0;

    float Left() const override { return left; }
    float Top() const override { return top; }
    void setLeft(float value) override { left = value; }
    void setTop(float value) override { top = value; }
    float Height() const override { return height; }
    void setVisible(bool value) override { visible = value; }
    void Move(float l, float t) override { left = l, top = t, ++moves; }
};

struct Window final : toolkit::Window {
    float scaleWidth = 608;
    float scaleHeight = 428;
    std::string caption;

    void Show() override { }
    void Refresh() override { }
    float ScaleWidth() const override { return scaleWidth; }
    float ScaleHeight() const override { return scaleHeight; }
    void setCaption(const std::string &value) override { caption = value; }
};

struct Timer final : toolkit::Timer {
    explicit Timer(bool on) : enabled(on) { }

    bool enabled;
    void setEnabled(bool value) override { enabled = value; }
};

struct Cues final : sound::Cues {
    std::vector<Int16> played;
    void PlaySoundResource(Int16 id) override { played.push_back(id); }
};

struct BallWindow {
    Window Form1;
    Element picBounce { 399, 85, 74 };
    Element Label1 { 2, 0, 16 };
    Timer tmrAnimate { true };
    Timer tmrDrag { false };
    Cues cues;
    Ball ball { { Form1, picBounce, Label1, tmrAnimate, tmrDrag, cues } };

    BallState &state() { return ball.state(); }

    // What the window does at load: the ball is taken and let go where it is.
    void startup()
    {
        ball.GrabBall();
        ball.ReleaseBall();
    }

    // Runs animation ticks until the timer switches itself off; returns how
    // many ran, or -1 if it still ran after maxTicks.
    int settle(int maxTicks = 100000)
    {
        for (int tick = 1; tick <= maxTicks; ++tick) {
            ball.tmrAnimate_Timer();
            if (!tmrAnimate.enabled)
                return tick;
        }
        return -1;
    }
};

} // namespace zorbel::fake
