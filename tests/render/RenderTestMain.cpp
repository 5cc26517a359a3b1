#include <gtest/gtest.h>

#include <QGuiApplication>

// Drawing tests need a GUI application for fonts; they run on Qt's offscreen platform unless
// told otherwise, and listing the tests (ctest's discovery) must work without a display too.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ::testing::InitGoogleTest(&argc, argv);
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
