#pragma once

#include <cstdint>
#include <string>

namespace tolm {

// What the read-only settings file of the program supplies: the about box's texts and the help links.
// Every value is empty until the file has been read, and stays empty when it cannot be.
struct TProgramSettings {
    std::string Version;
    std::string Copyright;
    std::string HelpContectLink;
    std::string HelpHowTosTutorialVideosLink;
    std::string HelpHomePageLink;
    std::string HelpMoreFreeToolsLink;
    std::string HelpCheckForUpdatesLink;
    std::string HelpSupportLink;
};

// The values of this process, read once when the main window is created.
TProgramSettings& ProgramSettings();

// The settings file "zorovadi.dll" of a program in `programFolder`: beside it in a build tree, else in the
// installed data folder ../share/tolm-screen-capture. When neither exists, the one beside it, for the message.
std::string FindSettingsFile(const std::string& programFolder);

// FindSettingsFile of the running program's folder.
std::string GetSettingsFileName();

// Every byte complemented; the same length.
std::string InvertText(const std::string& text);

// The settings file and the desktop's folder list are a few lines; a file larger than this is refused.
inline constexpr std::uint64_t kMaxTextFileBytes = 1024 * 1024;

// Reads `file`: lines (CR, LF or CRLF) whose bytes are stored inverted, forming an INI text whose section
// "SYSTEM" holds the eight values. `out` is cleared first, so a failure leaves every value empty; the failure
// text is "Cannot open file "<file>". <reason>" (also for a file larger than kMaxTextFileBytes, or one that is no
// regular file). Missing keys give empty values, as does content that is no settings text at all.
bool ReadSettingsFile(const std::string& file, TProgramSettings& out, std::string& error);

// ReadSettingsFile of GetSettingsFileName into ProgramSettings().
bool ReadProgramSettings(std::string& error);

// The user's documents folder: XDG_DOCUMENTS_DIR of $XDG_CONFIG_HOME/user-dirs.dirs (else
// ~/.config/user-dirs.dirs), else $HOME, else "/".
std::string DocumentsFolder();

// XDG_DOCUMENTS_DIR of the text of a user-dirs.dirs file with $HOME expanded; empty when it has none.
std::string DocumentsFolderFromUserDirs(const std::string& userDirsText, const std::string& home);

// The text with a "/" appended unless it already ends with one.
std::string AddTrailingSlash(std::string path);

// Where a new recording goes unless the user says otherwise: Capture.avi in the documents folder.
std::string DefaultOutputFile();

// Hands a web address or a local path to the desktop's opener; the result is ignored. Empty: nothing. A relative
// path is taken from the running program's folder, so the installed links find the pages beside it.
void ShellOpen(const std::string& target);

}  // namespace tolm
