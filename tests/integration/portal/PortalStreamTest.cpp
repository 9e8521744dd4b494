// The screen of a real desktop through its ScreenCast portal, with the moving test scene shown on it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "imaging/Bitmap.h"
#include "integration/PollUntil.h"
#include "integration/Requirements.h"
#include "integration/driver/ProgramRuns.h"
#include "integration/ffmpeg/FfmpegTestSupport.h"
#include "platform/portal/PortalScreenSource.h"
#include "support/ScopedEnv.h"

namespace tolm::testing {
namespace {

// The stack's output size; its scripts may set another one.
Rect ExpectedOutput() {
    int width = 1280;
    int height = 720;
    if (const char* size = std::getenv("TOLM_WAYLAND_OUTPUT_SIZE")) std::sscanf(size, "%dx%d", &width, &height);
    return Rect{0, 0, width, height};
}

bool SamePixels(const Bitmap& a, const Bitmap& b) {
    return a.Width() == b.Width() && a.Height() == b.Height() && std::memcmp(a.Bits(), b.Bits(), a.ByteSize()) == 0;
}

TEST(PortalAvailability, AMissingSessionBusIsNamed) {
    const ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tolm-test-bus");
    std::string why;
    EXPECT_FALSE(PortalAvailable(why));
    EXPECT_EQ(why, "no session bus");
    std::string error;
    std::vector<std::string> notices;
    EXPECT_EQ(CreatePortalScreenSource(PortalOptions{}, error, notices), nullptr);
    EXPECT_NE(error.find("session bus"), std::string::npos) << error;
}

// One grant of the desktop for all tests: each grant may ask the user, and every start costs a second.
class PortalStream : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::string why;
        if (!PortalAvailable(why)) {
            missing_ = why.empty() ? "unknown" : why;
            return;
        }
        folder_ = std::make_unique<TempFolder>();
        if (std::getenv("DISPLAY") != nullptr) scene_ = Spawn({std::string(TOLM_BIN_DIR) + "/tolm-scene"});
        PortalOptions options;
        options.restoreTokenFile = folder_->Path("state/tolm/token");
        std::vector<std::string> notices;
        source_ = CreatePortalScreenSource(options, error_, notices);
    }
    static void TearDownTestSuite() {
        source_.reset();
        if (scene_ > 0) {
            ::kill(scene_, SIGTERM);
            ::waitpid(scene_, nullptr, 0);
        }
        folder_.reset();
    }
    void SetUp() override {
        TOLM_SKIP_UNLESS(missing_.empty(), "TOLM_REQUIRE_WAYLAND", "no ScreenCast portal: " << missing_);
        ASSERT_NE(source_, nullptr) << error_;
    }

    static inline std::string missing_;
    static inline std::string error_;
    static inline std::unique_ptr<TempFolder> folder_;
    static inline std::unique_ptr<ScreenSource> source_;
    static inline pid_t scene_ = -1;
};

TEST_F(PortalStream, MonitorsAreTheOutput) {
    EXPECT_EQ(source_->Monitors(), std::vector<Rect>{ExpectedOutput()});
    EXPECT_EQ(source_->VirtualDesktop(), ExpectedOutput());
}

TEST_F(PortalStream, GrabsSeeTheSceneMove) {
    Bitmap first;
    ASSERT_TRUE(source_->Grab(ExpectedOutput(), first)) << source_->LastError();
    Bitmap later;
    EXPECT_TRUE(PollUntil(
        [&] {
            EXPECT_TRUE(source_->Grab(ExpectedOutput(), later)) << source_->LastError();
            return !SamePixels(first, later);
        },
        5000ms))
        << "the picture did not change; is tolm-scene shown on the desktop?";
}

TEST_F(PortalStream, AreaPastTheCornerIsBlackOutside) {
    const Rect output = ExpectedOutput();
    const Rect area{output.Right() - 32, output.Bottom() - 32, 64, 64};
    Bitmap image;
    ASSERT_TRUE(source_->Grab(area, image)) << source_->LastError();
    bool insideShows = false;
    for (int y = 0; y < area.height; ++y) {
        for (int x = 0; x < area.width; ++x) {
            if (x >= 32 || y >= 32) {
                ASSERT_EQ(image.PixelRGB(x, y), 0u) << x << "," << y;
            } else {
                insideShows = insideShows || image.PixelRGB(x, y) != 0;
            }
        }
    }
    EXPECT_TRUE(insideShows) << "the output's corner came out black as well";
}

TEST_F(PortalStream, PartsAreCutFromTheirPlace) {
    const Rect part{600, 60, 200, 100};
    Bitmap whole;
    Bitmap cut;
    // Both grabs come from one picture nearly always; a new picture between them only means another round.
    EXPECT_TRUE(PollUntil(
        [&] {
            if (!source_->Grab(ExpectedOutput(), whole) || !source_->Grab(part, cut)) return false;
            Bitmap expected(part.width, part.height);
            expected.Draw(-part.left, -part.top, whole);
            return SamePixels(expected, cut);
        },
        5000ms))
        << source_->LastError();
}

// The preview and the recording worker grab at the same time while PipeWire's thread brings new pictures.
TEST_F(PortalStream, ThreadsGrabAtOnce) {
    const auto grabs = [] {
        Bitmap image;
        CursorImage cursor;
        for (int i = 0; i < 50; ++i) {
            EXPECT_TRUE(source_->Grab(Rect{0, 0, 320, 200}, image)) << source_->LastError();
            source_->AreaChanged(Rect{0, 0, 320, 200});
            source_->QueryCursor(cursor);  // fails where the desktop hands over no pointer
            std::this_thread::sleep_for(5ms);
        }
    };
    std::thread preview(grabs);
    grabs();
    preview.join();
}

TEST_F(PortalStream, KeepsTheRestoreTokenPrivate) {
    struct stat file {};
    struct stat folder {};
    ASSERT_EQ(::stat(folder_->Path("state/tolm/token").c_str(), &file), 0) << "no restore token was written";
    ASSERT_EQ(::stat(folder_->Path("state/tolm").c_str(), &folder), 0);
    EXPECT_EQ(file.st_mode & 0777, 0600u);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
}

}  // namespace
}  // namespace tolm::testing
