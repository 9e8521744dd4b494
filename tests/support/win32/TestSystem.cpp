#include "support/TestSystem.h"

#include <windows.h>

#include <cstdlib>

#include "platform/win32/InstanceLocks.h"
#include "platform/win32/WideText.h"

namespace tolm {

void SetTestEnvironment(const std::string& name, const std::string& value) {
    ::_wputenv_s(ToWide(name).c_str(), ToWide(value).c_str());
}

void PointUserFoldersAt(const std::string& folder) {
    SetTestEnvironment("LOCALAPPDATA", folder);
}

// Declared by newer SDKs than mingw-w64 10's; Windows 10 (1607) and Wine have it.
std::string CurrentThreadName() {
    using GetDescriptionFn = HRESULT(WINAPI*)(HANDLE, PWSTR*);
    const FARPROC found = ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription");
    const auto get = reinterpret_cast<GetDescriptionFn>(reinterpret_cast<void (*)()>(found));
    wchar_t* name = nullptr;
    if (!get || FAILED(get(::GetCurrentThread(), &name))) return {};
    const std::string text = ToUtf8(name);
    ::LocalFree(name);
    return text;
}

HeldFile::HeldFile(const std::string& path)
    : handle_(reinterpret_cast<std::intptr_t>(::CreateFileW(ToWide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))) {
    held_ = reinterpret_cast<HANDLE>(handle_) != INVALID_HANDLE_VALUE;
}

HeldFile::~HeldFile() {
    if (held_) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

HeldFolderLock::HeldFolderLock(const std::string& folder)
    : handle_(reinterpret_cast<std::intptr_t>(::CreateEventW(nullptr, TRUE, FALSE, FolderLockName(folder).c_str()))) {
    held_ = handle_ != 0 && ::GetLastError() != ERROR_ALREADY_EXISTS;
}

HeldFolderLock::~HeldFolderLock() {
    if (handle_ != 0) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

}  // namespace tolm
