#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/VideoTypes.h"

namespace tolm {

// The compressors offered for the current area and colour depth: rebuilt on the main thread, read there and by
// the recording worker, which picks the selected one by its index. Thread-safe.
class CompressorTable {
  public:
    // The offered compressors, in the order of the list.
    void Replace(std::vector<CompressorInfo> infos);
    // Their descriptions, as the list shows them.
    std::vector<std::string> List() const;
    int Count() const;
    // An empty info for an index that names no offered compressor.
    CompressorInfo Info(int index) const;

  private:
    mutable std::mutex mutex_;
    std::vector<CompressorInfo> infos_;
};

}  // namespace tolm
