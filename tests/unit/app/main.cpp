#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryFile>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // No display needed: the widgets render off screen, on one screen as large as the fake desktop's.
    QTemporaryFile screens;
    if (screens.open()) {
        screens.write(R"({"screens": [{"name": "fake", "x": 0, "y": 0, "width": 1920, "height": 1080}]})");
        screens.close();
    }
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toLocal8Bit());
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
