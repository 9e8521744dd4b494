// The settings-file reader on arbitrary bytes: the inverted INI file beside the program, read from disk as
// the program reads it at start; and the same bytes as the desktop's folder list, which names the folder new
// recordings go to.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/SettingsFile.h"
#include "fuzz/FuzzTempFile.h"

namespace {

// A value is trimmed and a part of one line of the file.
void CheckValue(const std::string& value, std::size_t fileSize) {
    if (value.size() > fileSize) std::abort();
    if (!value.empty() &&
        (static_cast<unsigned char>(value.front()) <= ' ' || static_cast<unsigned char>(value.back()) <= ' '))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tolm::fuzz::FuzzTempFile file("zorovadi.dll");
    file.Write(data, size);
    tolm::TProgramSettings settings;
    std::string error;
    if (!tolm::ReadSettingsFile(file.Path(), settings, error)) std::abort();  // the file is there to read
    for (const std::string* value :
         {&settings.Version, &settings.Copyright, &settings.HelpContectLink, &settings.HelpHowTosTutorialVideosLink,
          &settings.HelpHomePageLink, &settings.HelpMoreFreeToolsLink, &settings.HelpCheckForUpdatesLink,
          &settings.HelpSupportLink})
        CheckValue(*value, size);
    const std::string documents =
        tolm::DocumentsFolderFromUserDirs(std::string(reinterpret_cast<const char*>(data), size), "/home/user");
    if (!documents.empty() && documents[0] != '/') std::abort();  // only absolute folders
    file.Remove();
    return 0;
}
