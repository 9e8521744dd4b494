// Saves killed halfway, as a child process that ends without its clean-up.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "capture/CaptureGlobals.h"
#include "platform/Files.h"
#include "platform/PartFiles.h"
#include "unit/capture/CameraFixture.h"

namespace tolm {
namespace {

using KilledSave = CameraTest;

// A save killed halfway leaves its part file beside the output. At the next start it goes while the recording it
// was made from is kept; one larger than anything kept may be all there is, and stays with a word at the first
// recording.
TEST_F(KilledSave, PartFilesOfKilledSavesGoAtTheNextStartUnlessTheyAreAllThereIs) {
    const auto killedSave = [](const std::string& out, std::size_t bytes) {
        const pid_t child = ::fork();
        if (child == 0) {
            PartFile part;
            if (part.Create(out) != 0) ::_exit(1);
            std::ofstream(part.Path()) << std::string(bytes, 'p');
            ::_exit(0);  // as a kill: no clean-up
        }
        int status = -1;
        ::waitpid(child, &status, 0);
        EXPECT_EQ(status, 0);
        for (const auto& entry : std::filesystem::directory_iterator(FolderOf(out)))
            if (entry.path().string().rfind(out + ".part-", 0) == 0) return entry.path().string();
        return std::string();
    };
    std::ofstream(Globals().TempVideoFile()) << std::string(1000, 'v');  // what the killed recorder recorded
    const std::string covered = killedSave(folder + "/a.avi", 900);
    const std::string alone = killedSave(folder + "/b.avi", 5000);
    ASSERT_FALSE(covered.empty());
    ASSERT_FALSE(alone.empty());

    camera = std::make_unique<TScreenCamera>(Services());
    camera->OnError = [this](TScreenCamera&, const std::string& text) { events.push_back("error:" + text); };
    EXPECT_FALSE(FileExists(covered));
    EXPECT_TRUE(FileExists(alone));
    ASSERT_TRUE(camera->StartRecording(folder + "/missing/c.avi"));
    ASSERT_TRUE(loop.RunUntil([this] { return !camera->WorkerRunning(); }, std::chrono::seconds(20)));
    EXPECT_EQ(std::count(events.begin(), events.end(),
                         "error:A save that was interrupted left the partly written file " + alone +
                             "; it is kept, as no unsaved recording holds as much. Delete it once it is not needed."),
              1);
}

}  // namespace
}  // namespace tolm
