#include "app/SettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tolm {
namespace {

constexpr const char* kSettingsFileName = "zorovadi.dll";
constexpr const char* kInstalledDataFolder = "../share/tolm-screen-capture/";
constexpr const char* kSettingsSection = "system";

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { ::close(fd_); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

  private:
    int fd_;
};

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string Trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// CR, LF and CRLF each end a line; a break at the very end opens no further line.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            line += c;
            continue;
        }
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        lines.push_back(std::move(line));
        line.clear();
    }
    if (!line.empty()) lines.push_back(std::move(line));
    return lines;
}

// Reads at most kMaxTextFileBytes: a file larger than that is refused, not read into memory.
bool ReadWholeFile(const std::string& file, std::string& content, std::string& error) {
    auto fail = [&](const std::string& reason) {
        error = "Cannot open file \"" + file + "\". " + reason;
        return false;
    };
    // Without waiting: a pipe of that name would otherwise hold the start-up until something writes to it.
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail(std::strerror(errno));
    const Descriptor in(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0) return fail(std::strerror(errno));
    if (S_ISDIR(st.st_mode)) return fail(std::strerror(EISDIR));
    if (!S_ISREG(st.st_mode)) return fail("It is not a regular file.");
    const auto tooLarge = [&] {
        return fail("It is larger than " + std::to_string(kMaxTextFileBytes / (1024 * 1024)) +
                    " MB; a file this large is not read.");
    };
    if (static_cast<std::uint64_t>(st.st_size) > kMaxTextFileBytes) return tooLarge();
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return fail(std::strerror(errno));
        if (got == 0) break;
        content.append(buffer, static_cast<std::size_t>(got));
        // The file may have grown since it was measured.
        if (content.size() > kMaxTextFileBytes) return tooLarge();
    }
    return true;
}

// The value of `key` in the first line that names it within a section `section` (both lower case); lines
// outside every section, blank lines and ";" comments never match.
std::string IniValue(const std::vector<std::string>& lines, const std::string& section, const std::string& key) {
    bool inSection = false;
    for (const std::string& raw : lines) {
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == ';') continue;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            inSection = Lower(Trim(line.substr(1, line.size() - 2))) == section;
            continue;
        }
        if (!inSection) continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        if (Lower(Trim(line.substr(0, equals))) == key) return Trim(line.substr(equals + 1));
    }
    return {};
}

std::string ProgramFolder() {
    std::vector<char> path(4096);
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0) return "./";  // no /proc: the working folder is the best guess left
    const std::string exe(path.data(), static_cast<std::size_t>(length));
    const std::size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
}

std::string EnvOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

}  // namespace

TProgramSettings& ProgramSettings() {
    static TProgramSettings settings;
    return settings;
}

std::string FindSettingsFile(const std::string& programFolder) {
    const std::string folder = AddTrailingSlash(programFolder);
    const std::string beside = folder + kSettingsFileName;
    const std::string installed = folder + kInstalledDataFolder + kSettingsFileName;
    struct stat st {};
    if (::stat(beside.c_str(), &st) != 0 && ::stat(installed.c_str(), &st) == 0) return installed;
    return beside;
}

std::string GetSettingsFileName() {
    return FindSettingsFile(ProgramFolder());
}

std::string InvertText(const std::string& text) {
    std::string inverted(text);
    for (char& c : inverted) c = static_cast<char>(~static_cast<unsigned char>(c));
    return inverted;
}

bool ReadSettingsFile(const std::string& file, TProgramSettings& out, std::string& error) {
    out = TProgramSettings{};
    std::string content;
    if (!ReadWholeFile(file, content, error)) return false;
    std::vector<std::string> lines = SplitLines(content);
    for (std::string& line : lines) line = InvertText(line);
    auto read = [&](const char* key) { return IniValue(lines, kSettingsSection, Lower(key)); };
    out.Version = read("Version");
    out.Copyright = read("Copyright");
    out.HelpContectLink = read("HelpContectLink");
    out.HelpHowTosTutorialVideosLink = read("HelpHowTosTutorialVideosLink");
    out.HelpHomePageLink = read("HelpHomePageLink");
    out.HelpMoreFreeToolsLink = read("HelpMoreFreeToolsLink");
    out.HelpCheckForUpdatesLink = read("HelpCheckForUpdatesLink");
    out.HelpSupportLink = read("HelpSupportLink");
    return true;
}

bool ReadProgramSettings(std::string& error) {
    return ReadSettingsFile(GetSettingsFileName(), ProgramSettings(), error);
}

std::string DocumentsFolderFromUserDirs(const std::string& userDirsText, const std::string& home) {
    std::string found;
    for (const std::string& raw : SplitLines(userDirsText)) {
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == '#') continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos || Trim(line.substr(0, equals)) != "XDG_DOCUMENTS_DIR") continue;
        std::string value = Trim(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        // The file's own escapes: \" \\ \$ \`.
        std::string unescaped;
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size()) ++i;
            unescaped += value[i];
        }
        if (unescaped.rfind("$HOME", 0) == 0 && (unescaped.size() == 5 || unescaped[5] == '/')) {
            if (home.empty()) continue;
            unescaped = home + unescaped.substr(5);
        }
        // Only absolute paths are meaningful here; the last valid line wins, as when the shell sources it.
        if (!unescaped.empty() && unescaped[0] == '/') found = unescaped;
    }
    return found;
}

std::string DocumentsFolder() {
    const std::string home = EnvOrEmpty("HOME");
    std::string config = EnvOrEmpty("XDG_CONFIG_HOME");
    if (config.empty() || config[0] != '/') config = home.empty() ? std::string() : home + "/.config";
    if (!config.empty()) {
        std::string text;
        std::string ignored;
        if (ReadWholeFile(config + "/user-dirs.dirs", text, ignored)) {
            const std::string documents = DocumentsFolderFromUserDirs(text, home);
            if (!documents.empty()) return documents;
        }
    }
    return home.empty() ? std::string("/") : home;
}

std::string AddTrailingSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

std::string DefaultOutputFile() {
    return AddTrailingSlash(DocumentsFolder()) + "Capture.avi";
}

void ShellOpen(const std::string& target) {
    if (target.empty()) return;
    const QString text = QString::fromStdString(target);
    const QUrl url(text);
    // A scheme of one letter would be a drive, not an address; anything without a scheme is a path.
    if (url.isValid() && url.scheme().size() > 1) {
        QDesktopServices::openUrl(url);
        return;
    }
    // A relative path starts at the program's folder, wherever the program was started from.
    const QString path = QDir(QString::fromStdString(ProgramFolder())).absoluteFilePath(text);
    QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::cleanPath(path)));
}

}  // namespace tolm
