#include <gtest/gtest.h>

#include <QApplication>

// Widget and drawing tests need an application object; they run on Qt's offscreen platform.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
