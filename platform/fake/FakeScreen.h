#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ScreenSource.h"

namespace tolm {

// A scripted desktop for unit tests: every pixel has a known colour (PatternColor, or a block painted with
// FillRect), monitors and cursor are set by the test, and the display can be made to fail.
class FakeScreen final : public ScreenSource {
  public:
    // One 1920x1080 monitor at the origin.
    FakeScreen();

    bool Grab(const Rect& area, Bitmap& dst) override;
    bool QueryCursor(CursorImage& cursor) override;
    // From the screen's own writes: painted blocks and monitor changes.
    bool AreaChanged(const Rect& area) override;
    bool AwaitingFirstPicture() override;
    std::vector<Rect> Monitors() override;
    Rect VirtualDesktop() override;
    std::string LastError() const override;
    bool TellsPointerPosition() const override { return tellsPointer_; }

    void SetMonitors(std::vector<Rect> monitors);
    void FillRect(const Rect& area, std::uint32_t rgb);
    void SetCursor(const CursorImage& cursor);
    // While set, every part of the screen counts as changed at every AreaChanged, as under a playing video.
    void SetAlwaysChanging(bool value);
    // While set, grabs fail as on a desktop that has sent no picture yet; its first picture changes everything.
    void SetAwaitingFirstPicture(bool value);
    // A desktop that paints the pointer in itself and says nowhere where it is.
    void SetTellsPointerPosition(bool value) { tellsPointer_ = value; }
    // After this, grabs and cursor queries fail as after a lost display connection.
    void Disconnect();
    int GrabCount() const;
    // Called after every grab, outside the screen's lock: tests move their clock or stop a recording here.
    void SetGrabHook(std::function<void(int grabNumber)> hook);

    // The colour at a desktop point: the last block painted over it, else PatternColor.
    std::uint32_t ColorAt(int x, int y) const;
    static std::uint32_t PatternColor(int x, int y);

  private:
    struct Block {
        Rect area;
        std::uint32_t rgb;
    };
    std::uint32_t ColorAtLocked(int x, int y) const;
    Rect DesktopLocked() const;
    void FillLocked(const Rect& area, Bitmap& dst) const;

    mutable std::mutex mutex_;
    std::vector<Rect> monitors_;
    std::vector<Block> blocks_;
    CursorImage cursor_;
    bool connected_ = true;
    bool awaiting_ = false;
    int grabs_ = 0;
    // What changed since AreaChanged was last asked; everything before it is first asked.
    bool asked_ = false;
    bool allChanged_ = false;
    bool alwaysChanging_ = false;
    std::vector<Rect> changed_;
    std::function<void(int)> grabHook_;
    bool tellsPointer_ = true;
};

}  // namespace tolm
