#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/EngineChoices.h"
#include "app/QtMainThread.h"
#include "app/WindowChoicesFile.h"
#include "capture/ScreenCamera.h"
#include "platform/VideoTypes.h"
#include "unit/FakeServices.h"

namespace tolm {
namespace {

WindowChoices Unusual() {
    WindowChoices c;
    c.region = 3;
    c.area = Rect{100, 250, 640, 360};
    c.monitor = 2;
    c.allMonitors = true;
    c.outputFile = "/home/u/My Videos/a=b.mkv";
    c.recordType = 2;
    c.compressor = MakeFourCC('H', '2', '6', '4');
    c.quality = 7000;
    c.keyFrames = 25;
    c.frameMs = 40;
    c.playbackFps = 25;
    c.autoTiming = false;
    c.sound = true;
    c.soundInput = "Monitor of Built-in Audio";
    c.soundFormat = 11;
    c.cursor = false;
    c.effects = 0x0842;
    c.effectValues = {1, 2, 3, -4, 5, 6, 7, 8, 9, 10};
    c.rotation = 4;
    c.overlay = true;
    c.overlayEffects = true;
    c.overlayFile = "/tmp/logo.bmp";
    c.durationOn = true;
    c.hours = 1;
    c.minutes = 2;
    c.seconds = 3;
    c.colors = 1;
    c.priority = 5;
    c.frameRectangle = false;
    c.frameCorners = false;
    c.minimize = false;
    c.restore = false;
    c.updateMs = 100;
    c.wide = true;
    c.position = Point{-40, 12};
    return c;
}

TEST(WindowChoicesText, EveryChoiceComesBackFromItsText) {
    const WindowChoices kept = Unusual();
    WindowChoices read;
    std::string problem;
    ASSERT_TRUE(ParseWindowChoices(WindowChoicesText(kept), read, problem)) << problem;
    EXPECT_EQ(read, kept);
}

TEST(WindowChoicesText, ValuesThatNoLongerFitKeepTheirDefaultsQuietly) {
    WindowChoices read;
    std::string problem;
    ASSERT_TRUE(ParseWindowChoices("region=9\r\nmonitor=0\nsome-later-key=1\narea=5,5,0,10\nquality=0\nposition=\n",
                                   read, problem))
        << problem;
    EXPECT_EQ(read, WindowChoices{});
}

TEST(WindowChoicesText, TextThatIsNoSettingsTextIsRefused) {
    WindowChoices read;
    std::string problem;
    EXPECT_FALSE(ParseWindowChoices("region=3\n\x89PNG\n", read, problem));
    EXPECT_EQ(problem, "line 2 is no setting");
    EXPECT_FALSE(ParseWindowChoices("quality=ten\n", read, problem));
    EXPECT_FALSE(ParseWindowChoices("area=1,2,3\n", read, problem));
    EXPECT_FALSE(ParseWindowChoices(std::string("sound=yes\0", 10), read, problem));
    EXPECT_EQ(read, WindowChoices{});  // nothing half read
}

class WindowChoicesFileTest : public ::testing::Test {
  protected:
    void SetUp() override { folder_ = FreshEngineFolder("tolm-choices-"); }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    static std::string Slurp(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::string folder_;
};

TEST_F(WindowChoicesFileTest, KeptChoicesComeBackUntilForgotten) {
    WindowChoices read;
    std::string notice;
    EXPECT_EQ(LoadWindowChoices(read, notice), KeptChoices::none);
    std::string error;
    ASSERT_TRUE(SaveWindowChoices(Unusual(), error)) << error;
    EXPECT_EQ(WindowChoicesFile(), folder_ + "/tolm-screen-capture/window-settings");
    struct stat st {};
    ASSERT_EQ(::stat(WindowChoicesFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(LoadWindowChoices(read, notice), KeptChoices::loaded);
    EXPECT_EQ(read, Unusual());
    ASSERT_TRUE(ForgetWindowChoices(error)) << error;
    EXPECT_EQ(LoadWindowChoices(read, notice), KeptChoices::none);
    EXPECT_TRUE(ForgetWindowChoices(error));  // nothing left to forget is no failure
}

TEST_F(WindowChoicesFileTest, ADamagedFileIsSetAsideWithANotice) {
    std::string error;
    ASSERT_TRUE(SaveWindowChoices(Unusual(), error)) << error;
    const std::string file = WindowChoicesFile();
    std::ofstream(file, std::ios::trunc) << "region=3\ngarbage";
    WindowChoices read = Unusual();
    std::string notice;
    EXPECT_EQ(LoadWindowChoices(read, notice), KeptChoices::setAside);
    EXPECT_EQ(read, WindowChoices{});
    EXPECT_NE(notice.find(file + ".damaged"), std::string::npos) << notice;
    EXPECT_NE(notice.find("line 2"), std::string::npos) << notice;
    EXPECT_EQ(Slurp(file + ".damaged"), "region=3\ngarbage");
    EXPECT_EQ(LoadWindowChoices(read, notice), KeptChoices::none);
}

// Compressor lists differ between machines and between colour depths: the choice goes by its code.
TEST(EngineChoices, TheCompressorIsFoundByItsCodeAndAMissingOneKeepsTheDefault) {
    FreshEngineFolder("tolm-engine-choices-");
    FakeServices<QtMainThread, SteadyClock> machine;
    FakeCodec eightBitOnly = FakeCompressorManager::Codec("PAL8");
    eightBitOnly.bitCounts = {8};
    machine.compressors.Add(eightBitOnly);
    machine.compressors.Add(FakeCompressorManager::Codec("H264"));
    TScreenCamera camera(machine.Services());
    camera.GetVideoCodecList();  // 32 bits: H264 alone
    camera.SetSelectedCompressor(0);
    WindowChoices c;
    ReadEngineChoices(camera, c);
    EXPECT_EQ(c.compressor, MakeFourCC('H', '2', '6', '4'));

    camera.SetSelectedCompressor(-1);
    camera.SetColors(TPixelFormat::pf8bit);
    WriteEngineChoices(camera, c);
    EXPECT_EQ(camera.SelectedCompressor(), 1);

    camera.SetSelectedCompressor(-1);
    c.compressor = MakeFourCC('G', 'O', 'N', 'E');
    WriteEngineChoices(camera, c);
    EXPECT_EQ(camera.SelectedCompressor(), -1);
}

}  // namespace
}  // namespace tolm
