#include "platform/PartFiles.h"

#include <windows.h>

#include <cerrno>
#include <filesystem>
#include <optional>

#include "imaging/Utf8Path.h"
#include "platform/Files.h"
#include "platform/PartFileNames.h"
#include "platform/win32/SystemErrors.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Handles.h"
#include "platform/win32/Win32Paths.h"

namespace tolm {
namespace {

constexpr DWORD kMaxNoteBytes = 64 * 1024;

// Where the notes of running saves lie: one small file per part file, named by its suffix and holding the part
// file's whole path (links need a privilege on Windows); "" when there is no private folder (a save then goes
// without its note).
std::string NotesFolder(bool create) {
    std::string error;
    const std::string base = PrivateTempFolder(error);
    if (base.empty()) return {};
    const std::string folder = base + "/" + kPartNotesFolder;
    if (create) ::CreateDirectoryW(ToWide(folder).c_str(), nullptr);
    return KindOf(folder) == PathKind::folder ? folder : std::string();
}

bool IsPartName(const std::string& path, const std::string& suffix) {
    return IsAbsolute(path) && EndsWithPartSuffix(path, suffix);
}

// Written while nobody else may open it, so a note is read whole or not at all: 0, or the errno value.
int WriteNote(const std::string& note, const std::string& part) {
    const UniqueHandle file = FileHandle(
        ::CreateFileW(ToWide(note).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ErrnoOf(::GetLastError());
    DWORD written = 0;
    if (::WriteFile(file.get(), part.data(), static_cast<DWORD>(part.size()), &written, nullptr) &&
        written == part.size())
        return 0;
    ::DeleteFileW(ToWide(note).c_str());  // goes once the handle closes
    return EIO;
}

// The part file a note names; "" for a note that says nothing of use, nothing while it is being written.
std::optional<std::string> ReadNote(const std::string& note) {
    const UniqueHandle file = FileHandle(::CreateFileW(ToWide(note).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ::GetLastError() == ERROR_SHARING_VIOLATION ? std::nullopt : std::optional(std::string());
    std::string text(kMaxNoteBytes, '\0');
    DWORD read = 0;
    if (!::ReadFile(file.get(), text.data(), kMaxNoteBytes, &read, nullptr) || read == kMaxNoteBytes) return "";
    text.resize(read);
    return text;
}

// The volume's longest name, in UTF-16 units; 255 where it cannot be asked.
std::size_t LongestName(const std::string& folder) {
    wchar_t volume[MAX_PATH + 1] = {};
    DWORD longest = 0;
    if (!::GetVolumePathNameW(ToWide(folder).c_str(), volume, MAX_PATH + 1) ||
        !::GetVolumeInformationW(volume, nullptr, 0, nullptr, &longest, nullptr, nullptr, 0) || longest == 0)
        return 255;
    return longest;
}

// Windows opens a path of MAX_PATH characters or more only for programs that declare they take long paths.
std::string LengthProblem(const std::string& output) {
    const std::string full = FullPath(output);
    const std::size_t slash = full.find_last_of('/');
    if (full.empty() || slash == std::string::npos) return {};
    const std::size_t name = ToWide(full.substr(slash + 1)).size();
    const std::size_t longest = LongestName(full.substr(0, slash + 1));
    if (name + PartFile::kExtraNameBytes > longest)
        return "its name of " + std::to_string(name) +
               " characters is too long: a save first writes it with .part-XXXXXXXX added, which passes the " +
               std::to_string(longest) + " characters a name may have here";
    const std::size_t path = ToWide(full).size();
    if (path + PartFile::kExtraNameBytes >= MAX_PATH)
        return "its path of " + std::to_string(path) +
               " characters is too long: a save first writes it with .part-XXXXXXXX added, which passes the " +
               std::to_string(MAX_PATH - 1) + " characters a path may have here";
    return {};
}

}  // namespace

void PartFile::Release() {
    if (!note_.empty()) RemoveFile(note_);
    note_.clear();
    if (lock_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(lock_));
    lock_ = -1;
}

int PartFile::Create(const std::string& output) {
    if (output.empty() || !path_.empty()) return EINVAL;
    const std::string notes = NotesFolder(true);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string suffix = RandomPartSuffix();
        const std::string candidate = output + kPartInfix + suffix;
        // Held open until the file is gone or is the output, so that an open sharing nothing (FileInUse) finds
        // it in use and the next start leaves it alone. The save's own writer and the rename over the output
        // share it.
        UniqueHandle held = FileHandle(::CreateFileW(ToWide(candidate).c_str(), GENERIC_READ,
                                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!held) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
            return ErrnoOf(error);
        }
        std::string note = notes.empty() ? std::string() : notes + "/" + suffix;
        if (const int error = note.empty() ? 0 : WriteNote(note, FullPath(candidate)); error == EEXIST) {
            RemoveFile(candidate);  // the suffix is taken by a part file in another folder
            continue;
        } else if (error != 0) {
            note.clear();  // the save matters more than finding its remains
        }
        output_ = output;
        path_ = candidate;
        note_ = note;
        lock_ = reinterpret_cast<std::intptr_t>(held.release());
        return 0;
    }
    return EEXIST;
}

// Windows has no immutable flag: a read-only file is what a rename cannot replace. Who may replace a file is
// for its access rights to say, which the rename does.
std::string OutputFileProblem(const std::string& output) {
    if (const std::string device = DeviceNamed(output); !device.empty())
        return "it is " + device + ", not a regular file";
    if (std::string problem = LengthProblem(output); !problem.empty()) return problem;
    switch (KindOf(output)) {
        case PathKind::folder:
            return "it is a folder";
        case PathKind::file:
            return (::GetFileAttributesW(ToWide(output).c_str()) & FILE_ATTRIBUTE_READONLY) ? "it is marked read-only"
                                                                                            : std::string();
        default:
            return {};  // missing, or a link, which the rename replaces
    }
}

std::vector<InterruptedPart> InterruptedParts() {
    std::vector<InterruptedPart> parts;
    const std::string notes = NotesFolder(false);
    if (notes.empty()) return parts;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(Utf8Path(notes), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = Utf8Name(it->path().filename());
        const std::string note = notes + "/" + name;
        const std::optional<std::string> part = ReadNote(note);
        if (!part) continue;  // a save is writing it
        if (!IsPartName(*part, name) || KindOf(*part) != PathKind::file) {
            // Gone, or not a file of ours any more: the note has nothing left to say.
            RemoveFile(note);
            continue;
        }
        if (!FileInUse(*part)) parts.push_back({*part, FileSize(*part)});
    }
    return parts;
}

void ForgetInterruptedPart(const std::string& path, bool remove) {
    const std::string notes = NotesFolder(false);
    if (notes.empty() || path.size() < kPartSuffixBytes) return;
    const std::string note = notes + "/" + path.substr(path.size() - kPartSuffixBytes);
    if (ReadNote(note) != path) return;
    if (remove && KindOf(path) == PathKind::file && !FileInUse(path)) RemoveFile(path);
    RemoveFile(note);
}

}  // namespace tolm
