// Two interrupted recordings: a killed recorder's, and the one it had put aside from an earlier kill. Each
// tolm-record --recover saves the newest that is left and says how many remain.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "integration/Requirements.h"
#include "integration/cli/TolmRecordFixture.h"

namespace tolm::testing {
namespace {

const std::string kRecorder = kBin + "/tolm-record";

class RecoverSeveral : public OwnRuntime {
  protected:
    // A picture-only recording of the given area, running.
    pid_t StartRecorder(const std::string& area, const std::string& log) {
        const pid_t recorder = Spawn({kRecorder, "--area", area, "--codec", "MJPG", folder.Path("never.avi")}, log);
        EXPECT_TRUE(WaitForRecording(log)) << Slurp(log);
        return recorder;
    }
    // One killed after `seconds`.
    void RecordAndKill(const std::string& area, std::chrono::seconds seconds, const std::string& log) {
        const pid_t recorder = StartRecorder(area, log);
        std::this_thread::sleep_for(seconds);
        ::kill(recorder, SIGKILL);
        Wait(recorder);
    }
    std::string Recover(const std::string& output, int expectedStatus) {
        const std::string log = output + ".txt";
        EXPECT_EQ(Wait(Spawn({kRecorder, "--recover", output}, log)), expectedStatus) << Slurp(log);
        return Slurp(log);
    }
};

TEST_F(RecoverSeveral, TheNewestFirstThenTheOlderOneThenNothing) {
    RecordAndKill("0,0,320,240", 3s, folder.Path("first.txt"));
    // The next recording puts the first one aside before it records, and says where.
    const std::string second = folder.Path("second.txt");
    RecordAndKill("0,0,160,120", 3s, second);
    EXPECT_NE(Slurp(second).find("An interrupted recording was left; it is kept in "), std::string::npos)
        << Slurp(second);

    const std::string newest = Recover(folder.Path("newest.avi"), 0);
    EXPECT_NE(newest.find("1 more interrupted recording is left; run tolm-record --recover again"), std::string::npos)
        << newest;
    EXPECT_EQ(ProbeStream(folder.Path("newest.avi"), 0).at("width"), "160");

    const std::string older = Recover(folder.Path("older.avi"), 0);
    EXPECT_EQ(older.find("more interrupted"), std::string::npos) << older;
    EXPECT_EQ(ProbeStream(folder.Path("older.avi"), 0).at("width"), "320");
    EXPECT_GE(std::stod(ProbeStream(folder.Path("older.avi"), 0).at("duration")), 1.5);

    EXPECT_NE(Recover(folder.Path("none.avi"), 1).find("Nothing to recover."), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder.Path("none.avi")));
    // Nothing of either recording is left behind.
    for (const auto& entry : std::filesystem::directory_iterator(LeftoverFolder())) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(name.find(".avi"), std::string::npos) << name;
    }
}

// Each recorder running beside the first keeps its files in a folder of its own; one killed leaves them there.
TEST_F(RecoverSeveral, ASecondRecorderKilledBesideARunningOneIsRecoveredWhileItRuns) {
    const pid_t first = StartRecorder("0,0,320,240", folder.Path("first.txt"));
    RecordAndKill("0,0,160,120", 3s, folder.Path("second.txt"));
    EXPECT_NE(Recover(folder.Path("second.avi"), 0).find("Saved "), std::string::npos);
    EXPECT_EQ(ProbeStream(folder.Path("second.avi"), 0).at("width"), "160");
    ::kill(first, SIGINT);
    EXPECT_EQ(Wait(first), 0) << Slurp(folder.Path("first.txt"));
    EXPECT_NE(Recover(folder.Path("none.avi"), 1).find("Nothing to recover."), std::string::npos);
    for (const auto& entry : std::filesystem::directory_iterator(LeftoverFolder()))
        EXPECT_EQ(entry.path().filename().string().rfind("instance-", 0), std::string::npos) << entry.path();
}

// One that cannot be read is named and kept, and the next one saved, at every run.
TEST_F(RecoverSeveral, AnUnreadableNewestIsKeptAndTheOlderOneSaved) {
    RecordAndKill("0,0,320,240", 2s, folder.Path("killed.txt"));
    const std::string broken = LeftoverFolder() + "/unsaved-20990101-000000-tmpVideoStream.avi";
    std::ofstream(broken) << std::string(4096, 'x');
    std::filesystem::last_write_time(broken, std::filesystem::file_time_type::clock::now() + 1min);  // the newest
    const std::string log = Recover(folder.Path("older.avi"), 0);
    EXPECT_NE(log.find("cannot be read; it is kept in " + broken), std::string::npos) << log;
    EXPECT_EQ(ProbeStream(folder.Path("older.avi"), 0).at("width"), "320");
    EXPECT_TRUE(std::filesystem::exists(broken));
}

}  // namespace
}  // namespace tolm::testing
