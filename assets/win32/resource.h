#pragma once

// The numeric ids of the resources compiled into Zorbel.exe, shared by the
// resource script and the Win32 layer. The resource compiler understands only
// preprocessor numbers, hence the macros; C++ code uses the typed constants in
// zorbel::resources below:
//
//   ballBitmap       BITMAP      the ball, 80 x 74, 24 bits
//   ball2xBitmap     BITMAP      the ball at double size, 160 x 148, 24 bits
//   ballIcon         ICON group  the window and executable icon (image 30001)
//   closeIcon        ICON group  the close button's picture, 32 x 32
//   close2xIcon      ICON group  the close button's picture at double size, 64 x 64
//   handCursor       CURSOR      the hand over the ball and the button, hot spot (5, 0)
//   bounceSound      "CUSTOM"    the bounce cue's WAV image, language 0x0410
//   releaseSound     "CUSTOM"    the release cue's WAV image, language 0x0410

#define ZORBEL_BALL_BITMAP 1
#define ZORBEL_BALL_2X_BITMAP 2
#define ZORBEL_BALL_ICON 1
#define ZORBEL_BALL_ICON_IMAGE 30001
#define ZORBEL_CLOSE_ICON 2
#define ZORBEL_CLOSE_2X_ICON 3
#define ZORBEL_HAND_CURSOR 1
#define ZORBEL_BOUNCE_SOUND 102
#define ZORBEL_RELEASE_SOUND 103

#ifndef RC_INVOKED
namespace zorbel::resources {

constexpr int ballBitmap = ZORBEL_BALL_BITMAP;
constexpr int ball2xBitmap = ZORBEL_BALL_2X_BITMAP;
constexpr int ballIcon = ZORBEL_BALL_ICON;
constexpr int closeIcon = ZORBEL_CLOSE_ICON;
constexpr int close2xIcon = ZORBEL_CLOSE_2X_ICON;
constexpr int handCursor = ZORBEL_HAND_CURSOR;
constexpr int bounceSound = ZORBEL_BOUNCE_SOUND;
constexpr int releaseSound = ZORBEL_RELEASE_SOUND;
// The sounds' resource type and language.
constexpr const wchar_t *soundType = L"CUSTOM";
constexpr unsigned short soundLanguage = 0x0410;

} // namespace zorbel::resources
#endif
