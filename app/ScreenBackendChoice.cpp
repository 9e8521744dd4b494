#include "app/ScreenBackendChoice.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <sys/stat.h>

namespace tolm {

namespace {

std::string ConfigFolder() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') return config;
    const char* home = std::getenv("HOME");
    return home && *home ? std::string(home) + "/.config" : std::string();
}

}  // namespace

std::string ScreenBackendChoiceFile() {
    const std::string config = ConfigFolder();
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
    const std::string config = ConfigFolder();
    if (config.empty()) {
        error = "There is no home folder to keep the choice in.";
        return false;
    }
    const std::string folder = config + "/tolm-screen-capture";
    ::mkdir(config.c_str(), 0700);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "Cannot create the folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    const std::string file = ScreenBackendChoiceFile();
    const std::string temporary = file + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << ScreenBackendName(backend) << '\n';
        if (!out.flush()) {
            error = "Cannot write " + temporary + ".";
            return false;
        }
    }
    if (std::rename(temporary.c_str(), file.c_str()) != 0) {
        error = "Cannot replace " + file + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
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
