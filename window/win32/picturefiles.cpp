#include "picturefiles.h"

#include "design.h"
#include "resource.h"
#include "windowport.h"

#include <string>

namespace zorbel {
namespace {

HANDLE loadImage(int id, UINT type, int size, const char *what)
{
    const HANDLE image = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), type, size, size,
        type == IMAGE_BITMAP ? LR_CREATEDIBSECTION : 0);
    if (!image)
        throw RuntimeError(std::string("the ") + what + " is missing from the program");
    return image;
}

} // namespace

Pictures::Pictures()
    : ball(static_cast<HBITMAP>(loadImage(resources::ballBitmap, IMAGE_BITMAP, 0, "ball bitmap")))
    , ball2x(static_cast<HBITMAP>(loadImage(resources::ball2xBitmap, IMAGE_BITMAP, 0, "double-size ball bitmap")))
    , bigIcon(static_cast<HICON>(loadImage(resources::ballIcon, IMAGE_ICON, GetSystemMetrics(SM_CXICON), "ball icon")))
    , smallIcon(static_cast<HICON>(loadImage(resources::ballIcon, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON), "ball icon")))
    , close(static_cast<HICON>(loadImage(resources::closeIcon, IMAGE_ICON, design::iconSize.width, "close icon")))
    , close2x(static_cast<HICON>(loadImage(resources::close2xIcon, IMAGE_ICON, 2 * design::iconSize.width, "double-size close icon")))
    , hand(static_cast<HCURSOR>(loadImage(resources::handCursor, IMAGE_CURSOR, 0, "hand cursor")))
{
}

Pictures::~Pictures()
{
    DeleteObject(ball);
    DeleteObject(ball2x);
    DestroyIcon(bigIcon);
    DestroyIcon(smallIcon);
    DestroyIcon(close);
    DestroyIcon(close2x);
    DestroyCursor(hand);
}

} // namespace zorbel
