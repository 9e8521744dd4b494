// Input files that are missing, cut short, of another kind or far too large: one clear reason, no crash, no hang,
// and the program goes on without them.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "app/MainWindow.h"
#include "app/OverlayPicture.h"
#include "app/QtMainThread.h"
#include "app/SettingsFile.h"
#include "capture/CaptureGlobals.h"
#include "imaging/Bitmap.h"
#include "platform/Clock.h"
#include "unit/FakeServices.h"

namespace tolm {
namespace {

namespace fs = std::filesystem;

class BadInputFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        dir =
            ::testing::TempDir() + "tolm-bad-input-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        return path;
    }
    std::string Read(const std::string& path) const {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // A sparse file: large on disk for the reader, cheap for the test.
    std::string Huge(const std::string& name, std::uintmax_t bytes, const std::string& start) const {
        const std::string path = Write(name, start);
        fs::resize_file(path, bytes);
        return path;
    }
    // A 40 x 30 picture in the BMP form the program's picker offers: a red square on green.
    std::string GoodBmp(const std::string& name) const {
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(qRgb(0, 255, 0));
        for (int y = 10; y < 20; ++y)
            for (int x = 15; x < 25; ++x) picture.setPixel(x, y, qRgb(255, 0, 0));
        const std::string path = dir + "/" + name;
        EXPECT_TRUE(picture.save(QString::fromStdString(path), "BMP"));
        return path;
    }

    std::string dir;
};

QString Problem(const std::string& path) {
    QString problem;
    const QImage picture = ReadBmpPicture(QString::fromStdString(path), problem);
    EXPECT_TRUE(picture.isNull()) << path;
    return problem;
}

TEST_F(BadInputFiles, OverlayCutAtAnyByteIsRefusedNeverShownHalfMadeUp) {
    const std::string whole = Read(GoodBmp("good.bmp"));
    ASSERT_GT(whole.size(), 54u + 40u * 30u * 3u - 1u);
    QString problem;
    const QImage picture = ReadBmpPicture(QString::fromStdString(dir + "/good.bmp"), problem);
    ASSERT_FALSE(picture.isNull()) << problem.toStdString();
    EXPECT_EQ(picture.size(), QSize(40, 30));
    EXPECT_EQ(picture.format(), QImage::Format_RGB32);
    EXPECT_TRUE(problem.isEmpty());

    // Every byte of the headers, then a stride through the rows, and the very end: the decoder alone would make
    // a picture of each of these from what is there.
    const std::string cut = dir + "/cut.bmp";
    for (std::size_t at = 0; at < whole.size(); at += at < 80 || at + 40 > whole.size() ? 1 : 37) {
        std::ofstream(cut, std::ios::binary | std::ios::trunc) << whole.substr(0, at);
        const QString why = Problem(cut);
        const QString expected = at == 0 ? QStringLiteral("it is empty") : QStringLiteral("it is cut short");
        ASSERT_EQ(why, expected) << "cut at " << at;
    }
}

TEST_F(BadInputFiles, OverlayOfAnotherKindOrDamagedHeaderSaysWhy) {
    EXPECT_EQ(Problem(dir + "/missing.bmp"), QStringLiteral("the file does not exist"));
    EXPECT_EQ(Problem(Write("text.bmp", "not a picture at all\n")), QStringLiteral("it is not a BMP picture"));
    QImage png(8, 8, QImage::Format_RGB32);
    png.fill(Qt::blue);
    ASSERT_TRUE(png.save(QString::fromStdString(dir + "/png.bmp"), "PNG"));
    EXPECT_EQ(Problem(dir + "/png.bmp"), QStringLiteral("it is not a BMP picture"));
    fs::create_directories(dir + "/folder.bmp");
    EXPECT_EQ(Problem(dir + "/folder.bmp"), QStringLiteral("it is not a file"));
    // A pipe would block the read until something writes to it.
    ASSERT_EQ(::mkfifo((dir + "/pipe.bmp").c_str(), 0600), 0);
    EXPECT_EQ(Problem(dir + "/pipe.bmp"), QStringLiteral("it is not a file"));
    EXPECT_EQ(Problem(Huge("huge.bmp", kMaxOverlayFileBytes + 1, "BM")), QStringLiteral("it is larger than 64 MB"));

    // Headers that would make the decoder allocate for a picture that is not there.
    std::string bytes = Read(GoodBmp("good.bmp"));
    const auto patch32 = [&bytes](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
    };
    patch32(18, 100000);  // width
    EXPECT_EQ(Problem(Write("wide.bmp", bytes)), QStringLiteral("its header is damaged"));
    patch32(18, 40);
    patch32(22, 0);  // height
    EXPECT_EQ(Problem(Write("flat.bmp", bytes)), QStringLiteral("its header is damaged"));
    patch32(22, 30);
    patch32(14, 5);  // info header size
    EXPECT_EQ(Problem(Write("short-header.bmp", bytes)), QStringLiteral("its header is damaged"));
    patch32(14, 40);
    patch32(10, 0x7FFFFFFF);  // pixels beyond the end
    EXPECT_EQ(Problem(Write("far.bmp", bytes)), QStringLiteral("it is cut short"));
}

TEST_F(BadInputFiles, OverlayIsReportedOncePerFailureAndComesBackWhenTheFileIsMended) {
    const std::string good = Read(GoodBmp("overlay.bmp"));
    const std::string path = Write("overlay.bmp", good.substr(0, good.size() / 2));
    TOverlayPicture overlay;
    overlay.SetFileName(QString::fromStdString(path));
    Bitmap frame(64, 48);
    frame.Fill(0x123456);
    EXPECT_EQ(overlay.Draw(frame), TOverlayPicture::DrawResult::unreadable);
    EXPECT_EQ(overlay.Problem(), QStringLiteral("it is cut short"));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(overlay.Draw(frame), TOverlayPicture::DrawResult::unreadableReported);
    EXPECT_EQ(frame.PixelRGB(32, 24), 0x123456u);  // recorded without it

    Write("overlay.bmp", good);
    EXPECT_EQ(overlay.Draw(frame), TOverlayPicture::DrawResult::drawn);
    EXPECT_EQ(frame.PixelRGB(32, 24), 0xFF0000u);
    Write("overlay.bmp", "plain text now");
    EXPECT_EQ(overlay.Draw(frame), TOverlayPicture::DrawResult::unreadable);
    EXPECT_EQ(overlay.Problem(), QStringLiteral("it is not a BMP picture"));
}

TEST_F(BadInputFiles, TheWindowShowsTheOverlaysProblemInOneBox) {
    ResetCaptureGlobals();
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    setenv("XDG_CACHE_HOME", dir.c_str(), 1);
    FakeServices<QtMainThread, SteadyClock> fake;
    auto window = std::make_unique<TfrmMain>(fake.Services());
    const auto boxes = [] {
        QCoreApplication::processEvents();
        QStringList texts;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                texts << box->text();
                box->close();
            }
        return texts;
    };
    window->show();
    boxes();  // the settings file beside the test program is missing
    const std::string path = Write("cut.bmp", Read(GoodBmp("cut.bmp")).substr(0, 100));
    window->findChild<QLineEdit*>(QStringLiteral("EditOverlayFile"))->setText(QString::fromStdString(path));
    Bitmap frame(64, 48);
    for (int i = 0; i < 5; ++i) window->Camera().OnOverlay(window->Camera(), frame, 64, 48);
    EXPECT_EQ(boxes(), QStringList{QString::fromStdString("Cannot load the overlay picture \"" + path +
                                                          "\" (it is cut short); frames are recorded without it.")});
    window.reset();
    boxes();
}

const std::string kSettings = "[SYSTEM]\nVersion=9.8\nHelpSupportLink=/doc/support.md\n";

std::string Stored(const std::string& plain) {
    std::string out;
    std::size_t start = 0;
    for (std::size_t end; (end = plain.find('\n', start)) != std::string::npos; start = end + 1)
        out += InvertText(plain.substr(start, end - start)) + "\n";
    return out;
}

TEST_F(BadInputFiles, SettingsOfGarbageGiveEmptyValuesWithoutAFuss) {
    std::mt19937 random(7);
    std::string noise(64 * 1024, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    for (const std::string& content : {noise, std::string(64 * 1024, '\0'), std::string(200000, 'x'),
                                       std::string(kSettings), Stored(kSettings).substr(0, 5)}) {
        TProgramSettings s;
        s.Version = "stale";
        std::string error;
        EXPECT_TRUE(ReadSettingsFile(Write("zorovadi.dll", content), s, error)) << error;
        EXPECT_EQ(s.Version, "");
        EXPECT_EQ(s.HelpSupportLink, "");
    }
}

TEST_F(BadInputFiles, SettingsLargerThanTheCapAreRefusedUnreadWithTheUsualMessage) {
    // Up to the cap the file is read, whatever pads it.
    std::string padded = Stored(kSettings);
    padded += std::string(kMaxTextFileBytes - padded.size(), '\n');
    TProgramSettings s;
    std::string error;
    ASSERT_TRUE(ReadSettingsFile(Write("full.dll", padded), s, error)) << error;
    EXPECT_EQ(s.Version, "9.8");

    const std::string reason = "It is larger than 1 MB; a file this large is not read.";
    for (const std::string& path : {Write("over.dll", padded + "\n"), Write("line.dll", std::string(10 << 20, 'q')),
                                    Huge("huge.dll", 50ull << 20, Stored(kSettings))}) {
        s.Version = "stale";
        EXPECT_FALSE(ReadSettingsFile(path, s, error));
        EXPECT_EQ(error, "Cannot open file \"" + path + "\". " + reason);
        EXPECT_EQ(s.Version, "");
    }
}

TEST_F(BadInputFiles, SettingsThatAreNoRegularFileAreRefusedWithoutWaiting) {
    const std::string pipe = dir + "/zorovadi.dll";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    TProgramSettings s;
    std::string error;
    EXPECT_FALSE(ReadSettingsFile(pipe, s, error));
    EXPECT_EQ(error, "Cannot open file \"" + pipe + "\". It is not a regular file.");
    // The character device that never ends.
    EXPECT_FALSE(ReadSettingsFile("/dev/zero", s, error));
    EXPECT_EQ(error, "Cannot open file \"/dev/zero\". It is not a regular file.");
}

}  // namespace
}  // namespace tolm
