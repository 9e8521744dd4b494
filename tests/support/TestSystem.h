#pragma once

#include <cstdint>
#include <string>

namespace tolm {

// Sets an environment variable of this process, where the system's own calls read it too.
void SetTestEnvironment(const std::string& name, const std::string& value);

// Points the folders the recorder keeps its files below (its cache, configuration and runtime folders; on
// Windows the local application data) at `folder`.
void PointUserFoldersAt(const std::string& folder);

// The calling thread's name as debuggers see it.
std::string CurrentThreadName();

// Holds an existing file as another program working on it does: an exclusive lock on POSIX, an open that
// shares nothing on Windows. Released when it goes.
class HeldFile {
  public:
    explicit HeldFile(const std::string& path);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    bool Held() const { return held_; }

  private:
    std::intptr_t handle_;
    bool held_ = false;
};

// Holds the instance lock of a temporary folder as a recorder working in it does: a lock file in it on POSIX,
// a named kernel object on Windows. Held() is false when this process or another holds it already.
class HeldFolderLock {
  public:
    explicit HeldFolderLock(const std::string& folder);
    ~HeldFolderLock();
    HeldFolderLock(const HeldFolderLock&) = delete;
    HeldFolderLock& operator=(const HeldFolderLock&) = delete;

    bool Held() const { return held_; }

  private:
    std::intptr_t handle_;
    bool held_ = false;
};

}  // namespace tolm
