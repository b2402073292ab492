// GoogleTest main with a QApplication (offscreen in the test environment), as the
// application object and the dialogs need one.
#include "platform/fonts.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char **argv)
{
    // Listing the tests (at build time) has no display either.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    platform::installFontSubstitutions();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
