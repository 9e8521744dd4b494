#include "platform/pulse/PulseSourceChoice.h"

#include <algorithm>
#include <utility>

namespace tolm::pulse {

void SourceChoice::Choose(std::string sourceName) {
    std::lock_guard lock(mutex_);
    chosen_ = std::move(sourceName);
}

int SourceChoice::Recorded(PulseConnection& connection, const std::vector<SourceInfo>& sources,
                           std::string& name) const {
    std::string chosen;
    {
        std::lock_guard lock(mutex_);
        chosen = chosen_;
    }
    if (std::any_of(sources.begin(), sources.end(), [&chosen](const SourceInfo& s) { return s.name == chosen; })) {
        name = std::move(chosen);
        return PA_OK;
    }
    return GetDefaultSourceName(connection, name);
}

}  // namespace tolm::pulse
