#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char* argv[]) {
    // Pictures and widgets need Qt's plugins, not a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
