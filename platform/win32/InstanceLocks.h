#pragma once

#include <string>

namespace tolm {

// The instance locks of temporary folders: named kernel objects rather than open files, so that nothing stops a
// folder's removal. An object lives while a process holds it; the system drops it when the process ends, however
// it ends, so a killed recorder's folder is found by its free lock.

// Whether this process holds the folder's lock, taken now if no other process holds it.
bool ClaimFolderLock(const std::string& folder);
// Lets the lock go, for another process to claim.
void GiveUpFolderLock(const std::string& folder);

// The object's name: in the global namespace, so that every session of the user meets the same lock, and made
// of a hash of the folder's name, letter case aside as Windows' names are (object names cannot hold '\' and
// stop at MAX_PATH).
std::wstring FolderLockName(const std::string& folder);

}  // namespace tolm
