#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/OverlayPicture.h"
#include "imaging/Bitmap.h"

namespace tolm {
namespace {

// The colour of picture pixel (x, y) in these tests: distinct for every pixel, never the transparent black.
QRgb PixelColour(int x, int y) {
    return qRgb(1 + x % 251, 1 + y % 251, 1 + (x / 251) % 251);
}

QImage MakePicture(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) picture.setPixel(x, y, PixelColour(x, y));
    picture.setPixel(0, height - 1, qRgb(0, 0, 0));  // the transparent colour
    return picture;
}

// Every frame pixel is the picture's pixel under it (the centred placement), or the background where the
// picture does not reach or is transparent.
void ExpectCentred(const Bitmap& frame, int width, int height, std::uint32_t background) {
    const int left = frame.Width() / 2 - width / 2;
    const int top = frame.Height() / 2 - height / 2;
    for (int fy = 0; fy < frame.Height(); ++fy) {
        for (int fx = 0; fx < frame.Width(); ++fx) {
            const int x = fx - left;
            const int y = fy - top;
            const bool covered = x >= 0 && x < width && y >= 0 && y < height && !(x == 0 && y == height - 1);
            const std::uint32_t want = covered ? (PixelColour(x, y) & 0xFFFFFFu) : background;
            ASSERT_EQ(frame.PixelRGB(fx, fy), want) << "frame pixel " << fx << "," << fy;
        }
    }
}

// Pictures far wider or taller than the frame, as a damaged or odd file gives them, are cut to the frame on
// every side; small ones keep their place, also at odd sizes where the halves round.
TEST(OverlayFuzzRegression, PicturesOfEveryShapeAreCutToTheFrame) {
    struct Shape {
        int width;
        int height;
    };
    for (const Shape shape :
         {Shape{100001, 3}, Shape{5, 70001}, Shape{40, 26}, Shape{37, 21}, Shape{1, 1}, Shape{3, 2}, Shape{38, 1}}) {
        SCOPED_TRACE(testing::Message() << shape.width << "x" << shape.height);
        const QImage picture = MakePicture(shape.width, shape.height);
        Bitmap frame(37, 21);
        frame.Fill(0x202020);
        DrawTransparentCentred(frame, picture);
        ExpectCentred(frame, shape.width, shape.height, 0x202020);
    }
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TOLM_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TOLM_SANITIZED 1
#endif
#endif

// Private writable memory of this process now, from /proc/self/status (VmData), in bytes; 0 when unknown.
[[maybe_unused]] rlim_t DataInUse() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmData:", 0) == 0) return static_cast<rlim_t>(std::stoull(line.substr(7))) * 1024;
    return 0;
}

// The fuzz target found every load of an overlay, a tiny one too, setting aside 128 MB. Under a limit of 48 MB
// more than the process uses, a 7x5 picture must still load.
TEST(OverlayFuzzRegression, ASmallPictureLoadsWithLittleMemory) {
#ifdef TOLM_SANITIZED
    GTEST_SKIP() << "the sanitizers' shadow memory counts against a data limit";
#else
    // The picture the fuzz target started from: 7x5, 24 bits.
    std::vector<std::uint8_t> bmp = {'B', 'M', 174, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0,   0,
                                     7,   0,   0,   0, 5, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0,  0, 120, 0,
                                     0,   0,   0,   0, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0,  0, 0,   0};
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x)
            for (const int c : {x * 40, y * 60, (x + y) * 30}) bmp.push_back(static_cast<std::uint8_t>(c));
        for (int pad = 0; pad < 3; ++pad) bmp.push_back(0);
    }
    ASSERT_EQ(bmp.size(), 174u);
    const std::string path = ::testing::TempDir() + "tolm-overlay-small-" + std::to_string(::getpid()) + ".bmp";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
    const rlim_t inUse = DataInUse();
    ASSERT_GT(inUse, 0u);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{inUse + (48u << 20), inUse + (48u << 20)};
        if (::setrlimit(RLIMIT_DATA, &limit) != 0) ::_exit(3);
        try {
            QString problem;
            const QImage picture = ReadBmpPicture(QString::fromStdString(path), problem);
            ::_exit(picture.width() == 7 && picture.height() == 5 ? 0 : 1);
        } catch (...) {
            ::_exit(2);  // out of memory
        }
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    std::remove(path.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: not loaded, 2: out of memory, 3: no limit";
#endif
}

}  // namespace
}  // namespace tolm
