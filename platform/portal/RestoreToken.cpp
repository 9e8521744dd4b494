#include "platform/portal/RestoreToken.h"

#include <fstream>

#include "platform/Files.h"

namespace tolm::portal {

namespace {

// A token is a short line of printable characters; anything else was not written by us.
constexpr std::size_t kMaxTokenBytes = 1024;

bool LooksLikeToken(const std::string& token) {
    if (token.empty() || token.size() > kMaxTokenBytes) return false;
    for (const char c : token) {
        if (c <= ' ' || c > '~') return false;
    }
    return true;
}

}  // namespace

std::string DefaultRestoreTokenFile() {
    const std::string state = UserFolder("XDG_STATE_HOME", ".local/state");
    return state.empty() ? std::string() : state + "/tolm-screen-capture/portal-restore-token";
}

std::string ReadRestoreToken(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return {};
    // Only as much as a token can take: the file may be anything.
    std::string token(kMaxTokenBytes + 2, '\0');
    in.read(token.data(), static_cast<std::streamsize>(token.size()));
    token.resize(static_cast<std::size_t>(in.gcount()));
    if (!token.empty() && token.back() == '\n') token.pop_back();
    return LooksLikeToken(token) ? token : std::string();
}

bool WriteRestoreToken(const std::string& file, const std::string& token, std::string& problem) {
    if (!LooksLikeToken(token)) {
        problem = "The desktop handed out a restore token that cannot be kept.";
        return false;
    }
    const std::size_t slash = file.rfind('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(file.substr(0, slash), problem)) return false;
    return WritePrivateFile(file, token + "\n", problem);
}

}  // namespace tolm::portal
