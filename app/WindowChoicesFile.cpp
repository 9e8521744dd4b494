#include "app/WindowChoicesFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/Files.h"

namespace tolm {
namespace {

// A few hundred bytes when written by us; anything far larger is no file of ours.
constexpr std::uint64_t kMaxChoicesBytes = 64 * 1024;

// The file's text; false with `problem` when it cannot be read.
bool ReadChoicesText(const std::string& file, std::string& text, std::string& problem) {
    if (FileSize(file) > kMaxChoicesBytes) {
        problem = "it is too large";
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        problem = std::strerror(errno);
        return false;
    }
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        problem = "it cannot be read";
        return false;
    }
    return true;
}

}  // namespace

std::string WindowChoicesFile() {
    const std::string config = UserFolder("XDG_CONFIG_HOME", ".config");
    return config.empty() ? std::string() : config + "/tolm-screen-capture/window-settings";
}

KeptChoices LoadWindowChoices(WindowChoices& choices, std::string& notice) {
    choices = WindowChoices{};
    const std::string file = WindowChoicesFile();
    if (file.empty() || !FileExists(file)) return KeptChoices::none;
    std::string text;
    std::string problem;
    if (ReadChoicesText(file, text, problem) && ParseWindowChoices(text, choices, problem)) return KeptChoices::loaded;
    choices = WindowChoices{};
    const std::string aside = file + ".damaged";
    if (std::rename(file.c_str(), aside.c_str()) == 0) {
        notice = "Your remembered settings in " + file + " could not be read (" + problem +
                 "). The file was moved to " + aside + " and the window starts with its defaults.";
    } else {
        notice = "Your remembered settings in " + file + " could not be read (" + problem +
                 ") and the file cannot be moved aside (" + std::strerror(errno) +
                 "). The window starts with its defaults.";
    }
    return KeptChoices::setAside;
}

bool SaveWindowChoices(const WindowChoices& choices, std::string& error) {
    const std::string file = WindowChoicesFile();
    if (file.empty()) {
        error = "There is no home folder to keep the settings in.";
        return false;
    }
    return MakeFolders(file.substr(0, file.rfind('/')), error) &&
           WritePrivateFile(file, WindowChoicesText(choices), error);
}

bool ForgetWindowChoices(std::string& error) {
    const std::string file = WindowChoicesFile();
    if (file.empty() || !FileExists(file) || RemoveFile(file)) return true;
    error = "Cannot remove " + file + ": " + std::strerror(errno);
    return false;
}

}  // namespace tolm
