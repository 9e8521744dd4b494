#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>

namespace tolm {

// Kind of rotation or mirror applied when UseRotateImage is on.
enum class TScreenRotate : std::uint8_t { RLeft = 0, RRight = 1, RReverse = 2, RHorizontal = 3, RVertical = 4 };

// The twelve effects; the ordinal is the bit number in TUseFilters.
enum class TUseFilter : std::uint8_t {
    UseReverseColor = 0,
    UseGrayScale = 1,
    UseSepia = 2,
    UseRotateImage = 3,
    UseColorNoise = 4,
    UseMonoNoise = 5,
    UsePosterize = 6,
    UseColorAdjust = 7,
    UseSaturation = 8,
    UseDarkness = 9,
    UseBrightness = 10,
    UseContrast = 11,
};

// A set of effects, stored in 16 bits with bits 12..15 always clear.
class TUseFilters {
  public:
    static constexpr std::uint16_t kValidBits = 0x0FFF;

    constexpr TUseFilters() = default;
    constexpr TUseFilters(std::initializer_list<TUseFilter> filters) {
        for (TUseFilter f : filters) bits_ |= Mask(f);
    }
    static constexpr TUseFilters FromBits(std::uint16_t bits) {
        TUseFilters s;
        s.bits_ = bits & kValidBits;
        return s;
    }

    constexpr std::uint16_t Bits() const { return bits_; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr bool Contains(TUseFilter f) const { return (bits_ & Mask(f)) != 0; }
    constexpr TUseFilters With(TUseFilter f) const { return FromBits(bits_ | Mask(f)); }
    constexpr TUseFilters Without(TUseFilter f) const { return FromBits(bits_ & ~Mask(f)); }
    constexpr friend bool operator==(TUseFilters, TUseFilters) = default;

    static constexpr std::uint16_t Mask(TUseFilter f) { return static_cast<std::uint16_t>(1u << static_cast<int>(f)); }

  private:
    std::uint16_t bits_ = 0;
};

// The set that a write of `next` stores when `current` is stored: of the two noise kinds the one being
// added replaces the one already set, so both are never in the set together.
TUseFilters ApplyNoiseRule(TUseFilters current, TUseFilters next);

// The numeric parameters of the effects. Fields may be written on the user interface thread while a
// recording reads them for every frame, so each is atomic; the object checks no ranges.
class TFilterValues {
  public:
    TFilterValues() = default;
    TFilterValues(const TFilterValues&) = delete;
    TFilterValues& operator=(const TFilterValues&) = delete;

    // Member-by-member copy of another object's values.
    void Assign(const TFilterValues& other);

    // Writes one of the ten integer values by its index (0 colour noise, 1 mono noise, 2 posterize, 3 red,
    // 4 green, 5 blue, 6 saturation, 7 darkness, 8 brightness, 9 contrast); an index above 9 does nothing.
    void SetIndexedValue(std::uint32_t index, std::int32_t value);

    std::int32_t ValueColorNoise() const { return colorNoise_.load(std::memory_order_relaxed); }
    std::int32_t ValueMonoNoise() const { return monoNoise_.load(std::memory_order_relaxed); }
    std::int32_t ValuePosterize() const { return posterize_.load(std::memory_order_relaxed); }
    std::int32_t ValueRedColor() const { return red_.load(std::memory_order_relaxed); }
    std::int32_t ValueGreenColor() const { return green_.load(std::memory_order_relaxed); }
    std::int32_t ValueBlueColor() const { return blue_.load(std::memory_order_relaxed); }
    std::int32_t ValueSaturation() const { return saturation_.load(std::memory_order_relaxed); }
    std::int32_t ValueBrightness() const { return brightness_.load(std::memory_order_relaxed); }
    std::int32_t ValueDarkness() const { return darkness_.load(std::memory_order_relaxed); }
    std::int32_t ValueContrast() const { return contrast_.load(std::memory_order_relaxed); }
    TScreenRotate TypeScreenRotate() const { return rotate_.load(std::memory_order_relaxed); }
    void SetTypeScreenRotate(TScreenRotate r) { rotate_.store(r, std::memory_order_relaxed); }

  private:
    // Declared order; the defaults are those a new engine starts with (posterize 1 also keeps the
    // posterize filter from dividing by zero).
    std::atomic<std::int32_t> colorNoise_{0};
    std::atomic<std::int32_t> monoNoise_{0};
    std::atomic<std::int32_t> posterize_{1};
    std::atomic<std::int32_t> red_{0};
    std::atomic<std::int32_t> green_{0};
    std::atomic<std::int32_t> blue_{0};
    std::atomic<std::int32_t> saturation_{255};
    std::atomic<std::int32_t> brightness_{0};
    std::atomic<std::int32_t> darkness_{0};
    std::atomic<std::int32_t> contrast_{0};
    std::atomic<TScreenRotate> rotate_{TScreenRotate::RLeft};
};

}  // namespace tolm
