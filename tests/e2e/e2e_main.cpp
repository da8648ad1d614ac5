// The end-to-end tests share one QCoreApplication: the Qt adapters need its event loop.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstdlib>

int main(int argc, char** argv) {
    // The programs started here speak the locale's language; the tests read their English
    // unless a test names another locale.
    ::setenv("LC_ALL", "C", 1);
    ::unsetenv("LANGUAGE");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
