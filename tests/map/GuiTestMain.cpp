#include <gtest/gtest.h>

#include <QApplication>

// Widget and drawing tests need an application object. They run on Qt's offscreen platform
// unless told otherwise; listing the tests (ctest's discovery) must work without a display too.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
