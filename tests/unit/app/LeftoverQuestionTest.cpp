// The window's question about interrupted recordings at its first showing, answered by the test's host.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/MainWindow.h"
#include "app/QtMainThread.h"
#include "capture/CaptureGlobals.h"
#include "capture/RecordingNote.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "unit/FakeServices.h"

namespace tolm {
namespace {

namespace fs = std::filesystem;

class LeftoverQuestion : public ::testing::Test, protected FakeServices<QtMainThread, SteadyClock> {
  protected:
    void SetUp() override {
        folder = FreshEngineFolder("tolm-leftover-");
        window = std::make_unique<TfrmMain>(Services());
        temp = FolderOf(Globals().TempVideoFile());
        CloseBoxes();
    }
    void TearDown() override {
        window.reset();
        CloseBoxes();
        fs::remove_all(folder);
    }

    // A file of one stream the AVI library reads, `length` samples long, last written `age` ago.
    std::string Leftover(const std::string& name, bool video, std::uint32_t length, std::chrono::minutes age) {
        const std::string path = temp + "/" + name;
        auto data = std::make_shared<FakeAviLibrary::FileData>();
        auto stream = std::make_shared<FakeAviLibrary::StreamData>();
        stream->info.fccType = video ? streamtypeVIDEO : streamtypeAUDIO;
        stream->info.dwScale = 1;
        stream->info.dwRate = video ? 10 : 8000;
        stream->info.dwLength = length;
        stream->format = {1};
        for (std::uint32_t p = 0; p < length; ++p) stream->samples[static_cast<std::int32_t>(p)] = {{7}, 0};
        data->streams.push_back(stream);
        avi.AddFile(path, data);
        std::ofstream(path, std::ios::binary) << std::string(256 * 1024, 'x');
        fs::last_write_time(path, fs::file_time_type::clock::now() - age);
        return path;
    }

    // Shows the window with this output file and lets it ask, keeping what it logged.
    void ShowAndAnswer(const std::string& output) {
        window->show();
        OutputEdit()->setText(QString::fromStdString(output));
        ::testing::internal::CaptureStderr();
        // The questions come from the event loop, after the showing; each save is waited for within.
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
        stateLog = ::testing::internal::GetCapturedStderr();
    }
    QStringList Boxes() {
        QCoreApplication::processEvents();
        QStringList texts;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) texts << box->text();
        return texts;
    }
    void CloseBoxes() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) box->close();
        QCoreApplication::processEvents();
    }
    QLineEdit* OutputEdit() { return window->findChild<QLineEdit*>(QStringLiteral("EditOutputDir")); }

    std::string folder;
    std::string temp;
    std::string stateLog;
    std::unique_ptr<TfrmMain> window;
};

TEST_F(LeftoverQuestion, OneQuestionPerRecordingYesSavesUnderAFreeNameNoDeletes) {
    const std::string killedVideo = Leftover("tmpVideoStream.avi", true, 420, std::chrono::minutes(10));
    const std::string killedSound = Leftover("tmpAudioStream.wav", false, 8000, std::chrono::minutes(10));
    const std::string declined =
        Leftover("unsaved-20240101-101010-tmpVideoStream.avi", true, 50, std::chrono::minutes(20));
    const std::string soundOnly =
        Leftover("unsaved-20240101-090909-tmpAudioStream.wav", false, 16000, std::chrono::minutes(30));
    host.QueueAnswers({true, false, true});
    // The output name is taken: nothing already there is replaced.
    const std::string output = folder + "/Capture.avi";
    std::ofstream(output) << "an earlier recording";
    ShowAndAnswer(output);

    const auto questions = host.Questions();
    ASSERT_EQ(questions.size(), 3u);
    for (const auto& q : questions) EXPECT_EQ(q.title, "Notice");
    EXPECT_EQ(questions[0].text.rfind("An interrupted recording was found (0.5 MB, about 42 s, with sound, last "
                                      "written ",
                                      0),
              0u)
        << questions[0].text;
    EXPECT_TRUE(questions[0].text.ends_with("). Save it now?")) << questions[0].text;
    EXPECT_NE(questions[1].text.find("(0.2 MB, about 5 s, last written "), std::string::npos) << questions[1].text;
    EXPECT_NE(questions[2].text.find("about 2 s, sound only, no picture"), std::string::npos) << questions[2].text;

    std::ifstream earlier(output);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(earlier), {}), "an earlier recording");
    const auto first = avi.File(folder + "/Capture (recovered).avi");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->streams.size(), 2u);
    const auto second = avi.File(folder + "/Capture (recovered 2).avi");
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(second->streams.size(), 1u);
    EXPECT_EQ(second->streams[0]->info.fccType, streamtypeAUDIO);
    for (const std::string& gone : {killedVideo, killedSound, declined, soundOnly})
        EXPECT_FALSE(FileExists(gone)) << gone;

    // The usual path of a save: its progress, its success, then the idle state.
    EXPECT_NE(stateLog.find("tolm-capture: Saving Success..."), std::string::npos) << stateLog;
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("LStatus"))->text(), QStringLiteral("No Status"));
    EXPECT_TRUE(window->findChild<QWidget*>(QStringLiteral("RecBut"))->isEnabled());
    EXPECT_TRUE(Boxes().isEmpty()) << Boxes().join(QLatin1Char('\n')).toStdString();
}

TEST_F(LeftoverQuestion, ANotedRecordingIsSavedBesideTheFileItWasMeantForAndTheWindowSaysWhere) {
    const std::string video = Leftover("tmpVideoStream.avi", true, 10, std::chrono::minutes(1));
    fs::create_directory(folder + "/out");
    RecordingNote note;
    note.outputFile = folder + "/out/crash.avi";
    std::ofstream(Globals().TempNoteFile()) << note.Text();
    host.QueueAnswers({true});
    ShowAndAnswer(folder + "/Capture.avi");

    const std::string recovered = folder + "/out/crash (recovered).avi";
    EXPECT_NE(avi.File(recovered), nullptr);
    EXPECT_FALSE(FileExists(folder + "/Capture.avi"));
    const auto notices = host.Notices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].text, "The interrupted recording was saved as " + recovered + ".");
}

TEST_F(LeftoverQuestion, AFailedSaveShowsOneMessageAndKeepsTheFiles) {
    const std::string video = Leftover("tmpVideoStream.avi", true, 10, std::chrono::minutes(1));
    avi.saveResult = AVIERR_FILEWRITE;
    host.QueueAnswers({true});
    ShowAndAnswer(folder + "/out.avi");
    EXPECT_EQ(host.Questions().size(), 1u);
    const std::string message =
        "Error: writing files! The interrupted recording was not saved; it is kept in " + video + ".";
    EXPECT_EQ(Boxes(), QStringList{QString::fromStdString(message)});
    EXPECT_TRUE(FileExists(video));
    EXPECT_TRUE(window->findChild<QWidget*>(QStringLiteral("RecBut"))->isEnabled());
}

TEST_F(LeftoverQuestion, NothingLeftAsksNothingAndTheQuestionComesOnlyOnce) {
    ShowAndAnswer(folder + "/out.avi");
    EXPECT_TRUE(host.Questions().empty());
    // Shown again (restored from the task bar): no second round.
    Leftover("tmpVideoStream.avi", true, 10, std::chrono::minutes(1));
    window->hide();
    ShowAndAnswer(folder + "/out.avi");
    EXPECT_TRUE(host.Questions().empty());
}

TEST(RecoveryFileName, TheWantedNameWhenFreeElseTheFirstFreeRecoveredName) {
    const std::string dir = ::testing::TempDir() + "tolm-recovery-names.d";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const QString base = QString::fromStdString(dir);
    EXPECT_EQ(TfrmMain::RecoveryFileName(base + "/Capture.avi"), base + "/Capture.avi");
    std::ofstream(dir + "/Capture.avi") << "x";
    EXPECT_EQ(TfrmMain::RecoveryFileName(base + "/Capture.avi"), base + "/Capture (recovered).avi");
    std::ofstream(dir + "/Capture (recovered).avi") << "x";
    // A link to nowhere is taken too: saving over it would write where it points.
    fs::create_symlink(dir + "/nowhere", dir + "/Capture (recovered 2).avi");
    EXPECT_EQ(TfrmMain::RecoveryFileName(base + "/Capture.avi"), base + "/Capture (recovered 3).avi");
    // Only the name's last dot starts the extension; a name without one gets none.
    std::ofstream(dir + "/my.clip.avi") << "x";
    EXPECT_EQ(TfrmMain::RecoveryFileName(base + "/my.clip.avi"), base + "/my.clip (recovered).avi");
    fs::create_directories(dir + "/folder.d");
    std::ofstream(dir + "/folder.d/plain") << "x";
    EXPECT_EQ(TfrmMain::RecoveryFileName(base + "/folder.d/plain"), base + "/folder.d/plain (recovered)");
    std::ofstream(dir + "/.hidden") << "x";
    EXPECT_EQ(TfrmMain::RecoveryFileName(base + "/.hidden"), base + "/.hidden (recovered)");
    fs::remove_all(dir);
}

}  // namespace
}  // namespace tolm
