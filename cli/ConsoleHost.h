#pragma once

#include <cstdio>

#include "platform/FreeHandPicker.h"
#include "platform/Host.h"

namespace tolm::cli {

// The engine's host for a program without windows: notices go to standard error.
class ConsoleHost final : public Host {
  public:
    void ShowNotice(const std::string& title, const std::string& text, NoticeIcon) override {
        std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    }

    // Without a person to ask, questions are answered as configured on the command line.
    explicit ConsoleHost(bool answerYes = false) : answerYes_(answerYes) {}

    bool AskYesNo(const std::string& title, const std::string& text) override {
        std::fprintf(stderr, "%s: %s -> %s\n", title.c_str(), text.c_str(), answerYes_ ? "yes" : "no");
        return answerYes_;
    }

    bool EditSettings(const std::string& title, std::vector<SettingField>&) override {
        std::fprintf(stderr, "%s: settings cannot be edited without a window; kept as they are.\n", title.c_str());
        return false;
    }

    void RunFreeHandPicker(FreeHandPicker& picker, const Bitmap&) override {
        std::fprintf(stderr, "Picking an area by hand needs the recorder's window; give the area instead.\n");
        picker.SetModalResult(FreeHandPicker::mrCancel);
    }
    void MinimizeApplication() override {}
    void RestoreApplication() override {}
    void SetBusyCursor(bool) override {}

  private:
    bool answerYes_;
};

}  // namespace tolm::cli
