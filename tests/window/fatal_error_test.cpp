#include "numbers.h"
#include "qttoolkit.h"
#include "terminationsignals.h"

#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>

namespace zorbel {
namespace {

int argc = 1;
char name[] = "fatal_error_test";
char *argv[] = { name, nullptr };
QtErrorScreen errorScreen;

// Without a signal, offscreen: no message box to wait for. With one, it comes
// while the message box waits for the user, whose event loop runs no handler.
void failInsideAHandler(int signal = 0)
{
    if (signal == 0)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const TerminationSignals watch([] { std::_Exit(EXIT_SUCCESS); });
    useErrorScreen(errorScreen);
    if (signal != 0) {
        QTimer::singleShot(300, [signal] { std::raise(signal); });
        QTimer::singleShot(5000, [] { std::_Exit(3); });
    }
    runHandler([] { throw RuntimeError("overflow: 16-bit increment"); });
    std::exit(EXIT_SUCCESS);
}

// A run-time error thrown by a handler ends the program with a message and a
// failure status, instead of escaping into Qt's event loop; so does a session
// manager's SIGTERM, a closed terminal's SIGHUP or a Ctrl+C while it is shown.
TEST(FatalErrorDeathTest, AHandlersRuntimeErrorEndsTheProgramWithAMessageAndFailure)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char *const message = "fatal error: overflow: 16-bit increment";
    EXPECT_EXIT(failInsideAHandler(), testing::ExitedWithCode(EXIT_FAILURE), message);
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "the signals need an X display for the message box (tests/lib/xvfb.sh runs this test under one)";
    for (const int signal : { SIGTERM, SIGINT, SIGHUP })
        EXPECT_EXIT(failInsideAHandler(signal), testing::ExitedWithCode(EXIT_FAILURE), message) << "signal " << signal;
}

} // namespace
} // namespace zorbel
