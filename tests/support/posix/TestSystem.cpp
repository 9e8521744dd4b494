#include "support/TestSystem.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

namespace tolm {

void SetTestEnvironment(const std::string& name, const std::string& value) {
    ::setenv(name.c_str(), value.c_str(), 1);
}

void PointUserFoldersAt(const std::string& folder) {
    SetTestEnvironment("XDG_RUNTIME_DIR", folder);
    SetTestEnvironment("XDG_CACHE_HOME", folder);
    SetTestEnvironment("XDG_CONFIG_HOME", folder);  // the kept choices of the window's tests
}

std::string CurrentThreadName() {
    char name[16] = {};
    ::pthread_getname_np(::pthread_self(), name, sizeof name);
    return name;
}

HeldFile::HeldFile(const std::string& path) : handle_(::open(path.c_str(), O_RDWR | O_CLOEXEC)) {
    held_ = handle_ >= 0 && ::flock(static_cast<int>(handle_), LOCK_EX) == 0;
}

HeldFile::~HeldFile() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

HeldFolderLock::HeldFolderLock(const std::string& folder)
    : handle_(::open((folder + "/instance.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    held_ = handle_ >= 0 && ::flock(static_cast<int>(handle_), LOCK_EX | LOCK_NB) == 0;
}

HeldFolderLock::~HeldFolderLock() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

}  // namespace tolm
