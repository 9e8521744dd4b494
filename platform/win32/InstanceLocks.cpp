#include "platform/win32/InstanceLocks.h"

#include <cstdint>
#include <cstdio>
#include <cwctype>
#include <map>
#include <mutex>

#include "platform/win32/WideText.h"
#include "platform/win32/Win32Handles.h"
#include "platform/win32/Win32Paths.h"

namespace tolm {
namespace {

class FolderLocks {
  public:
    bool Claim(const std::string& folder) {
        std::lock_guard lock(mutex_);
        if (locks_.count(folder)) return true;
        UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, FolderLockName(folder).c_str()));
        // Made before by another process, or by another user with rights that keep us out: not ours, and
        // asked again next time, as its holder may end meanwhile.
        if (!event || ::GetLastError() == ERROR_ALREADY_EXISTS) return false;
        locks_.emplace(folder, std::move(event));
        return true;
    }
    void GiveUp(const std::string& folder) {
        std::lock_guard lock(mutex_);
        locks_.erase(folder);
    }

  private:
    std::mutex mutex_;
    std::map<std::string, UniqueHandle> locks_;  // folder -> held lock
};

FolderLocks& Locks() {
    static FolderLocks locks;
    return locks;
}

}  // namespace

bool ClaimFolderLock(const std::string& folder) {
    return Locks().Claim(folder);
}

void GiveUpFolderLock(const std::string& folder) {
    Locks().GiveUp(folder);
}

std::wstring FolderLockName(const std::string& folder) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const wchar_t c : ToWide(Slashed(folder))) {
        hash ^= static_cast<std::uint64_t>(std::towlower(c));
        hash *= 1099511628211ull;
    }
    char name[64];
    std::snprintf(name, sizeof name, "Global\\TOLM Screen Capture %016llx", static_cast<unsigned long long>(hash));
    return ToWide(name);
}

}  // namespace tolm
