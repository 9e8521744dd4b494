#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"
#include "platform/FreeHandPicker.h"
#include "platform/Host.h"

namespace tolm {

// A host without windows: it remembers every notice and question, and answers questions from a script
// (no when the script has run out).
class FakeHost final : public Host {
  public:
    struct Notice {
        std::string title;
        std::string text;
        NoticeIcon icon;
    };

    void ShowNotice(const std::string& title, const std::string& text, NoticeIcon icon) override {
        std::lock_guard lock(mutex_);
        notices_.push_back(Notice{title, text, icon});
    }

    bool AskYesNo(const std::string& title, const std::string& text) override {
        if (whileAsking) whileAsking();
        std::lock_guard lock(mutex_);
        questions_.push_back(Notice{title, text, NoticeIcon::warning});
        if (answers_.empty()) return false;
        const bool answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    void CloseQuestions() override { ++closedQuestions; }

    bool EditSettings(const std::string& title, std::vector<SettingField>& fields) override {
        std::lock_guard lock(mutex_);
        forms_.push_back(title);
        for (SettingField& f : fields)
            for (const auto& [key, value] : edits_)
                if (f.key == key) f.value = value;
        return acceptForms_;
    }

    // Plays the scripted drag (if any) into the picker, then confirms or leaves it to the Escape key.
    void RunFreeHandPicker(FreeHandPicker& picker, const Bitmap& stillPicture) override;

    void MinimizeApplication() override { ++minimized; }
    void RestoreApplication() override { ++restored; }
    void SetBusyCursor(bool busy) override { busyCursor = busy; }

    void QueueAnswers(std::initializer_list<bool> answers) {
        std::lock_guard lock(mutex_);
        answers_.insert(answers_.end(), answers);
    }
    void SetFormEdits(std::vector<std::pair<std::string, std::string>> edits, bool accept) {
        std::lock_guard lock(mutex_);
        edits_ = std::move(edits);
        acceptForms_ = accept;
    }

    std::vector<Notice> Notices() const {
        std::lock_guard lock(mutex_);
        return notices_;
    }
    std::vector<Notice> Questions() const {
        std::lock_guard lock(mutex_);
        return questions_;
    }
    std::vector<std::string> Forms() const {
        std::lock_guard lock(mutex_);
        return forms_;
    }

    // The drag a free-hand picker receives: from, to, and whether Ctrl+click confirms it.
    struct ScriptedDrag {
        bool active = false;
        Point from;
        Point to;
        bool confirm = true;
    } freeHandDrag;
    int stillPictureWidth = 0;

    // What the user does while a question is open, before it is answered; runs on the asking thread.
    std::function<void()> whileAsking;
    std::atomic<int> closedQuestions{0};
    std::atomic<int> minimized{0};
    std::atomic<int> restored{0};
    std::atomic<bool> busyCursor{false};

  private:
    mutable std::mutex mutex_;
    std::vector<Notice> notices_;
    std::vector<Notice> questions_;
    std::deque<bool> answers_;
    std::vector<std::string> forms_;
    std::vector<std::pair<std::string, std::string>> edits_;
    bool acceptForms_ = false;
};

inline void FakeHost::RunFreeHandPicker(FreeHandPicker& picker, const Bitmap& stillPicture) {
    stillPictureWidth = stillPicture.Width();
    if (freeHandDrag.active) {
        picker.FormMouseDown(FreeHandPicker::MouseButton::left, false, freeHandDrag.from);
        picker.FormMouseMove(freeHandDrag.to);
        picker.FormMouseUp(freeHandDrag.to);
        if (freeHandDrag.confirm) picker.FormMouseDown(FreeHandPicker::MouseButton::left, true, freeHandDrag.to);
    }
    if (picker.ModalResult() == FreeHandPicker::mrNone) picker.SetModalResult(FreeHandPicker::mrCancel);
}

}  // namespace tolm
