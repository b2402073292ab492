// Test runner with the GUI application that fonts and images need.
#include "platform/fonts.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    platform::installFontSubstitutions();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
