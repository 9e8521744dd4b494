#pragma once

#include <windows.h>

#include <memory>

#include "platform/CDeleter.h"

namespace tolm {

// A kernel handle (file, thread, event) with its one owner.
using UniqueHandle = std::unique_ptr<void, CDeleter<&::CloseHandle>>;

// CreateFileW fails with INVALID_HANDLE_VALUE, not null; the owner is empty then.
inline UniqueHandle FileHandle(HANDLE handle) {
    return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

// A directory search of FindFirstFileW, which fails with INVALID_HANDLE_VALUE as well.
using SearchHandle = std::unique_ptr<void, CDeleter<&::FindClose>>;
inline SearchHandle SearchOf(HANDLE handle) {
    return SearchHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

}  // namespace tolm
