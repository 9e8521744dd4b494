#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/x11/X11ScreenSource.h"

namespace tolm::testing {
namespace {

TEST(X11ConnectionTest, DisplayWithoutServerGivesNullAndReason) {
    std::string error;
    EXPECT_EQ(CreateX11ScreenSource(":4999", error), nullptr);
    EXPECT_NE(error.find("Cannot open display :4999"), std::string::npos) << error;

    error.clear();
    EXPECT_EQ(CreateX11ScreenSource("not a display name", error), nullptr);
    EXPECT_NE(error.find("not a display name"), std::string::npos) << error;
    EXPECT_NE(error.find("not a valid display name"), std::string::npos) << error;
}

TEST(X11ConnectionTest, UnsetDisplayVariableIsNamed) {
    const char* previous = std::getenv("DISPLAY");
    const std::string saved = previous ? previous : "";
    unsetenv("DISPLAY");
    std::string error;
    const auto source = CreateX11ScreenSource("", error);
    if (previous) setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_EQ(source, nullptr);
    EXPECT_NE(error.find("DISPLAY is not set"), std::string::npos) << error;
}

}  // namespace
}  // namespace tolm::testing
