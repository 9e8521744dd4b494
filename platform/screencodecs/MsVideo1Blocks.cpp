#include "platform/screencodecs/MsVideo1Blocks.h"

#include <algorithm>
#include <climits>

namespace tolm::screencodecs::msvideo1 {
namespace {

constexpr std::uint32_t kBestQuality = 10000;
// Squared error (of 8-bit channels) a byte is worth at the lowest quality.
constexpr std::int64_t kWorstByteWeight = 1024;

int Channel(std::uint32_t c, int k) {
    return static_cast<int>(c >> (8 * k) & 0xFF);
}

// What the decoder's 5 bits of a channel become at 8.
constexpr int Widen(int v) {
    return v << 3 | v >> 2;
}

// The 5 bits whose widened value is nearest to each 8-bit value.
constexpr std::array<std::uint8_t, 256> NearestTable() {
    std::array<std::uint8_t, 256> table{};
    for (int m = 0; m < 256; ++m) {
        int best = 0;
        auto gap = [m](int v) { return Widen(v) > m ? Widen(v) - m : m - Widen(v); };
        for (int v = 1; v < 32; ++v)
            if (gap(v) < gap(best)) best = v;
        table[static_cast<std::size_t>(m)] = static_cast<std::uint8_t>(best);
    }
    return table;
}
constexpr std::array<std::uint8_t, 256> kNearest = NearestTable();

// A colour the format can carry: its 15 bits, and the pixel the decoder shows for it.
struct Colour {
    std::uint16_t code = 0;
    std::uint32_t shown = 0;
};

Colour Quantise(int b, int g, int r) {
    const int qb = kNearest[static_cast<std::size_t>(b)];
    const int qg = kNearest[static_cast<std::size_t>(g)];
    const int qr = kNearest[static_cast<std::size_t>(r)];
    return {static_cast<std::uint16_t>(qr << 10 | qg << 5 | qb),
            static_cast<std::uint32_t>(Widen(qr) << 16 | Widen(qg) << 8 | Widen(qb))};
}

Colour Quantise(std::uint32_t pixel) {
    return Quantise(Channel(pixel, 0), Channel(pixel, 1), Channel(pixel, 2));
}

int Distance(std::uint32_t a, std::uint32_t b) {
    const int d0 = Channel(a, 0) - Channel(b, 0);
    const int d1 = Channel(a, 1) - Channel(b, 1);
    const int d2 = Channel(a, 2) - Channel(b, 2);
    return d0 * d0 + d1 * d1 + d2 * d2;
}

// Sums of the channels of a group of pixels, for the colour nearest to all of them.
struct Sum {
    int c[3] = {0, 0, 0};
    int n = 0;

    void Add(std::uint32_t pixel) {
        for (int k = 0; k < 3; ++k) c[k] += Channel(pixel, k);
        ++n;
    }
    Colour Mean() const {
        if (n == 0) return {};
        return Quantise((2 * c[0] + n) / (2 * n), (2 * c[1] + n) / (2 * n), (2 * c[2] + n) / (2 * n));
    }
};

// Two colours and which pixels take the first (flag set) or the second.
struct Pair {
    Colour a;
    Colour b;
    std::uint16_t mask = 0;
    int error = 0;
};

int BlockError(const Block& x, const Block& y) {
    int e = 0;
    for (std::size_t i = 0; i < 16; ++i) e += Distance(x[i], y[i]);
    return e;
}

int ErrorOf(const Block& block, std::uint32_t shown) {
    int e = 0;
    for (std::uint32_t c : block) e += Distance(c, shown);
    return e;
}

Colour FillColour(const Block& block) {
    Sum sum;
    for (std::uint32_t c : block) sum.Add(c);
    return sum.Mean();
}

// Nearer of the pair's colours for each pixel; sets the mask and the error.
void Assign(const Block& block, Pair& pair) {
    pair.mask = 0;
    pair.error = 0;
    for (unsigned i = 0; i < 16; ++i) {
        const int da = Distance(block[i], pair.a.shown);
        const int db = Distance(block[i], pair.b.shown);
        if (da <= db) pair.mask = static_cast<std::uint16_t>(pair.mask | 1u << i);
        pair.error += std::min(da, db);
    }
}

// Two colours for the whole block: its extremes along its widest channel, moved a few times to the means of
// the pixels nearest to them.
Pair FitTwo(const Block& block) {
    int lo[3] = {256, 256, 256}, hi[3] = {-1, -1, -1};
    std::uint32_t loPixel[3] = {}, hiPixel[3] = {};
    for (std::uint32_t c : block)
        for (int k = 0; k < 3; ++k) {
            const int v = Channel(c, k);
            if (v < lo[k]) lo[k] = v, loPixel[k] = c;
            if (v > hi[k]) hi[k] = v, hiPixel[k] = c;
        }
    int widest = 0;
    for (int k = 1; k < 3; ++k)
        if (hi[k] - lo[k] > hi[widest] - lo[widest]) widest = k;
    Pair pair{Quantise(loPixel[widest]), Quantise(hiPixel[widest]), 0, 0};
    Assign(block, pair);
    for (int round = 0; round < 4; ++round) {
        Sum a, b;
        for (unsigned i = 0; i < 16; ++i) (pair.mask >> i & 1 ? a : b).Add(block[i]);
        Pair next{a.n ? a.Mean() : pair.a, b.n ? b.Mean() : pair.b, 0, 0};
        Assign(block, next);
        if (next.error >= pair.error) break;
        pair = next;
    }
    return pair;
}

// The quarters' pixels in block order, the top right pixel (whose flag must be clear) last.
constexpr unsigned kQuarters[4][4] = {{0, 1, 4, 5}, {2, 3, 6, 7}, {8, 9, 12, 13}, {10, 11, 14, 15}};

// Two colours for four pixels: every split of them tried, the last pixel always with the second colour.
Pair FitQuarter(const Block& block, const unsigned (&index)[4]) {
    Pair best;
    best.error = INT_MAX;
    for (unsigned split = 0; split < 8; ++split) {
        Sum a, b;
        for (unsigned k = 0; k < 4; ++k) (split >> k & 1 ? a : b).Add(block[index[k]]);
        Pair pair{a.Mean(), b.Mean(), 0, 0};
        if (a.n == 0) pair.a = pair.b;
        for (unsigned k = 0; k < 4; ++k) {
            const bool first = split >> k & 1;
            pair.error += Distance(block[index[k]], first ? pair.a.shown : pair.b.shown);
            if (first) pair.mask = static_cast<std::uint16_t>(pair.mask | 1u << index[k]);
        }
        if (pair.error < best.error) best = pair;
    }
    return best;
}

void Put16(std::uint8_t*& out, unsigned value) {
    *out++ = static_cast<std::uint8_t>(value);
    *out++ = static_cast<std::uint8_t>(value >> 8);
}

// Two colours: the flags, then the colour of set flags and the colour of clear ones.
int WriteTwo(Pair pair, std::uint8_t* out, Block& shown) {
    if (pair.mask & 0x8000) {  // a set top bit would read as another code
        std::swap(pair.a, pair.b);
        pair.mask = static_cast<std::uint16_t>(~pair.mask);
    }
    for (unsigned i = 0; i < 16; ++i) shown[i] = pair.mask >> i & 1 ? pair.a.shown : pair.b.shown;
    Put16(out, pair.mask);
    Put16(out, pair.a.code);
    Put16(out, pair.b.code);
    return 6;
}

bool FillLooksLikeSkip(Colour colour) {
    return (colour.code >> 10) == 1;  // red 1 sets the same bits as a skip code
}

int WriteFill(Colour colour, std::uint8_t* out, Block& shown) {
    if (FillLooksLikeSkip(colour)) return WriteTwo(Pair{colour, colour, 0, 0}, out, shown);
    shown.fill(colour.shown);
    Put16(out, 0x8000u | colour.code);
    return 2;
}

int WriteEight(const Pair (&quarters)[4], std::uint8_t* out, Block& shown) {
    unsigned mask = 0;
    for (unsigned q = 0; q < 4; ++q) {
        mask |= quarters[q].mask;
        for (unsigned i : kQuarters[q])
            shown[i] = quarters[q].mask >> i & 1 ? quarters[q].a.shown : quarters[q].b.shown;
    }
    Put16(out, mask);
    Put16(out, 0x8000u | quarters[0].a.code);  // its top bit tells eight colours from two
    Put16(out, quarters[0].b.code);
    for (unsigned q = 1; q < 4; ++q) {
        Put16(out, quarters[q].a.code);
        Put16(out, quarters[q].b.code);
    }
    return 18;
}

// The block's colours when it has at most two (b == a for one), with the pixels of a in the mask.
bool AtMostTwoColours(const Block& block, std::uint32_t& a, std::uint32_t& b, std::uint16_t& mask) {
    a = block[0];
    b = a;
    mask = 1;
    for (unsigned i = 1; i < 16; ++i) {
        const std::uint32_t c = block[i];
        if (c == a) {
            mask = static_cast<std::uint16_t>(mask | 1u << i);
        } else if (b == a) {
            b = c;
        } else if (c != b) {
            return false;
        }
    }
    return true;
}

}  // namespace

BlockCoder::BlockCoder(std::uint32_t quality) {
    if (quality < 1 || quality > kBestQuality) quality = kBestQuality;
    errorWeight_ = kBestQuality - 1;
    byteWeight_ = kWorstByteWeight * (kBestQuality - quality);
}

int BlockCoder::Code(const Block& block, bool key, Block& shown, std::uint8_t* out) const {
    enum class Choice { skip, fill, two, eight };
    Choice choice = Choice::skip;
    std::int64_t best = INT64_MAX;
    auto consider = [&](Choice c, int error, int bytes) {
        const std::int64_t cost = error * errorWeight_ + bytes * byteWeight_;
        if (cost < best) best = cost, choice = c;
    };
    if (!key) {
        const int error = BlockError(block, shown);
        if (error == 0) return 0;
        consider(Choice::skip, error, 0);
    }

    Pair two;
    std::uint32_t a, b;
    const bool few = AtMostTwoColours(block, a, b, two.mask);
    // One colour: no code comes closer than filling with it.
    const Colour fill = few && a == b ? Quantise(a) : FillColour(block);
    consider(Choice::fill, ErrorOf(block, fill.shown), FillLooksLikeSkip(fill) ? 6 : 2);
    if (few && a == b) return choice == Choice::skip ? 0 : WriteFill(fill, out, shown);

    if (few) {
        two.a = Quantise(a);
        two.b = Quantise(b);
        two.error = 0;
        for (unsigned i = 0; i < 16; ++i)
            two.error += Distance(block[i], two.mask >> i & 1 ? two.a.shown : two.b.shown);
    } else {
        two = FitTwo(block);
    }
    consider(Choice::two, two.error, 6);

    Pair quarters[4];
    // Eight colours cost 12 bytes more than two; worth trying only where that can pay, never where two
    // colours are the block's own.
    if (!few && two.error * errorWeight_ > 12 * byteWeight_) {
        int error = 0;
        for (unsigned q = 0; q < 4; ++q) {
            quarters[q] = FitQuarter(block, kQuarters[q]);
            error += quarters[q].error;
        }
        consider(Choice::eight, error, 18);
    }
    switch (choice) {
        case Choice::skip:
            return 0;
        case Choice::fill:
            return WriteFill(fill, out, shown);
        case Choice::two:
            return WriteTwo(two, out, shown);
        case Choice::eight:
            return WriteEight(quarters, out, shown);
    }
    return 0;
}

void WriteSkip(int count, std::uint8_t* out) {
    Put16(out, 0x8400u | static_cast<unsigned>(count));
}

}  // namespace tolm::screencodecs::msvideo1
