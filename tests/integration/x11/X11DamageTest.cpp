#include <gtest/gtest.h>
#include <xcb/damage.h>

#include <atomic>
#include <memory>
#include <string>

#include "PrivateXServer.h"
#include "RequestRelay.h"
#include "X11TestClient.h"
#include "platform/x11/X11Damage.h"
#include "platform/x11/X11ScreenSource.h"

namespace tolm::testing {
namespace {

// On a server of their own: whatever another test draws on the shared display would count as a change.
class X11Damage : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!server_.Running()) {
            if (Required("TOLM_REQUIRE_DISPLAY")) FAIL() << server_.Problem();
            GTEST_SKIP() << server_.Problem();
        }
        client_ = std::make_unique<X11TestClient>(server_.DisplayName());
        ASSERT_TRUE(client_->Connected());
        std::string error;
        source_ = CreateX11ScreenSource(server_.DisplayName(), error);
        ASSERT_NE(source_, nullptr) << error;
        ASSERT_TRUE(source_->AreaChanged(kArea));  // the first question knows of nothing before it
    }

    static constexpr Rect kArea{100, 100, 50, 50};
    PrivateXServer server_{"320x240x24"};
    std::unique_ptr<X11TestClient> client_;
    std::unique_ptr<ScreenSource> source_;
};

TEST_F(X11Damage, TellsWhetherTheAreaWasDrawnOnSinceTheLastQuestion) {
    EXPECT_FALSE(source_->AreaChanged(kArea));
    client_->ShowBlocks({10, 10});  // beside the area
    client_->Sync();
    EXPECT_FALSE(source_->AreaChanged(kArea));
    client_->ShowBlocks({120, 120});
    client_->Sync();
    EXPECT_TRUE(source_->AreaChanged(kArea));
    EXPECT_FALSE(source_->AreaChanged(kArea));  // told once
}

// The watch takes the damage present at its opening away in the batch of requests that follows it; what is drawn
// in between is a change all the same, and so is everything after.
TEST_F(X11Damage, AChangeAtTheMomentTheWatchOpensIsReported) {
    x11::XcbConnection probe(xcb_connect(server_.DisplayName().c_str(), nullptr));
    const x11::XcbReply<xcb_query_extension_reply_t> damage(
        xcb_query_extension_reply(probe.get(), xcb_query_extension(probe.get(), 6, "DAMAGE"), nullptr));
    ASSERT_TRUE(damage && damage->present);
    std::atomic<bool> drawn{false};
    RequestRelay relay(server_.DisplayName(), [&](std::uint8_t major, std::uint8_t minor) {
        if (major != damage->major_opcode || minor != XCB_DAMAGE_SUBTRACT || drawn) return;
        drawn = true;
        client_->Sync();  // the server has seen the subtraction, and not yet what follows it
        client_->ShowBlocks({120, 120});
    });
    ASSERT_FALSE(relay.DisplayName().empty());
    x11::DamageWatch watch(relay.DisplayName());
    ASSERT_TRUE(watch.AreaChanged(kArea));
    EXPECT_TRUE(watch.AreaChanged(kArea));
    ASSERT_TRUE(drawn);
    client_->ShowBlocks({130, 130});
    EXPECT_TRUE(watch.AreaChanged(kArea));
}

TEST_F(X11Damage, AResizedRootOrALostServerCountsAsAChange) {
    // Left off the smaller root, where nothing is drawn: its pixels turn black all the same.
    const Rect corner{250, 180, 50, 50};
    ASSERT_TRUE(client_->ResizeRoot(200, 150));
    EXPECT_TRUE(source_->AreaChanged(corner));
    server_.Stop();
    // Answered without the server, so the grab that follows is the one to find it gone.
    EXPECT_TRUE(source_->AreaChanged(kArea));
    EXPECT_TRUE(source_->AreaChanged(kArea));
}

}  // namespace
}  // namespace tolm::testing
