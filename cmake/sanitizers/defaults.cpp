// Linked into every program of a ZORBEL_SANITIZE build, so the sanitizers run
// with these settings however the program is started: from ctest, a test
// script or by hand.

extern "C" {

// Leaks are checked at exit wherever LeakSanitizer runs with ASan, not only
// where it is on by default (x86-64 Linux).
const char *__asan_default_options()
{
    return "detect_leaks=1";
}

const char *__ubsan_default_options()
{
    return "print_stacktrace=1";
}

// A matched suppression is not news: without this LeakSanitizer lists them
// on stderr, which the tests rightly count as output.
const char *__lsan_default_options()
{
    return "print_suppressions=0";
}

// Only leaks of the libraries below us, each seen at the exit of the real
// window and never growing while it runs (tests/reliability/soak.sh checks that):
// - libdbus: Qt's D-Bus thread keeps the read buffer of its session-bus
//   connection (1032 bytes) when the program ends.
const char *__lsan_default_suppressions()
{
    return "leak:libdbus-1.so\n";
}

} // extern "C"
