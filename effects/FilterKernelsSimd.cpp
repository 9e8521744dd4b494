#include "effects/FilterKernelsSimd.h"

#include <algorithm>

#if defined(__x86_64__)
// GCC's AVX-512 headers seed results with a self-initialised "undefined" vector that its own flow analysis
// then reports as uninitialised.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
#endif

namespace tolm::simd {

#if defined(__x86_64__)

namespace {

// The generator's multiplier; see EffectRandom.h.
constexpr std::uint32_t kMultiplier = 134775813u;

// A block is 16 triples. Lane j holds the generator state of the j-th draw the block uses, as
// mult * (state before the block) + add; the state after the block has the same form. Colour noise has 48
// lanes, one per byte (byte 2 of a triple takes its first draw, byte 0 its third); mono noise 16, one per triple.
struct NoiseLanes {
    std::uint32_t mult[48];
    std::uint32_t add[48];
    std::uint32_t stepMult;
    std::uint32_t stepAdd;
};

constexpr NoiseLanes MakeNoiseLanes(bool mono) {
    std::uint32_t power[49]{};
    std::uint32_t offset[49]{};
    power[0] = 1;
    for (int k = 0; k < 48; ++k) power[k + 1] = power[k] * kMultiplier, offset[k + 1] = offset[k] * kMultiplier + 1u;
    NoiseLanes lanes{};
    const int count = mono ? 16 : 48;
    for (int j = 0; j < count; ++j) {
        const int draw = mono ? j : 3 * (j / 3) + 2 - j % 3;
        lanes.mult[j] = power[draw + 1];
        lanes.add[j] = offset[draw + 1];
    }
    lanes.stepMult = power[count];
    lanes.stepAdd = offset[count];
    return lanes;
}

constexpr NoiseLanes kColourLanes = MakeNoiseLanes(false);
constexpr NoiseLanes kMonoLanes = MakeNoiseLanes(true);

// Sums of 30 R + 59 G + 11 B over BGRX pixels come from byte-pair products: weights 11, 59, 30, 0 by byte.
constexpr std::int32_t kGreyWeights = 0x001E3B0B;
// A sum is at most 25500, where (sum * 5243) >> 19 is sum / 100 exactly; r * 205 >> 11 is r / 10 for r < 1024.
constexpr std::int32_t kBy100 = 5243;
constexpr std::int32_t kBy10 = 205;

// Grey levels of eight BGRX pixels.
__attribute__((target("avx2"))) inline __m256i GreyLevels8(__m256i px, const std::uint32_t* ties) {
    const __m256i pairs = _mm256_maddubs_epi16(px, _mm256_set1_epi32(kGreyWeights));
    const __m256i sum = _mm256_madd_epi16(pairs, _mm256_set1_epi16(1));
    const __m256i q = _mm256_srli_epi32(_mm256_madd_epi16(sum, _mm256_set1_epi32(kBy100)), 19);
    const __m256i rem = _mm256_sub_epi32(sum, _mm256_madd_epi16(q, _mm256_set1_epi32(100)));
    __m256i grey = _mm256_sub_epi32(q, _mm256_cmpgt_epi32(rem, _mm256_set1_epi32(50)));
    const __m256i tie = _mm256_cmpeq_epi32(rem, _mm256_set1_epi32(50));
    if (!_mm256_testz_si256(tie, tie)) {
        const __m256i index = _mm256_and_si256(px, _mm256_set1_epi32(0xFFFF));
        const __m256i words =
            _mm256_mask_i32gather_epi32(_mm256_setzero_si256(), reinterpret_cast<const int*>(ties), index, tie, 4);
        const __m256i red = _mm256_and_si256(_mm256_srli_epi32(px, 16), _mm256_set1_epi32(0xFF));
        const __m256i tens = _mm256_srli_epi32(_mm256_mullo_epi32(red, _mm256_set1_epi32(kBy10)), 11);
        grey = _mm256_add_epi32(grey, _mm256_and_si256(_mm256_srlv_epi32(words, tens), _mm256_set1_epi32(1)));
    }
    return grey;
}

// Grey levels of sixteen BGRX pixels.
__attribute__((target("avx512f,avx512bw"))) inline __m512i GreyLevels16(__m512i px, const std::uint32_t* ties) {
    const __m512i one = _mm512_set1_epi32(1);
    const __m512i pairs = _mm512_maddubs_epi16(px, _mm512_set1_epi32(kGreyWeights));
    const __m512i sum = _mm512_madd_epi16(pairs, _mm512_set1_epi16(1));
    const __m512i q = _mm512_srli_epi32(_mm512_madd_epi16(sum, _mm512_set1_epi32(kBy100)), 19);
    const __m512i rem = _mm512_sub_epi32(sum, _mm512_madd_epi16(q, _mm512_set1_epi32(100)));
    __m512i grey = _mm512_mask_add_epi32(q, _mm512_cmpgt_epi32_mask(rem, _mm512_set1_epi32(50)), q, one);
    const __mmask16 tie = _mm512_cmpeq_epi32_mask(rem, _mm512_set1_epi32(50));
    if (tie) {
        const __m512i index = _mm512_and_si512(px, _mm512_set1_epi32(0xFFFF));
        const __m512i words = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), tie, index, ties, 4);
        const __m512i red = _mm512_and_si512(_mm512_srli_epi32(px, 16), _mm512_set1_epi32(0xFF));
        const __m512i tens = _mm512_srli_epi32(_mm512_mullo_epi32(red, _mm512_set1_epi32(kBy10)), 11);
        grey = _mm512_add_epi32(grey, _mm512_and_si512(_mm512_srlv_epi32(words, tens), one));
    }
    return grey;
}

}  // namespace

const Support& Detect() {
    static const Support support = [] {
        __builtin_cpu_init();
        Support s;
        s.sse2 = __builtin_cpu_supports("sse2");
        s.avx2 = __builtin_cpu_supports("avx2");
        s.avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
        s.avx512vbmi = s.avx512 && __builtin_cpu_supports("avx512vbmi");
        return s;
    }();
    return support;
}

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) std::size_t MapBytesVbmi(std::uint8_t* bytes, std::size_t count,
                                                                                const ByteTable& table) {
    const __m512i t0 = _mm512_loadu_si512(table.data());
    const __m512i t1 = _mm512_loadu_si512(table.data() + 64);
    const __m512i t2 = _mm512_loadu_si512(table.data() + 128);
    const __m512i t3 = _mm512_loadu_si512(table.data() + 192);
    std::size_t i = 0;
    for (; i + 64 <= count; i += 64) {
        const __m512i c = _mm512_loadu_si512(bytes + i);
        // Two 128-entry lookups on the low seven bits; the top bit picks between them.
        const __m512i low = _mm512_permutex2var_epi8(t0, c, t1);
        const __m512i high = _mm512_permutex2var_epi8(t2, c, t3);
        _mm512_storeu_si512(bytes + i, _mm512_mask_blend_epi8(_mm512_movepi8_mask(c), low, high));
    }
    return i;
}

std::size_t AddCyclicSse2(std::uint8_t* bytes, std::size_t count, const CyclicOffsets& offsets) {
    // A signed offset is a saturating add of its positive part and a saturating subtract of its negative part.
    alignas(16) std::uint8_t plus[48];
    alignas(16) std::uint8_t minus[48];
    for (std::size_t j = 0; j < 48; ++j) {
        const int o = offsets[j];
        plus[j] = static_cast<std::uint8_t>(o > 0 ? o : 0);
        minus[j] = static_cast<std::uint8_t>(o < 0 ? -o : 0);
    }
    __m128i add[3], sub[3];
    for (int k = 0; k < 3; ++k) {
        add[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(plus + 16 * k));
        sub[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(minus + 16 * k));
    }
    std::size_t i = 0;
    for (; i + 48 <= count; i += 48) {
        for (int k = 0; k < 3; ++k) {
            auto* at = reinterpret_cast<__m128i*>(bytes + i + 16 * k);
            _mm_storeu_si128(at, _mm_subs_epu8(_mm_adds_epu8(_mm_loadu_si128(at), add[k]), sub[k]));
        }
    }
    return i;
}

namespace {

// Draws d - n div 2 for the 16 states in `st`, clamped to +-255 (beyond it a byte clamps the same way).
__attribute__((target("avx512f"))) inline __m512i NoiseOffsets(__m512i st, __m512i range, __m512i half) {
    // Upper halves of state * n, for even and odd lanes.
    const __m512i even = _mm512_srli_epi64(_mm512_mul_epu32(st, range), 32);
    const __m512i odd = _mm512_mul_epu32(_mm512_srli_epi64(st, 32), range);
    const __m512i draw = _mm512_mask_blend_epi32(0xAAAA, even, odd);
    const __m512i o = _mm512_sub_epi32(draw, half);
    return _mm512_min_epi32(_mm512_max_epi32(o, _mm512_set1_epi32(-255)), _mm512_set1_epi32(255));
}

__attribute__((target("avx512f"))) inline void AddOffsets16(std::uint8_t* at, __m512i o) {
    auto* bytes = reinterpret_cast<__m128i*>(at);
    const __m512i c = _mm512_add_epi32(_mm512_cvtepu8_epi32(_mm_loadu_si128(bytes)), o);
    _mm_storeu_si128(bytes, _mm512_cvtusepi32_epi8(_mm512_max_epi32(c, _mm512_setzero_si512())));
}

}  // namespace

__attribute__((target("avx512f,avx512bw"))) std::size_t AddNoiseAvx512(std::uint8_t* bytes, std::size_t triples,
                                                                       std::int32_t n, bool mono,
                                                                       std::uint32_t& state) {
    const NoiseLanes& lanes = mono ? kMonoLanes : kColourLanes;
    __m512i mult[3], add[3];
    for (int k = 0; k < 3; ++k) {
        mult[k] = _mm512_loadu_si512(lanes.mult + 16 * k);
        add[k] = _mm512_loadu_si512(lanes.add + 16 * k);
    }
    // A block of mono noise takes 16 draws, one per triple: draw t serves bytes 3t..3t+2.
    __m512i spread[3];
    for (int k = 0; k < 3; ++k) {
        alignas(64) std::int32_t index[16];
        for (int j = 0; j < 16; ++j) index[j] = (16 * k + j) / 3;
        spread[k] = _mm512_load_si512(index);
    }
    const __m512i range = _mm512_set1_epi32(n);
    const __m512i half = _mm512_set1_epi32(n / 2);
    const std::size_t blocks = triples / 16;
    std::uint32_t s = state;
    std::uint8_t* p = bytes;
    for (std::size_t b = 0; b < blocks; ++b, p += 48) {
        const __m512i base = _mm512_set1_epi32(static_cast<std::int32_t>(s));
        if (mono) {
            const __m512i o = NoiseOffsets(_mm512_add_epi32(_mm512_mullo_epi32(base, mult[0]), add[0]), range, half);
            for (int k = 0; k < 3; ++k) AddOffsets16(p + 16 * k, _mm512_permutexvar_epi32(spread[k], o));
        } else {
            for (int k = 0; k < 3; ++k)
                AddOffsets16(p + 16 * k,
                             NoiseOffsets(_mm512_add_epi32(_mm512_mullo_epi32(base, mult[k]), add[k]), range, half));
        }
        s = s * lanes.stepMult + lanes.stepAdd;
    }
    state = s;
    return blocks * 16;
}

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) std::size_t TonePixelsAvx512(std::uint8_t* pixels,
                                                                                    std::size_t count, Tone tone,
                                                                                    std::int32_t v) {
    const std::uint32_t* ties = GreyTieTable();
    // Each grey level copied into the pixel's first three bytes; the fourth bytes come from the source.
    const __m512i spread =
        _mm512_broadcast_i32x4(_mm_setr_epi8(0, 0, 0, -128, 4, 4, 4, -128, 8, 8, 8, -128, 12, 12, 12, -128));
    const __mmask64 fourth = 0x8888888888888888ull;
    const __m512i sepia = _mm512_set1_epi32(0x00442200);
    // Saturation by bytes: |c - g| through a table of min(|c - g| * |v| div 255, 255), then added to or taken
    // from g with saturation by the sign of (c - g) * v; past 255 the result clamps the same way.
    alignas(64) std::uint8_t table[256];
    const std::int64_t magnitude = v < 0 ? -static_cast<std::int64_t>(v) : v;
    for (int d = 0; d < 256; ++d)
        table[d] = static_cast<std::uint8_t>(std::min<std::int64_t>(d * magnitude / 255, 255));
    __m512i lookup[4];
    for (int k = 0; k < 4; ++k) lookup[k] = _mm512_load_si512(table + 64 * k);
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        std::uint8_t* p = pixels + 4 * i;
        const __m512i px = _mm512_loadu_si512(p);
        const __m512i grey = _mm512_shuffle_epi8(GreyLevels16(px, ties), spread);
        __m512i toned = grey;
        if (tone == Tone::Sepia) {
            toned = _mm512_adds_epu8(grey, sepia);
        } else if (tone == Tone::Saturation) {
            const __m512i distance = _mm512_or_si512(_mm512_subs_epu8(px, grey), _mm512_subs_epu8(grey, px));
            const __m512i shift = _mm512_mask_blend_epi8(_mm512_movepi8_mask(distance),
                                                         _mm512_permutex2var_epi8(lookup[0], distance, lookup[1]),
                                                         _mm512_permutex2var_epi8(lookup[2], distance, lookup[3]));
            const __mmask64 up = v < 0 ? _mm512_cmpgt_epu8_mask(grey, px) : _mm512_cmpgt_epu8_mask(px, grey);
            toned = _mm512_mask_blend_epi8(up, _mm512_subs_epu8(grey, shift), _mm512_adds_epu8(grey, shift));
        }
        _mm512_storeu_si512(p, _mm512_mask_blend_epi8(fourth, toned, px));
    }
    return i;
}

__attribute__((target("avx2"))) std::size_t GreyPixelsAvx2(std::uint8_t* pixels, std::size_t count, GreyTone tone) {
    const std::uint32_t* ties = GreyTieTable();
    // Each grey level copied into the pixel's first three bytes; the fourth comes from the source.
    const __m256i spread = _mm256_setr_epi8(0, 0, 0, -128, 4, 4, 4, -128, 8, 8, 8, -128, 12, 12, 12, -128, 0, 0, 0,
                                            -128, 4, 4, 4, -128, 8, 8, 8, -128, 12, 12, 12, -128);
    const __m256i toneAdd = _mm256_set1_epi32(tone == GreyTone::Sepia ? 0x00442200 : 0);
    const __m256i fourth = _mm256_set1_epi32(static_cast<std::int32_t>(0xFF000000u));
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        std::uint8_t* p = pixels + 4 * i;
        const __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i grey = GreyLevels8(px, ties);
        const __m256i toned = _mm256_adds_epu8(_mm256_shuffle_epi8(grey, spread), toneAdd);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), _mm256_or_si256(toned, _mm256_and_si256(px, fourth)));
    }
    return i;
}

__attribute__((target("avx2"))) std::size_t SaturatePixelsAvx2(std::uint8_t* pixels, std::size_t count,
                                                               std::int32_t v) {
    const std::uint32_t* ties = GreyTieTable();
    const __m256i factor = _mm256_set1_epi32(v);
    const __m256i by255 = _mm256_set1_epi32(static_cast<std::int32_t>(0x80808081u));
    const __m256i byteMask = _mm256_set1_epi32(0xFF);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i fourth = _mm256_set1_epi32(static_cast<std::int32_t>(0xFF000000u));
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        std::uint8_t* p = pixels + 4 * i;
        const __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i grey = GreyLevels8(px, ties);
        __m256i out = _mm256_and_si256(px, fourth);
        for (int shift = 0; shift < 24; shift += 8) {
            const __m256i c = _mm256_and_si256(_mm256_srli_epi32(px, shift), byteMask);
            const __m256i product = _mm256_mullo_epi32(_mm256_sub_epi32(c, grey), factor);
            // |product| div 255 as (|product| * 0x80808081) >> 39, then the sign back: truncation toward zero.
            const __m256i magnitude = _mm256_abs_epi32(product);
            const __m256i evenHigh = _mm256_srli_epi64(_mm256_mul_epu32(magnitude, by255), 32);
            const __m256i oddHigh = _mm256_mul_epu32(_mm256_srli_epi64(magnitude, 32), by255);
            const __m256i quotient = _mm256_srli_epi32(_mm256_blend_epi32(evenHigh, oddHigh, 0xAA), 7);
            __m256i result = _mm256_add_epi32(grey, _mm256_sign_epi32(quotient, product));
            result = _mm256_min_epi32(_mm256_max_epi32(result, zero), byteMask);
            out = _mm256_or_si256(out, _mm256_slli_epi32(result, shift));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), out);
    }
    return i;
}

#else

const Support& Detect() {
    static const Support none{};
    return none;
}
std::size_t MapBytesVbmi(std::uint8_t*, std::size_t, const ByteTable&) {
    return 0;
}
std::size_t AddCyclicSse2(std::uint8_t*, std::size_t, const CyclicOffsets&) {
    return 0;
}
std::size_t AddNoiseAvx512(std::uint8_t*, std::size_t, std::int32_t, bool, std::uint32_t&) {
    return 0;
}
std::size_t TonePixelsAvx512(std::uint8_t*, std::size_t, Tone, std::int32_t) {
    return 0;
}
std::size_t GreyPixelsAvx2(std::uint8_t*, std::size_t, GreyTone) {
    return 0;
}
std::size_t SaturatePixelsAvx2(std::uint8_t*, std::size_t, std::int32_t) {
    return 0;
}

#endif

}  // namespace tolm::simd
