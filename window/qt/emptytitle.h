#pragma once

class QWidget;

namespace zorbel {

// Qt writes the application's name into a window whose title is empty, but
// the program's title stays empty until the first count, as on Windows. On
// X11 this empties the window's name again after Qt has written it; call it
// whenever the title is set empty, the first time between the window's
// creation and its showing. Elsewhere (Wayland) Qt's name stays.
void keepTitleEmpty(QWidget &window);

} // namespace zorbel
