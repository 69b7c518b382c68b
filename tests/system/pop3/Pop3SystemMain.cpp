#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char* argv[]) {
    // The transport's waits end in Qt's event loop; a whole check also opens message boxes,
    // which need Qt's widgets but no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
