#include "displayconnection.h"

#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

// Last: its macros (None, Bool, Expose…) would clash with Qt's names.
#include <X11/Xlib.h>

namespace zorbel {
namespace {

// A message Qt logged while opening the display, with copies of its context.
struct HeldMessage {
    QtMsgType type;
    QByteArray file;
    int line;
    QByteArray function;
    QByteArray category;
    QString text;
};

QtMessageHandler qtHandler = nullptr;
std::atomic<bool> opening = false;
std::atomic<bool> mainReturned = false;
std::mutex heldLock;
std::vector<HeldMessage> held;

std::string environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

// Names what was missing the way the user can mend it: the variables Qt
// reads to find a display.
std::string missingDisplay()
{
    const std::string platform = environment("QT_QPA_PLATFORM");
    const bool x11 = platform.empty() || platform.find("xcb") != std::string::npos;
    const bool wayland = platform.empty() || platform.find("wayland") != std::string::npos;
    std::string reasons;
    const auto add = [&](const std::string &reason) { reasons += (reasons.empty() ? "" : ", ") + reason; };
    if (x11) {
        const std::string display = environment("DISPLAY");
        add(display.empty() ? "DISPLAY is not set" : "the X display \"" + display + "\" cannot be opened");
    }
    if (wayland) {
        const std::string display = environment("WAYLAND_DISPLAY");
        add(display.empty() ? "WAYLAND_DISPLAY is not set" : "the Wayland display \"" + display + "\" cannot be opened");
    }
    if (!x11 && !wayland)
        add("Qt's display platform \"" + platform + "\" cannot be started");
    return "no display to show the window on: " + reasons;
}

[[noreturn]] void endAtOnce(const std::string &line)
{
    std::fprintf(stderr, "Zorbel: %s\n", line.c_str());
    std::fflush(stderr);
    std::_Exit(EXIT_FAILURE);
}

// Qt gives up on a display it cannot open or has lost with qFatal, which
// aborts; the messages it logs on the way there would only repeat the cause.
void handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtFatalMsg)
        endAtOnce(opening ? missingDisplay() : qFormatLogMessage(type, context, text).toStdString());
    if (opening) {
        const std::lock_guard lock(heldLock);
        if (opening) {
            held.push_back({ type, context.file, context.line, context.function, context.category, text });
            return;
        }
    }
    qtHandler(type, context, text);
}

// Xlib's own handler for a lost X server (Qt's wraps it) writes three lines
// and calls exit().
int onXlibConnectionLost(Display *)
{
    endAtOnce("the connection to the X server broke");
}

// Registered once the display is open, so it runs before any clean-up Qt
// registered while opening it.
void onExit()
{
    if (mainReturned)
        return;
    // Qt's exit() on a broken display connection: nothing is left to save.
    std::fflush(stderr);
    std::_Exit(EXIT_FAILURE);
}

} // namespace

DisplayConnection::DisplayConnection()
{
    // Qt looks for an X display unless told otherwise; where there is only a
    // Wayland one, that is the display to use.
    if (environment("QT_QPA_PLATFORM").empty() && environment("DISPLAY").empty()
        && !environment("WAYLAND_DISPLAY").empty())
        qputenv("QT_QPA_PLATFORM", "wayland");
    opening = true;
    qtHandler = qInstallMessageHandler(handleMessage);
}

DisplayConnection::~DisplayConnection()
{
    mainReturned = true;
    qInstallMessageHandler(qtHandler);
}

void DisplayConnection::opened()
{
    std::vector<HeldMessage> messages;
    {
        const std::lock_guard lock(heldLock);
        opening = false;
        messages.swap(held);
    }
    for (const HeldMessage &message : messages) {
        const QMessageLogContext context(message.file.constData(), message.line, message.function.constData(),
            message.category.constData());
        qtHandler(message.type, context, message.text);
    }
    std::atexit(onExit);
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        XSetIOErrorHandler(onXlibConnectionLost);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

// Qt destroys its own windows only after letting go of them, so a window
// destroyed while Qt still holds it was destroyed by another client.
bool DisplayConnection::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & ~0x80) != XCB_DESTROY_NOTIFY)
        return false;
    const xcb_window_t destroyed = static_cast<const xcb_destroy_notify_event_t *>(message)->window;
    for (QWindow *window : QGuiApplication::topLevelWindows()) {
        if (window->handle() && window->winId() == destroyed)
            endAtOnce("the window was destroyed by another program");
    }
    return false;
}

} // namespace zorbel
