#pragma once

#include <string>
#include <vector>

namespace tolm {

class Bitmap;
class FreeHandPicker;

enum class NoticeIcon { information = 1, warning, error, question };

// One editable value of a settings form.
struct SettingField {
    std::string key;
    std::string label;
    std::vector<std::string> choices;  // empty: free text
    std::string value;
};

// What only the program's user interface can do for the engine. Calls may come from any thread; a host
// whose windows live on one thread hands the call over and waits.
class Host {
  public:
    virtual ~Host() = default;

    // A modal message; returns when the user has closed it.
    virtual void ShowNotice(const std::string& title, const std::string& text, NoticeIcon icon) = 0;

    // A modal yes/no question with the warning icon; true only for yes.
    virtual bool AskYesNo(const std::string& title, const std::string& text) = 0;

    // Answers "no" to the questions that are open now: the user has ended what they were about (a stop or a
    // cancel key while a recording was being set up). Main thread. A host whose questions never wait has none.
    virtual void CloseQuestions() {}

    // A modal form over `fields`; true when the user accepted it (the fields then hold the new values).
    virtual bool EditSettings(const std::string& title, std::vector<SettingField>& fields) = 0;

    // The program's windows out of the way while recording, and back afterwards.
    virtual void MinimizeApplication() = 0;
    virtual void RestoreApplication() = 0;
    // Returns once windows minimised for the recording are off the screen, for a still picture of it: the
    // desktop carries a minimise out after the request, and one without a window manager never does (they are
    // hidden then). Main thread. A host without windows has nothing to wait for.
    virtual void FinishMinimizing() {}

    // The pointer shows that the program is busy (saving, deleting) while `busy` is set.
    virtual void SetBusyCursor(bool busy) = 0;

    // Shows the free-hand picker over `stillPicture` (the desktop from its origin) and feeds it the mouse until
    // its modal result is set: by a Ctrl+click on a selection, or by the engine's Escape key. Main thread.
    // A host without such a window leaves it cancelled, as this default does.
    virtual void RunFreeHandPicker(FreeHandPicker& picker, const Bitmap& stillPicture);
};

}  // namespace tolm
