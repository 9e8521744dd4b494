#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "FfmpegTestSupport.h"
#include "platform/fake/FakeHost.h"

namespace tolm::testing {
namespace {

BitmapInfoHeader Dib(int width, int height, int bits) {
    BitmapInfoHeader header;
    header.biWidth = width;
    header.biHeight = height;
    header.biBitCount = static_cast<std::uint16_t>(bits);
    return header;
}

// The options dialog queries and configures compressors on the main thread while recordings write on
// their workers.
TEST(Threading, QueriesAndRecordingsRunSideBySide) {
    const std::string missing = MissingTools();
    ASSERT_TRUE(missing.empty()) << missing;
    Video video = MakeVideo();
    TempFolder folder;
    std::vector<int> positions;
    for (int p = 0; p < 30; ++p) positions.push_back(p * 2);

    std::atomic<bool> done{false};
    std::vector<std::string> paths;
    std::vector<AviResult> results(3, AVIERR_ERROR);
    std::vector<std::thread> workers;
    const std::uint32_t handlers[] = {MakeFourCC('M', 'J', 'P', 'G'), MakeFourCC('H', '2', '6', '4'), 0};
    for (int i = 0; i < 3; ++i) paths.push_back(folder.Path("clip" + std::to_string(i) + ".avi"));
    for (int i = 0; i < 3; ++i) {
        workers.emplace_back([&, i] {
            ClipPlan plan;
            plan.handler = handlers[i];
            plan.positions = positions;
            results[i] = WriteClip(*video.library, paths[i], plan);
        });
    }

    int rounds = 0;
    std::thread watcher([&] {
        for (auto& w : workers) w.join();
        done = true;
    });
    while (!done || rounds < 3) {
        CompressorInfo info;
        for (std::uint32_t i = 0; video.compressors->Info(ICTYPE_VIDEO, i, info); ++i) {
            const auto compressor = video.compressors->Open(ICTYPE_VIDEO, info.fccHandler);
            ASSERT_NE(compressor, nullptr);
            EXPECT_TRUE(compressor->CompressQuery(Dib(320 + 16 * (rounds % 4), 240, 32))) << info.szName;
            if (compressor->HasConfigureDialog()) {
                FakeHost host;
                host.SetFormEdits({}, true);  // accepts the values it was shown
                compressor->Configure(host);
                EXPECT_TRUE(host.Notices().empty()) << info.szName;
            }
        }
        ++rounds;
    }
    watcher.join();

    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(results[i], AVIERR_OK) << i;
        EXPECT_EQ(ProbeStream(paths[i], 0)["nb_frames"], "59") << i;
    }
}

}  // namespace
}  // namespace tolm::testing
