#pragma once

namespace tolm {

// Deleter calling a C release function, for the backends' handles in std::unique_ptr; null handles are left
// alone.
template <auto Fn>
struct CDeleter {
    template <class T>
    void operator()(T* p) const noexcept {
        if (p) Fn(p);
    }
};

}  // namespace tolm
