#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolm {

// $`variable` (XDG_CACHE_HOME, XDG_CONFIG_HOME, ...) when it names an absolute folder, else `belowHome` in the
// home folder; empty without a home folder.
std::string UserFolder(const char* variable, const char* belowHome);

// Makes the folder and the missing ones above it, each for this user only.
bool MakeFolders(const std::string& path, std::string& error);

// Replaces `file` (its folder exists) with `text` at once: written beside it for this user only, flushed to disk,
// then renamed over it, so a crash leaves the old text or the new, never a part.
bool WritePrivateFile(const std::string& file, const std::string& text, std::string& error);

// The per-user folder of the recorder's temporary files: $XDG_CACHE_HOME/tolm-screen-capture, else
// ~/.cache/tolm-screen-capture. It is on disk, so a large recording does not fill memory and what a crash left
// outlives a logout. Created with mode 0700 when missing (with the cache folder above it); a folder of that name
// that is a link, belongs to someone else or is open to others is refused (empty result, `error` says why), so
// no other user can plant or read our files.
std::string PrivateTempFolder(std::string& error);

// The folder this process keeps its temporary recording files in: the private folder itself for the first
// recorder of the user, a private subfolder of it ("instance-<pid>") for every further recorder running at the
// same time, so that their files never collide. Either is held by its instance lock until the process exits.
std::string InstanceTempFolder(std::string& error);

// Removes the folder if it is a per-process subfolder made by InstanceTempFolder that holds nothing but its lock.
void ReleaseInstanceTempFolder(const std::string& folder);

// The subfolders of further recorders that ended without removing theirs (killed): their instance locks are
// free. Each is claimed for this process by its lock, as FormerTempFolder claims the former folder, so that no
// recorder takes it meanwhile. `own` (this process's folder) is never among them.
std::vector<std::string> AbandonedTempFolders(const std::string& own);

// The folder earlier versions kept the temporary files in ($XDG_RUNTIME_DIR/tolm-screen-capture, else
// <temp>/tolm-screen-capture-<uid>), so that what a crash left there is still found. Claimed for this process
// by its instance lock, as InstanceTempFolder claims its own; empty when it is missing, is not a private folder
// of this user, is the current folder or is held by another program.
std::string FormerTempFolder();

// Removes a folder claimed by FormerTempFolder or AbandonedTempFolders once it holds nothing but its lock.
void ReleaseClaimedTempFolder(const std::string& folder);

bool FileExists(const std::string& path);
// The size of a file in bytes; 0 when it is missing or cannot be asked.
std::uint64_t FileSize(const std::string& path);
bool DirectoryExists(const std::string& path);

// Bytes an unprivileged program may still write on the file system that holds `folder`; nothing when that
// cannot be asked.
std::optional<std::uint64_t> FreeDiskBytes(const std::string& folder);

// The largest file this process may write (its file-size limit); nothing when there is no limit.
std::optional<std::uint64_t> FileSizeLimitBytes();

// Whether a new file can be made in `folder`, found by making one and removing it again: neither the mode bits
// nor access() tell for every case (a read-only mount seen by a privileged user, ACLs, no inodes left). On
// false `problem` says why.
bool FolderWritable(const std::string& folder, std::string& problem);

// True when the file exists and cannot be opened for reading and writing with an exclusive advisory lock:
// another program (or another part of this one) holds it. Anything but a regular file counts as in use and is
// not opened.
bool FileInUse(const std::string& path);

// True when the file opens but another open of it holds an advisory lock (flock) that excludes ours: a
// program is working on it. A file that cannot be opened at all, or is no regular file, is not counted as locked.
bool FileLocked(const std::string& path);

bool RemoveFile(const std::string& path);

// Makes a new empty file, never through a link; 0, or the errno value of the failure (EEXIST when the name is
// taken).
int CreateNewFile(const std::string& path);

// Renames `from` to `to`, replacing a file there in one step, and has it on disk before returning; 0, or the
// errno value of the failure (EXDEV when the two lie on different file systems: nothing is copied).
int RenameReplacing(const std::string& from, const std::string& to);

// Remembers the file for deletion at the next start of the program (RunDeletionsAtStart). Links are never
// followed. Returns whether the request was stored.
bool DeleteAtNextStart(const std::string& path);

// Deletes what earlier runs could not; what still cannot go stays listed. Returns how many files went.
int RunDeletionsAtStart();

// The folder part of a path ("" when it has none) and whether that folder exists.
std::string FolderOf(const std::string& path);

// Whether `path` leads from the root of the file system (on Windows, from a drive's or a share's).
bool IsAbsolutePath(const std::string& path);

// `path` from the root, resolved against the current folder, without "." and ".." (on Windows with '/' between
// the names); `path` itself when that cannot be done.
std::string AbsolutePath(const std::string& path);

}  // namespace tolm
