#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "capture/CaptureGlobals.h"
#include "capture/EngineServices.h"
#include "platform/fake/FakeAviLibrary.h"
#include "platform/fake/FakeCompressors.h"
#include "platform/fake/FakeHost.h"
#include "platform/fake/FakeScreen.h"
#include "platform/fake/ManualClock.h"
#include "support/TestSystem.h"

namespace tolm {

// The scripted machine an engine runs on in the unit tests. `Main` is its main thread: the test's own event
// loop, or Qt's for the windows. Fixtures derive from it to use the parts by their plain names.
template <class Main, class TestClock = ManualClock>
struct FakeServices {
    Main mainThread;
    FakeScreen screen;
    TestClock clock;
    FakeHost host;
    FakeCompressorManager compressors;
    FakeAviLibrary avi;

    EngineServices Services() { return EngineServices{screen, clock, host, compressors, avi, mainThread}; }
};

// Starts a test's engine afresh: default globals, and a new private folder named after the test, which the
// engine's temporary files and the window's kept settings go into. Returns the folder.
inline std::string FreshEngineFolder(const std::string& prefix) {
    ResetCaptureGlobals();
    const std::string folder =
        ::testing::TempDir() + prefix + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    PointUserFoldersAt(folder);
    return folder;
}

}  // namespace tolm
