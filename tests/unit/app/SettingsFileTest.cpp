#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <QDesktopServices>
#include <QObject>
#include <QUrl>

#include "app/ScreenBackendChoice.h"
#include "app/SettingsFile.h"
#include "support/ScopedEnv.h"

namespace tolm {
namespace {

namespace fs = std::filesystem;

// A private folder for one test, removed with it.
class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "tolm-settings-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const std::string& Path() const { return path_; }
    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::string file = path_ + "/" + name;
        std::ofstream(file, std::ios::binary) << bytes;
        return file;
    }

  private:
    std::string path_;
};

// Inverts each line as the settings file stores it, keeping the breaks `eol` plain.
std::string Stored(const std::string& plain, const std::string& eol) {
    std::string out;
    std::string line;
    for (char c : plain) {
        if (c == '\n') {
            out += InvertText(line) + eol;
            line.clear();
        } else {
            line += c;
        }
    }
    return out + InvertText(line);
}

const std::string kAllKeys =
    "[SYSTEM]\n"
    "Version=1.2.3\n"
    "Copyright=Someone\n"
    "HelpContectLink=/doc/content.md\n"
    "HelpHowTosTutorialVideosLink=/doc/howto.md\n"
    "HelpHomePageLink=https://home.example/\n"
    "HelpMoreFreeToolsLink=/doc/tools.md\n"
    "HelpCheckForUpdatesLink=/doc/updates.md\n"
    "HelpSupportLink=/doc/support.md";

TEST(SettingsFile, InvertTextComplementsEveryByte) {
    EXPECT_EQ(InvertText("abc"), std::string("\x9E\x9D\x9C"));
    const std::string all = [] {
        std::string s;
        for (int b = 0; b < 256; ++b) s += static_cast<char>(b);
        return s;
    }();
    const std::string inverted = InvertText(all);
    ASSERT_EQ(inverted.size(), 256u);
    for (int b = 0; b < 256; ++b) EXPECT_EQ(static_cast<unsigned char>(inverted[static_cast<std::size_t>(b)]), 255 - b);
}

TEST(SettingsFile, ReadsAllEightKeysWithEveryKindOfLineBreak) {
    TempFolder dir;
    for (const std::string eol : {"\n", "\r", "\r\n"}) {
        SCOPED_TRACE(eol == "\n" ? "LF" : eol == "\r" ? "CR" : "CRLF");
        TProgramSettings s;
        std::string error;
        ASSERT_TRUE(ReadSettingsFile(dir.Write("zorovadi.dll", Stored(kAllKeys, eol)), s, error)) << error;
        EXPECT_EQ(s.Version, "1.2.3");
        EXPECT_EQ(s.Copyright, "Someone");
        EXPECT_EQ(s.HelpContectLink, "/doc/content.md");
        EXPECT_EQ(s.HelpHowTosTutorialVideosLink, "/doc/howto.md");
        EXPECT_EQ(s.HelpHomePageLink, "https://home.example/");
        EXPECT_EQ(s.HelpMoreFreeToolsLink, "/doc/tools.md");
        EXPECT_EQ(s.HelpCheckForUpdatesLink, "/doc/updates.md");
        EXPECT_EQ(s.HelpSupportLink, "/doc/support.md");
    }
}

TEST(SettingsFile, PlainTextFileGivesEightEmptyValues) {
    TempFolder dir;
    TProgramSettings s;
    s.Version = "left over";
    std::string error;
    ASSERT_TRUE(ReadSettingsFile(dir.Write("plain.dll", kAllKeys), s, error));
    for (const std::string* v :
         {&s.Version, &s.Copyright, &s.HelpContectLink, &s.HelpHowTosTutorialVideosLink, &s.HelpHomePageLink,
          &s.HelpMoreFreeToolsLink, &s.HelpCheckForUpdatesLink, &s.HelpSupportLink})
        EXPECT_EQ(*v, "");
}

TEST(SettingsFile, SectionsAndKeysIgnoreCaseBlanksAndComments) {
    TempFolder dir;
    const std::string plain =
        "Version=before any section\n"
        "  [ system ]  \n"
        "; Version=commented out\n"
        "\n"
        "   version   =   4.5 beta   \n"
        "COPYRIGHT=a=b\n"
        "no equals sign here\n"
        "[Other]\n"
        "HelpSupportLink=/not/ours\n";
    TProgramSettings s;
    std::string error;
    ASSERT_TRUE(ReadSettingsFile(dir.Write("mixed.dll", Stored(plain, "\r\n")), s, error));
    EXPECT_EQ(s.Version, "4.5 beta");
    EXPECT_EQ(s.Copyright, "a=b");  // the value starts after the first equals sign
    EXPECT_EQ(s.HelpSupportLink, "");
}

TEST(SettingsFile, MissingFileNamesTheFileAndTheReasonAndClearsValues) {
    TempFolder dir;
    const std::string missing = dir.Path() + "/zorovadi.dll";
    TProgramSettings s;
    s.HelpHomePageLink = "stale";
    std::string error;
    EXPECT_FALSE(ReadSettingsFile(missing, s, error));
    EXPECT_EQ(error, "Cannot open file \"" + missing + "\". No such file or directory");
    EXPECT_EQ(s.HelpHomePageLink, "");
}

TEST(SettingsFile, FolderInsteadOfAFileFailsWithItsReason) {
    TempFolder dir;
    TProgramSettings s;
    std::string error;
    EXPECT_FALSE(ReadSettingsFile(dir.Path(), s, error));
    EXPECT_EQ(error, "Cannot open file \"" + dir.Path() + "\". Is a directory");
}

TEST(SettingsFile, SettingsFileNameIsBesideTheProgram) {
    const std::string name = GetSettingsFileName();
    const std::string exe = fs::read_symlink("/proc/self/exe").string();
    EXPECT_EQ(name, exe.substr(0, exe.rfind('/') + 1) + "zorovadi.dll");
}

// What the desktop's opener would have been handed.
class OpenedLinks : public QObject {
    Q_OBJECT

  public slots:
    void Open(const QUrl& url) { urls.push_back(url); }

  public:
    std::vector<QUrl> urls;
};

std::string ProgramFolderOfTest() {
    const std::string exe = fs::read_symlink("/proc/self/exe").string();
    return exe.substr(0, exe.rfind('/') + 1);
}

TEST(SettingsFile, RelativeLinkOpensFromTheProgramFolderWhereverItStarted) {
    OpenedLinks opened;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "Open");
    const fs::path started = fs::current_path();
    fs::current_path("/");
    ShellOpen("../share/doc/tolm-screen-capture/README.md");
    fs::current_path(started);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(opened.urls.size(), 1u);
    EXPECT_EQ(
        opened.urls[0].toLocalFile().toStdString(),
        fs::path(ProgramFolderOfTest() + "../share/doc/tolm-screen-capture/README.md").lexically_normal().string());
}

// The test program is built beside tolm-capture, with its settings file and the help pages.
TEST(SettingsFile, BuiltHelpLinksArePagesFromTheProgramFolder) {
    TProgramSettings s;
    std::string error;
    ASSERT_TRUE(ReadSettingsFile(GetSettingsFileName(), s, error)) << error;
    for (const std::string& link : {s.HelpContectLink, s.HelpHowTosTutorialVideosLink, s.HelpHomePageLink,
                                    s.HelpMoreFreeToolsLink, s.HelpCheckForUpdatesLink, s.HelpSupportLink}) {
        ASSERT_FALSE(link.empty());
        EXPECT_NE(link.front(), '/') << link;
        EXPECT_TRUE(fs::is_regular_file(ProgramFolderOfTest() + link)) << link;
    }
}

TEST(SettingsFile, FoundBesideTheProgramFirstThenInTheInstalledDataFolder) {
    TempFolder dir;
    fs::create_directories(dir.Path() + "/bin");
    fs::create_directories(dir.Path() + "/share/tolm-screen-capture");
    const std::string bin = dir.Path() + "/bin";
    EXPECT_EQ(FindSettingsFile(bin), bin + "/zorovadi.dll");  // neither: the message names the usual place
    const std::string installed = dir.Write("share/tolm-screen-capture/zorovadi.dll", "");
    EXPECT_EQ(fs::path(FindSettingsFile(bin)).lexically_normal(), fs::path(installed));
    EXPECT_EQ(FindSettingsFile(bin + "/"), dir.Write("bin/zorovadi.dll", ""));
}

TEST(SettingsFile, TrailingSlashIsAddedOnce) {
    EXPECT_EQ(AddTrailingSlash("/home/me/Documents"), "/home/me/Documents/");
    EXPECT_EQ(AddTrailingSlash("/home/me/Documents/"), "/home/me/Documents/");
    EXPECT_EQ(AddTrailingSlash(""), "/");
}

TEST(DocumentsFolder, UserDirsEntryWithHomeExpanded) {
    const std::string text =
        "# written by the desktop\n"
        "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
        "XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Docs\\\"\"\n";
    EXPECT_EQ(DocumentsFolderFromUserDirs(text, "/home/me"), "/home/me/My \"Docs\"");
    EXPECT_EQ(DocumentsFolderFromUserDirs("XDG_DOCUMENTS_DIR=\"/srv/docs\"\r\n", "/home/me"), "/srv/docs");
    EXPECT_EQ(DocumentsFolderFromUserDirs("XDG_DOCUMENTS_DIR=\"$HOME/\"", "/home/me"), "/home/me/");
    // $HOMEWORK is not $HOME; relative paths and other keys do not count.
    EXPECT_EQ(DocumentsFolderFromUserDirs("XDG_DOCUMENTS_DIR=\"$HOMEWORK/x\"", "/home/me"), "");
    EXPECT_EQ(DocumentsFolderFromUserDirs("XDG_DOCUMENTS_DIR=\"Docs\"\nXDG_MUSIC_DIR=\"/m\"", "/h"), "");
}

using testing::ScopedEnv;

TEST(DocumentsFolder, ReadsTheUserDirsFileElseHome) {
    TempFolder dir;
    ScopedEnv home("HOME", dir.Path() + "/home");
    ScopedEnv config("XDG_CONFIG_HOME", dir.Path());
    EXPECT_EQ(DocumentsFolder(), dir.Path() + "/home");
    dir.Write("user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Papers/\"\n");
    EXPECT_EQ(DocumentsFolder(), dir.Path() + "/home/Papers/");
    EXPECT_EQ(DefaultOutputFile(), dir.Path() + "/home/Papers/Capture.avi");
}

TEST(DocumentsFolder, NothingKnownGivesTheRoot) {
    TempFolder dir;
    ScopedEnv config("XDG_CONFIG_HOME", dir.Path());
    ScopedEnv home("HOME", "");
    EXPECT_EQ(DocumentsFolder(), "/");
    EXPECT_EQ(DefaultOutputFile(), "/Capture.avi");
}

// The screen is opened before the window, so the options' choice must survive to the next start; a word the
// program does not know (an older or hand-edited file) falls back to the automatic choice, and --backend wins.
TEST(ScreenBackendChoice, KeptForTheNextStartAndOverriddenByTheCommandLine) {
    TempFolder dir;
    ScopedEnv config("XDG_CONFIG_HOME", dir.Path() + "/config");
    EXPECT_EQ(LoadScreenBackendChoice(), ScreenBackend::automatic);
    std::string error;
    ASSERT_TRUE(SaveScreenBackendChoice(ScreenBackend::portal, error)) << error;
    EXPECT_EQ(LoadScreenBackendChoice(), ScreenBackend::portal);

    ScreenBackend backend = ScreenBackend::automatic;
    std::vector<std::string> words = {"tolm-capture", "--backend", "x11"};
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    ASSERT_TRUE(ScreenBackendOfArguments(3, argv.data(), backend, error));
    EXPECT_EQ(backend, ScreenBackend::x11);
    words[2] = "wayland";
    argv[2] = words[2].data();
    EXPECT_FALSE(ScreenBackendOfArguments(3, argv.data(), backend, error));

    std::ofstream(ScreenBackendChoiceFile()) << "mir\n";
    EXPECT_EQ(LoadScreenBackendChoice(), ScreenBackend::automatic);
}

}  // namespace
}  // namespace tolm

#include "SettingsFileTest.moc"
