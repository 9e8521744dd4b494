#include "effects/FilterValues.h"

#include <iterator>

namespace tolm {

TUseFilters ApplyNoiseRule(TUseFilters current, TUseFilters next) {
    if (current.Contains(TUseFilter::UseColorNoise) && next.Contains(TUseFilter::UseMonoNoise))
        next = next.Without(TUseFilter::UseColorNoise);
    if (current.Contains(TUseFilter::UseMonoNoise) && next.Contains(TUseFilter::UseColorNoise))
        next = next.Without(TUseFilter::UseMonoNoise);
    return next;
}

void TFilterValues::Assign(const TFilterValues& other) {
    if (&other == this) return;
    constexpr auto relaxed = std::memory_order_relaxed;
    colorNoise_.store(other.colorNoise_.load(relaxed), relaxed);
    monoNoise_.store(other.monoNoise_.load(relaxed), relaxed);
    posterize_.store(other.posterize_.load(relaxed), relaxed);
    red_.store(other.red_.load(relaxed), relaxed);
    green_.store(other.green_.load(relaxed), relaxed);
    blue_.store(other.blue_.load(relaxed), relaxed);
    saturation_.store(other.saturation_.load(relaxed), relaxed);
    brightness_.store(other.brightness_.load(relaxed), relaxed);
    darkness_.store(other.darkness_.load(relaxed), relaxed);
    contrast_.store(other.contrast_.load(relaxed), relaxed);
    rotate_.store(other.rotate_.load(relaxed), relaxed);
}

void TFilterValues::SetIndexedValue(std::uint32_t index, std::int32_t value) {
    // The published order puts darkness (7) before brightness (8), unlike the fields.
    std::atomic<std::int32_t>* const fields[] = {&colorNoise_, &monoNoise_,  &posterize_, &red_,        &green_,
                                                 &blue_,       &saturation_, &darkness_,  &brightness_, &contrast_};
    if (index >= std::size(fields)) return;
    std::atomic<std::int32_t>& field = *fields[index];
    if (field.load(std::memory_order_relaxed) != value) field.store(value, std::memory_order_relaxed);
}

}  // namespace tolm
