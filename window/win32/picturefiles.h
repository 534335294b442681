#pragma once

#include <windows.h>

namespace zorbel {

// The pictures the window shows, loaded from the executable's resources. A
// picture that is missing means a broken build: the constructor throws
// zorbel::RuntimeError naming it.
struct Pictures {
    Pictures();
    ~Pictures();
    Pictures(const Pictures &) = delete;
    Pictures &operator=(const Pictures &) = delete;

    HBITMAP ball;
    HBITMAP ball2x;
    HICON bigIcon;
    HICON smallIcon;
    HICON close;
    HICON close2x;
    HCURSOR hand;
};

} // namespace zorbel
