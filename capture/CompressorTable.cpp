#include "capture/CompressorTable.h"

namespace tolm {

void CompressorTable::Replace(std::vector<CompressorInfo> infos) {
    std::lock_guard lock(mutex_);
    infos_ = std::move(infos);
}

std::vector<std::string> CompressorTable::List() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> list;
    for (const CompressorInfo& info : infos_) list.push_back(info.szDescription);
    return list;
}

int CompressorTable::Count() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(infos_.size());
}

CompressorInfo CompressorTable::Info(int index) const {
    std::lock_guard lock(mutex_);
    if (index < 0 || index >= static_cast<int>(infos_.size())) return {};
    return infos_[static_cast<std::size_t>(index)];
}

}  // namespace tolm
