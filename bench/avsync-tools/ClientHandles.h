// Owning handles for the C objects of the sync client: the scene client's XCB handles and a sound stream.
#pragma once

#include <pulse/simple.h>

#include <memory>

#include "../scene/XcbHandles.h"

namespace tolm::avsync {

using scene::ConnectionPtr;
using scene::XcbPtr;

struct SimpleFree {
    void operator()(pa_simple* s) const noexcept { pa_simple_free(s); }
};
using SimplePtr = std::unique_ptr<pa_simple, SimpleFree>;

}  // namespace tolm::avsync
