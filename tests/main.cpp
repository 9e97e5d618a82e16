// The test runner: one QApplication on the offscreen platform (unless a test
// run asks for another), local time fixed to UTC (tests of local time set
// their own zone with TimeZoneGuard), and Qt's test mode for standard paths.

#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

// The sanitizers read these before main() runs: no leak report at exit (Qt
// keeps some allocations until the process ends), and stop at the first
// undefined behaviour with a stack trace.
extern "C" const char* __asan_default_options()
{
    return "detect_leaks=0:abort_on_error=0";
}

extern "C" const char* __ubsan_default_options()
{
    return "print_stacktrace=1:halt_on_error=1";
}

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Tests of files made at build time need the zone the build ran in.
    qputenv("CHRONOPURGE_SYSTEM_TZ", qgetenv("TZ"));
    qputenv("TZ", "UTC0");
    tzset();
    QStandardPaths::setTestModeEnabled(true);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
