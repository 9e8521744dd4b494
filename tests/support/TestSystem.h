#pragma once

#include <cstdint>
#include <string>

namespace tolm {

// Sets an environment variable of this process, where the system's own calls read it too.
void SetTestEnvironment(const std::string& name, const std::string& value);

// Points the folders the recorder keeps its files below (its cache and runtime folders; on Windows the local
// application data) at `folder`.
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

}  // namespace tolm
