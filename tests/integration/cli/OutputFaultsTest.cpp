// tolm-record when the disk fills or the output cannot be had: the disk-space stop keeps a playable file, a
// held output keeps the recording for --recover, a folder that cannot be written is refused before recording;
// a save that is killed, cancelled or fails on its file leaves the old file alone.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "integration/cli/TolmRecordFixture.h"
#include "integration/driver/PrivateServers.h"

namespace tolm::testing {
namespace {

const std::string kRecorder = kBin + "/tolm-record";

double Seconds(const std::string& file) {
    const auto video = ProbeStream(file, 0);
    const auto frames = video.find("nb_frames");
    return frames == video.end() ? 0 : std::stod(frames->second) / 50.0;
}

// The recorders' temporary folder is the test's: a plain folder, or a small file system mounted there.
class OutputFaults : public TolmRecord {
  protected:
    void TearDown() override {
        cacheEnv_.reset();
        runtimeEnv_.reset();
        mount_.reset();
        TolmRecord::TearDown();
    }
    void UseRuntime(const std::string& runtime) {
        runtime_ = runtime;
        runtimeEnv_.emplace("XDG_RUNTIME_DIR", runtime);
        cacheEnv_.emplace("XDG_CACHE_HOME", runtime);
    }
    void UsePlainRuntime() {
        ASSERT_EQ(::mkdir(folder.Path("run").c_str(), 0700), 0);
        UseRuntime(folder.Path("run"));
    }
    // False (the test skipped) where mounting is not allowed.
    bool UseSmallRuntime() {
        mount_.emplace(folder.Path("small"), "size=128m,mode=700");
        if (!mount_->Mounted()) return false;
        UseRuntime(folder.Path("small"));
        return true;
    }
    std::string Leftovers() const { return runtime_ + "/tolm-screen-capture"; }
    std::vector<std::string> Kept() const {
        std::vector<std::string> kept;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(Leftovers(), ec)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("unsaved-", 0) == 0 && !name.ends_with("Note.txt")) kept.push_back(entry.path().string());
        }
        return kept;
    }
    // As Spawn, with a file-size limit: past it writes fail with EFBIG instead of the signal ending the process.
    static pid_t SpawnWithFileSizeLimit(std::vector<std::string> args, const std::string& log, rlim_t limit) {
        return Spawn(std::move(args), log, [limit] {
            const rlimit fileSize{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &fileSize);
            ::signal(SIGXFSZ, SIG_IGN);
        });
    }
    // A recording whose save takes a while: recorded uncompressed, compressed with H.264 at the save.
    static pid_t SpawnLongSave(std::vector<std::string> more, const std::string& out, const std::string& log) {
        std::vector<std::string> args{kRecorder, "--area", "0,0,960,540", "--fps", "25", "--codec", "H264", "--after"};
        args.insert(args.end(), more.begin(), more.end());
        args.push_back(out);
        return Spawn(std::move(args), log);
    }
    // The files a save writes beside its output until they are whole.
    std::vector<std::string> PartFiles() const {
        std::vector<std::string> parts;
        for (const std::string& name : folder.Names())
            if (name.find(".part-") != std::string::npos) parts.push_back(folder.Path(name));
        return parts;
    }
    bool WaitForPartFile() const {
        return PollUntil([this] { return !PartFiles().empty(); }, 60s);
    }
    void ExpectStoppedForSpace(const std::string& out, const std::string& log, double atLeastSeconds) {
        const std::string text = Slurp(log);
        EXPECT_EQ(Count(text, "tolm-record: "), 1) << text;
        EXPECT_EQ(Count(text, "tolm-record: Not enough disk space: the recording was stopped with "), 1) << text;
        EXPECT_NE(text.find("Saved " + out), std::string::npos) << text;
        EXPECT_GE(Seconds(out), atLeastSeconds);
    }

    std::string runtime_;
    std::optional<ScopedTmpfs> mount_;
    std::optional<ScopedEnv> runtimeEnv_;
    std::optional<ScopedEnv> cacheEnv_;
};

TEST_F(OutputFaults, FillingDiskStopsWhileTheFilesCanStillBeFinished) {
    if (!UseSmallRuntime()) GTEST_SKIP() << mount_->Problem() << "; the file-size limit test stands in";
    const std::string out = folder.Path("raw.avi");
    const std::string log = folder.Path("raw.txt");
    // Uncompressed frames fill the 128 MB in a few seconds.
    EXPECT_EQ(Wait(Spawn({kRecorder, "--area", "0,0,320,240", "--codec", "none", "--duration", "30", out}, log)), 3)
        << Slurp(log);
    ExpectStoppedForSpace(out, log, 1.0);
}

TEST_F(OutputFaults, DiskFilledAtOnceKeepsWhatWasWrittenAndSaysSoOnce) {
    if (!UseSmallRuntime()) GTEST_SKIP() << mount_->Problem() << "; the file-size limit test stands in";
    const std::string out = folder.Path("full.avi");
    const std::string log = folder.Path("full.txt");
    const pid_t recorder = Spawn({kRecorder, "--area", "0,0,320,240", "--codec", "MJPG", "--duration", "30", out}, log);
    ASSERT_TRUE(WaitForRecording(log)) << Slurp(log);
    std::this_thread::sleep_for(2000ms);
    {
        // Another program takes every byte left; the recorder's next writes fail with ENOSPC.
        const int fd = ::open((runtime_ + "/filler").c_str(), O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        const std::vector<char> block(1 << 20, 'x');
        while (::write(fd, block.data(), block.size()) > 0) {
        }
        ::close(fd);
    }
    EXPECT_EQ(Wait(recorder), 3) << Slurp(log);
    ExpectStoppedForSpace(out, log, 1.0);
}

TEST_F(OutputFaults, FileSizeLimitStopsLikeAFullDisk) {
    UsePlainRuntime();
    const std::string out = folder.Path("limited.avi");
    const std::string log = folder.Path("limited.txt");
    const pid_t recorder = SpawnWithFileSizeLimit(
        {kRecorder, "--area", "0,0,320,240", "--codec", "none", "--duration", "30", out}, log, 40 << 20);
    EXPECT_EQ(Wait(recorder), 3) << Slurp(log);
    ExpectStoppedForSpace(out, log, 1.0);
}

TEST_F(OutputFaults, HeldOutputKeepsTheRecordingForRecoverAndRefusesTheNextStart) {
    UsePlainRuntime();
    const std::string out = folder.Path("held.avi");
    const std::string log = folder.Path("held.txt");
    const pid_t recorder = Spawn({kRecorder, "--area", "0,0,320,240", "--codec", "MJPG", out}, log);
    ASSERT_TRUE(WaitForRecording(log)) << Slurp(log);
    std::this_thread::sleep_for(1000ms);
    int fd = ::open(out.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    std::this_thread::sleep_for(1500ms);
    ::kill(recorder, SIGINT);
    EXPECT_EQ(Wait(recorder), 1) << Slurp(log);
    const std::string text = Slurp(log);
    EXPECT_EQ(Count(text, "tolm-record: The file " + out +
                              " is in use by another program; the recording was not saved into it."),
              1)
        << text;
    EXPECT_EQ(Count(text, "tolm-record: The recording was not saved; it is kept in " + Leftovers() + "/unsaved-"), 1)
        << text;
    EXPECT_EQ(Kept().size(), 1u);
    EXPECT_EQ(std::filesystem::file_size(out), 0u);  // the other program's file is as it was

    // While it is held, no recording starts into it.
    const std::string refusedLog = folder.Path("refused.txt");
    EXPECT_EQ(Wait(Spawn({kRecorder, "--area", "0,0,320,240", "--codec", "MJPG", out}, refusedLog)), 1);
    const std::string refused = Slurp(refusedLog);
    EXPECT_NE(
        refused.find("tolm-record: The file " + out + " is in use by another program; the recording was not started."),
        std::string::npos)
        << refused;
    EXPECT_EQ(refused.find("Recording "), std::string::npos) << refused;

    // Once it is free, the kept recording is saved into it.
    ::close(fd);
    const std::string recoverLog = folder.Path("recover.txt");
    EXPECT_EQ(Wait(Spawn({kRecorder, "--recover", out}, recoverLog)), 0) << Slurp(recoverLog);
    EXPECT_GE(Seconds(out), 2.0);
    EXPECT_TRUE(Kept().empty());
}

TEST_F(OutputFaults, FolderThatCannotBeWrittenIsRefusedBeforeRecording) {
    UsePlainRuntime();
    // Root writes through permission bits; a read-only file system stops everyone.
    const ScopedTmpfs readOnly(folder.Path("ro"), "size=1m", true);
    if (!readOnly.Mounted()) GTEST_SKIP() << readOnly.Problem();
    const std::string log = folder.Path("ro.txt");
    EXPECT_EQ(Wait(Spawn({kRecorder, "--area", "0,0,320,240", "--codec", "MJPG", folder.Path("ro/x.avi")}, log)), 1);
    const std::string text = Slurp(log);
    EXPECT_EQ(text, "tolm-record: The folder " + folder.Path("ro") +
                        " cannot be written (Read-only file system); the recording was not started.\n");
}

// Names that cannot work are refused before anything is recorded, naming the file and the reason, and nothing
// of theirs is opened: a FIFO's open would wait for ever, a device node was replaced by the recording.
TEST_F(OutputFaults, OutputsThatCannotWorkAreRefusedBeforeRecording) {
    UsePlainRuntime();
    const std::string fifo = folder.Path("fifo.avi");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string longName = folder.Path(std::string(238, 'n') + ".avi");
    std::vector<std::pair<std::string, std::string>> cases{
        {fifo, "it is a FIFO, not a regular file"},
        {longName, "its name of 242 bytes is too long"},
    };
    const std::string device = folder.Path("null.avi");
    if (::mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0)
        cases.emplace_back(device, "it is a character device, not a regular file");
    const std::string immutable = folder.Path("immutable.avi");
    std::ofstream(immutable) << "kept";
    int status = 0;
    RunCommand("chattr +i " + Quote(immutable) + " 2>/dev/null", status);
    if (status == 0) cases.emplace_back(immutable, "it is marked immutable");
    for (const auto& [out, reason] : cases) {
        const std::string log = folder.Path("refused.txt");
        EXPECT_EQ(Wait(Spawn({kRecorder, "--area", "0,0,320,240", "--duration", "1", out}, log), 20s), 1) << out;
        const std::string text = Slurp(log);
        EXPECT_EQ(Count(text, "tolm-record: The file " + out + " cannot be recorded into (" + reason), 1) << text;
        EXPECT_EQ(text.find("Recording "), std::string::npos) << text;
    }
    struct stat st {};
    EXPECT_TRUE(::lstat(fifo.c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    EXPECT_TRUE(::lstat(device.c_str(), &st) != 0 || S_ISCHR(st.st_mode));
    RunCommand("chattr -i " + Quote(immutable) + " 2>/dev/null", status);
}

// The old file stays until the new one is whole; what a killed save left beside it goes at the next start.
TEST_F(OutputFaults, KilledSaveKeepsTheOldFileAndItsPartGoesAtTheNextStart) {
    UsePlainRuntime();
    const std::string out = folder.Path("old.avi");
    std::ofstream(out) << "earlier recording";
    const pid_t recorder = SpawnLongSave({"--duration", "3"}, out, folder.Path("killed.txt"));
    ASSERT_TRUE(WaitForPartFile()) << Slurp(folder.Path("killed.txt"));
    ::kill(recorder, SIGKILL);
    Wait(recorder);
    std::ifstream old(out);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(old), {}), "earlier recording");
    EXPECT_EQ(PartFiles().size(), 1u);

    const std::string log = folder.Path("recover.txt");
    EXPECT_EQ(Wait(Spawn({kRecorder, "--recover", out}, log)), 0) << Slurp(log);
    EXPECT_TRUE(PartFiles().empty());
    EXPECT_GE(Seconds(out), 1.0);
}

// A second interrupt during the save ends the save at once and keeps the recording for --recover.
TEST_F(OutputFaults, SecondInterruptCancelsTheSaveAndKeepsTheRecording) {
    UsePlainRuntime();
    const std::string out = folder.Path("cancelled.avi");
    const std::string log = folder.Path("cancelled.txt");
    const pid_t recorder = SpawnLongSave({}, out, log);
    ASSERT_TRUE(WaitForRecording(log)) << Slurp(log);
    std::this_thread::sleep_for(3000ms);
    ::kill(recorder, SIGINT);
    ASSERT_TRUE(WaitForPartFile()) << Slurp(log);
    ::kill(recorder, SIGINT);
    EXPECT_EQ(Wait(recorder), 1) << Slurp(log);
    const std::string text = Slurp(log);
    EXPECT_EQ(Count(text, "tolm-record: Error: user abort!"), 1) << text;
    EXPECT_EQ(Count(text, "tolm-record: The recording was not saved; it is kept in " + Leftovers() + "/unsaved-"), 1)
        << text;
    EXPECT_EQ(Count(text, "tolm-record: tolm-record --recover " + out + " saves the recording."), 1) << text;
    EXPECT_EQ(Kept().size(), 1u);
    EXPECT_TRUE(PartFiles().empty());
    EXPECT_FALSE(std::filesystem::exists(out));
}

// A save that fails on its file says which file and why, and keeps the recording.
TEST_F(OutputFaults, FolderRemovedWhileRecordingIsNamedWithTheSystemsReason) {
    UsePlainRuntime();
    const std::string sub = folder.Path("sub");
    ASSERT_EQ(::mkdir(sub.c_str(), 0700), 0);
    const std::string out = sub + "/gone.avi";
    const std::string log = folder.Path("gone.txt");
    const pid_t recorder = Spawn({kRecorder, "--area", "0,0,320,240", "--codec", "MJPG", "--duration", "2", out}, log);
    ASSERT_TRUE(WaitForRecording(log)) << Slurp(log);
    ASSERT_EQ(::rmdir(sub.c_str()), 0);
    EXPECT_EQ(Wait(recorder), 1) << Slurp(log);
    const std::string text = Slurp(log);
    EXPECT_EQ(Count(text, "tolm-record: Error: opening files! " + out + ": No such file or directory."), 1) << text;
    EXPECT_EQ(Kept().size(), 1u);
}

}  // namespace
}  // namespace tolm::testing
