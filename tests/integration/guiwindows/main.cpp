// The window program's own windows on the X server in $DISPLAY, with Qt scaling everything by two, as on a
// desktop at 192 dpi: what they place and report must still be the server's pixels.
#include <gtest/gtest.h>

#include <QApplication>

#include "integration/Requirements.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!tolm::testing::HaveDisplay()) return RUN_ALL_TESTS();  // each test skips or fails as required
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
