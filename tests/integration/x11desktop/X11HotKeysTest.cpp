#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "DesktopFixture.h"

namespace tolm::testing {
namespace {

using std::chrono::seconds;

class X11HotKeysTest : public DesktopFixture {
  protected:
    void SetUp() override {
        DesktopFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        desktop_->HotKeys().SetHandler([this](HotKey key) {
            heard_.push_back(key);
            offMainThread_ += loop_.IsMainThread() ? 0 : 1;
        });
    }

    void TearDown() override {
        if (!client_.Connected()) return;
        client_.SetLock(kNumLock, false);
        client_.SetLock(kCapsLock, false);
    }

    // Runs the main thread until `count` keys have been heard.
    bool HearKeys(std::size_t count) {
        return loop_.RunUntil([&] { return heard_.size() >= count; }, std::chrono::milliseconds(10000));
    }

    // Presses Pause (registered by the caller) after what the test pressed and waits for it; since the
    // server and the main thread keep the order, what was heard before it is all the test's presses will
    // ever bring. The handler must have heard `expected` and then Pause.
    void ExpectHeard(std::vector<HotKey> expected) {
        client_.Tap(kPause);
        expected.push_back(HotKey::Pause);
        EXPECT_TRUE(HearKeys(expected.size()));
        EXPECT_EQ(heard_, expected);
    }

    GlobalHotKeys& Keys() { return desktop_->HotKeys(); }

    std::vector<HotKey> heard_;
    int offMainThread_ = 0;
};

TEST_F(X11HotKeysTest, EachKeyReachesTheHandlerOnceOnTheMainThread) {
    for (const HotKey key : {HotKey::ShiftEscape, HotKey::Escape, HotKey::CtrlReturn, HotKey::Pause}) {
        ASSERT_TRUE(Keys().Register(key)) << static_cast<int>(key);
    }
    EXPECT_TRUE(Keys().Register(HotKey::Escape));  // again: still held

    client_.Tap(kEscape, {kShiftL});
    client_.Tap(kEscape);
    client_.Tap(kReturn, {kControlL});
    client_.Tap(kKeypadEnter, {kControlL});
    client_.Tap(kPause);
    // Other modifiers make other keys.
    client_.Tap(kReturn);
    client_.Tap(kEscape, {kControlL});
    client_.Tap(kPause, {kShiftL});
    ExpectHeard({HotKey::ShiftEscape, HotKey::Escape, HotKey::CtrlReturn, HotKey::CtrlReturn, HotKey::Pause});
    EXPECT_EQ(offMainThread_, 0);
}

TEST_F(X11HotKeysTest, LitLocksDoNotSwitchTheKeysOff) {
    ASSERT_TRUE(Keys().Register(HotKey::Escape));
    ASSERT_TRUE(Keys().Register(HotKey::CtrlReturn));
    ASSERT_TRUE(Keys().Register(HotKey::Pause));
    const std::uint16_t numLock = client_.ModifierOf(kNumLock);
    ASSERT_NE(numLock, 0) << "the display's keymap has no Num Lock modifier";

    client_.SetLock(kNumLock, true);
    ASSERT_NE(client_.ModifierState() & numLock, 0);
    client_.Tap(kEscape);
    client_.SetLock(kCapsLock, true);
    ASSERT_NE(client_.ModifierState() & XCB_MOD_MASK_LOCK, 0);
    client_.Tap(kKeypadEnter, {kControlL});
    ExpectHeard({HotKey::Escape, HotKey::CtrlReturn});
}

TEST_F(X11HotKeysTest, KeyHeldByAnotherClientIsRefusedAndStaysTheirs) {
    DesktopTestClient other;
    ASSERT_TRUE(other.Connected());
    const xcb_keycode_t escape = other.KeycodeOf(kEscape);
    ASSERT_TRUE(other.GrabKey(escape, 0));

    EXPECT_FALSE(Keys().Register(HotKey::Escape));
    ASSERT_TRUE(Keys().Register(HotKey::ShiftEscape));  // the same key with Shift is free
    ASSERT_TRUE(Keys().Register(HotKey::Pause));

    client_.Tap(kEscape);
    EXPECT_TRUE(other.WaitForKeyPress(escape, seconds(10)));
    client_.Tap(kEscape, {kShiftL});
    ExpectHeard({HotKey::ShiftEscape});

    // Our refused grab left none of its lock combinations behind: the other client gets them all.
    EXPECT_TRUE(other.GrabKey(escape, XCB_MOD_MASK_LOCK));
    EXPECT_TRUE(other.GrabKey(escape, client_.ModifierOf(kNumLock)));
}

TEST_F(X11HotKeysTest, UnregisteredKeyIsLetGo) {
    ASSERT_TRUE(Keys().Register(HotKey::Escape));
    ASSERT_TRUE(Keys().Register(HotKey::Pause));
    Keys().Unregister(HotKey::Escape);
    Keys().Unregister(HotKey::Escape);  // twice is harmless

    client_.Tap(kEscape);
    ExpectHeard({});

    DesktopTestClient other;
    ASSERT_TRUE(other.Connected());
    const xcb_keycode_t escape = other.KeycodeOf(kEscape);
    EXPECT_TRUE(other.GrabKey(escape, 0));
    EXPECT_TRUE(other.GrabKey(escape, static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | client_.ModifierOf(kNumLock))));
}

TEST_F(X11HotKeysTest, KeyMovedToAnotherKeycodeIsGrabbedThere) {
    ASSERT_TRUE(Keys().Register(HotKey::Escape));
    const xcb_keycode_t spare = client_.UnusedKeycode();
    ASSERT_NE(spare, 0) << "the display's keymap has no free keycode";
    client_.SetKeysym(spare, kEscape);

    // The new grab follows the mapping change through the main thread; until then presses go elsewhere.
    const auto deadline = std::chrono::steady_clock::now() + seconds(10);
    while (heard_.empty() && std::chrono::steady_clock::now() < deadline) {
        client_.Tap(spare);
        loop_.RunFor(std::chrono::milliseconds(20));
    }
    ASSERT_FALSE(heard_.empty());
    EXPECT_EQ(heard_.front(), HotKey::Escape);
}

}  // namespace
}  // namespace tolm::testing
