#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "FfmpegTestSupport.h"
#include "platform/fake/FakeHost.h"
#include "platform/ffmpeg/FfmpegVideo.h"

namespace tolm::testing {
namespace {

constexpr std::uint32_t kMSVC = MakeFourCC('M', 'S', 'V', 'C');
constexpr std::uint32_t kH264 = MakeFourCC('H', '2', '6', '4');
constexpr std::uint32_t kCinepak = MakeFourCC('c', 'v', 'i', 'd');

BitmapInfoHeader Dib(int width, int height, int bits) {
    BitmapInfoHeader header;
    header.biWidth = width;
    header.biHeight = height;
    header.biBitCount = static_cast<std::uint16_t>(bits);
    return header;
}

std::vector<CompressorInfo> List(CompressorManager& manager) {
    std::vector<CompressorInfo> list;
    CompressorInfo info;
    for (std::uint32_t i = 0; manager.Info(ICTYPE_VIDEO, i, info); ++i) list.push_back(info);
    return list;
}

TEST(CompressorList, OffersTheRealEncodersInTheFixedOrder) {
    const auto manager = CreateFfmpegCompressorManager();
    const std::vector<CompressorInfo> list = List(*manager);
    ASSERT_GE(list.size(), 6u);
    EXPECT_EQ(list.front().fccHandler, kMSVC);  // the default compressor comes first
    EXPECT_EQ(list.front().szName, "MS Video Codec");

    const std::vector<std::string> order = {"MSVC", "MJPG", "ZMBV", "H264", "HFYU", "ULRG", "FMP4", "cvid", "MPNG"};
    std::size_t last = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const CompressorInfo& info = list[i];
        const auto at = std::find(order.begin(), order.end(), FourCCToString(info.fccHandler));
        ASSERT_NE(at, order.end()) << FourCCToString(info.fccHandler);
        const auto rank = static_cast<std::size_t>(at - order.begin());
        if (i > 0) {
            EXPECT_GT(rank, last) << FourCCToString(info.fccHandler) << " out of order";
        }
        last = rank;
        EXPECT_EQ(info.fccType, ICTYPE_VIDEO);
        EXPECT_FALSE(info.szName.empty());
        EXPECT_LE(info.szName.size(), 16u);
        EXPECT_LE(info.szDescription.size(), 128u);
        EXPECT_FALSE(info.szDriver.empty());
        EXPECT_GT(info.dwVersion, 0u);

        // Each opens, and describes itself the same way.
        const auto compressor = manager->Open(ICTYPE_VIDEO, info.fccHandler);
        ASSERT_NE(compressor, nullptr) << info.szName;
        EXPECT_EQ(compressor->GetInfo().szDescription, info.szDescription);
    }
}

TEST(CompressorList, EndsAndRefusesWhatIsNotThere) {
    const auto manager = CreateFfmpegCompressorManager();
    const std::size_t count = List(*manager).size();
    CompressorInfo info;
    EXPECT_FALSE(manager->Info(ICTYPE_VIDEO, static_cast<std::uint32_t>(count), info));
    EXPECT_FALSE(manager->Info(ICTYPE_VIDEO, 1000, info));
    EXPECT_FALSE(manager->Info(MakeFourCC('a', 'u', 'd', 'c'), 0, info));
    EXPECT_EQ(manager->Open(ICTYPE_VIDEO, MakeFourCC('X', 'X', 'X', 'X')), nullptr);
    EXPECT_EQ(manager->Open(ICTYPE_VIDEO, 0), nullptr);
}

TEST(CompressQuery, AnswersFromTheEncodersSizeRules) {
    const auto manager = CreateFfmpegCompressorManager();
    const auto msvc = manager->Open(ICTYPE_VIDEO, kMSVC);
    ASSERT_NE(msvc, nullptr);
    // Blocks of 4x4: the engine widens 301 to 304.
    EXPECT_FALSE(msvc->CompressQuery(Dib(301, 200, 32)));
    EXPECT_FALSE(msvc->CompressQuery(Dib(302, 200, 32)));
    EXPECT_TRUE(msvc->CompressQuery(Dib(304, 200, 32)));
    EXPECT_FALSE(msvc->CompressQuery(Dib(304, 202, 32)));
    EXPECT_FALSE(msvc->CompressQuery(Dib(301, 200, 32)));  // cached answers stay the same
    for (int bits : {8, 16, 24}) EXPECT_TRUE(msvc->CompressQuery(Dib(304, 200, bits))) << bits;

    if (const auto h264 = manager->Open(ICTYPE_VIDEO, kH264)) {
        EXPECT_FALSE(h264->CompressQuery(Dib(301, 200, 32)));  // 4:2:0 needs even sizes
        EXPECT_TRUE(h264->CompressQuery(Dib(302, 200, 32)));
        EXPECT_FALSE(h264->CompressQuery(Dib(302, 201, 32)));
    }
    if (const auto cinepak = manager->Open(ICTYPE_VIDEO, kCinepak)) {
        EXPECT_FALSE(cinepak->CompressQuery(Dib(302, 200, 24)));
        EXPECT_TRUE(cinepak->CompressQuery(Dib(304, 200, 24)));
    }
}

TEST(CompressQuery, RefusesFramesItCannotRead) {
    const auto manager = CreateFfmpegCompressorManager();
    for (const CompressorInfo& info : List(*manager)) {
        const auto compressor = manager->Open(ICTYPE_VIDEO, info.fccHandler);
        ASSERT_NE(compressor, nullptr);
        BitmapInfoHeader compressed = Dib(320, 240, 24);
        compressed.biCompression = MakeFourCC('M', 'J', 'P', 'G');
        EXPECT_FALSE(compressor->CompressQuery(compressed)) << info.szName;
        EXPECT_FALSE(compressor->CompressQuery(Dib(320, 240, 4))) << info.szName;
        EXPECT_FALSE(compressor->CompressQuery(Dib(320, -240, 32))) << info.szName;  // top-down
        EXPECT_FALSE(compressor->CompressQuery(Dib(0, 240, 32))) << info.szName;
        EXPECT_TRUE(compressor->CompressQuery(Dib(320, 240, 32))) << info.szName;
    }
}

TEST(CompressorDialogs, AboutNamesTheEncoderAndItsLibrary) {
    const auto manager = CreateFfmpegCompressorManager();
    const auto msvc = manager->Open(ICTYPE_VIDEO, kMSVC);
    ASSERT_NE(msvc, nullptr);
    FakeHost host;
    ASSERT_TRUE(msvc->HasAboutBox());
    msvc->ShowAbout(host);
    ASSERT_EQ(host.Notices().size(), 1u);
    const std::string text = host.Notices()[0].text;
    EXPECT_NE(text.find("MS Video Codec"), std::string::npos) << text;
    EXPECT_NE(text.find("msvideo1"), std::string::npos) << text;
    EXPECT_NE(text.find("libavcodec"), std::string::npos) << text;
    // Nothing of MS Video 1's own is worth editing.
    EXPECT_FALSE(msvc->HasConfigureDialog());
    msvc->Configure(host);
    EXPECT_TRUE(host.Forms().empty());
}

// x264 writes its settings into the stream; CABAC is what the fastest preset turns off.
std::string FirstPacketOfClip(AviLibrary& library, const std::string& path) {
    ClipPlan plan;
    plan.handler = kH264;
    plan.positions = {0};
    if (WriteClip(library, path, plan) != AVIERR_OK) return {};
    std::unique_ptr<AviFile> file;
    std::shared_ptr<AviStream> stream;
    std::vector<std::uint8_t> data;
    std::uint32_t flags = 0;
    if (library.OpenFile(path, AviOpenMode::read, file) != AVIERR_OK || file->GetStream(0, 0, stream) != AVIERR_OK ||
        stream->Read(0, data, flags) != AVIERR_OK)
        return {};
    return std::string(data.begin(), data.end());
}

TEST(CompressorDialogs, ConfiguredSettingsApplyToLaterEncoders) {
    Video video = MakeVideo();
    const auto h264 = video.compressors->Open(ICTYPE_VIDEO, kH264);
    if (!h264) GTEST_SKIP() << "no x264 here";
    ASSERT_TRUE(h264->HasConfigureDialog());
    TempFolder folder;
    EXPECT_NE(FirstPacketOfClip(*video.library, folder.Path("before.avi")).find("cabac=1"), std::string::npos);

    FakeHost host;
    host.SetFormEdits({{"preset", "ultrafast"}}, true);
    h264->Configure(host);
    ASSERT_EQ(host.Forms().size(), 1u);
    EXPECT_TRUE(host.Notices().empty());
    EXPECT_NE(FirstPacketOfClip(*video.library, folder.Path("after.avi")).find("cabac=0"), std::string::npos);

    // The form shows the kept values next time; a refused form changes nothing.
    FakeHost again;
    again.SetFormEdits({{"preset", "veryslow"}}, false);
    video.compressors->Open(ICTYPE_VIDEO, kH264)->Configure(again);
    EXPECT_NE(FirstPacketOfClip(*video.library, folder.Path("kept.avi")).find("cabac=0"), std::string::npos);
}

TEST(CompressorDialogs, RefusedValuesKeepThePreviousSettings) {
    const auto manager = CreateFfmpegCompressorManager();
    const auto cinepak = manager->Open(ICTYPE_VIDEO, kCinepak);
    if (!cinepak) GTEST_SKIP() << "no Cinepak here";
    ASSERT_TRUE(cinepak->HasConfigureDialog());
    FakeHost host;
    host.SetFormEdits({{"max_strips", "99"}}, true);  // beyond the encoder's 1..32
    cinepak->Configure(host);
    ASSERT_EQ(host.Notices().size(), 1u);
    EXPECT_EQ(host.Notices()[0].icon, NoticeIcon::error);
    // Still usable: the refused value did not stick.
    EXPECT_TRUE(cinepak->CompressQuery(Dib(64, 64, 24)));
}

}  // namespace
}  // namespace tolm::testing
