#include "app/ScreenBackendChoice.h"

#include <cstring>
#include <fstream>

#include "platform/Files.h"

namespace tolm {

std::string ScreenBackendChoiceFile() {
    const std::string config = UserFolder("XDG_CONFIG_HOME", ".config");
    return config.empty() ? std::string() : config + "/tolm-screen-capture/screen-backend";
}

ScreenBackend LoadScreenBackendChoice() {
    const std::string file = ScreenBackendChoiceFile();
    ScreenBackend backend = ScreenBackend::automatic;
    std::string word;
    if (std::ifstream in(file); !file.empty() && in >> word) ParseScreenBackend(word, backend);
    return backend;
}

bool SaveScreenBackendChoice(ScreenBackend backend, std::string& error) {
    const std::string file = ScreenBackendChoiceFile();
    if (file.empty()) {
        error = "There is no home folder to keep the choice in.";
        return false;
    }
    return MakeFolders(file.substr(0, file.rfind('/')), error) &&
           WritePrivateFile(file, std::string(ScreenBackendName(backend)) + "\n", error);
}
bool ScreenBackendOfArguments(int argc, char** argv, ScreenBackend& backend, std::string& error) {
    backend = LoadScreenBackendChoice();
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--backend") != 0) continue;
        if (i + 1 >= argc || !ParseScreenBackend(argv[i + 1], backend)) {
            error = "--backend takes auto, x11 or portal.";
            return false;
        }
        ++i;
    }
    return true;
}

}  // namespace tolm
