#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "integration/driver/DesktopTestClient.h"
#include "platform/EventLoop.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11ScreenSource.h"

namespace tolm::testing {

// A desktop on $DISPLAY with this thread's event loop as its main thread, a second client playing the rest
// of the desktop, and a screen source to look at the result. The tests run one at a time on the display:
// they move the pointer, press keys and grab them.
class DesktopFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        TOLM_SKIP_WITHOUT_DISPLAY();
        ASSERT_TRUE(client_.Connected());
        std::string error;
        desktop_ = X11Desktop::Create("", loop_, error);
        ASSERT_NE(desktop_, nullptr) << error;
        screen_ = CreateX11ScreenSource("", error);
        ASSERT_NE(screen_, nullptr) << error;
    }

    EventLoop loop_;
    DesktopTestClient client_;
    std::unique_ptr<X11Desktop> desktop_;
    std::unique_ptr<ScreenSource> screen_;
};

}  // namespace tolm::testing
