#include "fatalerror.h"
#include "numbers.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace zorbel {
namespace {

void failInsideAHandler()
{
    int argc = 1;
    char name[] = "fatal_error_test";
    char *argv[] = { name, nullptr };
    QApplication app(argc, argv);
    runHandler([] { throw RuntimeError("overflow: 16-bit increment"); });
    std::exit(EXIT_SUCCESS);
}

// A run-time error thrown by a handler ends the program with a message and a
// failure status, instead of escaping into Qt's event loop.
TEST(FatalErrorDeathTest, AHandlersRuntimeErrorEndsTheProgramWithAMessage)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(failInsideAHandler(), testing::ExitedWithCode(EXIT_FAILURE),
        "fatal error: overflow: 16-bit increment");
}

} // namespace
} // namespace zorbel
