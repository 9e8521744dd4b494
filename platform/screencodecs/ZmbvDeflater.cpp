#include "platform/screencodecs/ZmbvDeflater.h"

#include <algorithm>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>

namespace tolm::screencodecs {
namespace {

// Output room added whenever deflate runs out of it; a sync flush needs a few bytes even for no input.
constexpr std::size_t kMinRoom = 64 * 1024;

void Check(int rc, const char* what) {
    if (rc == Z_MEM_ERROR) throw std::bad_alloc();
    if (rc != Z_OK && rc != Z_BUF_ERROR) throw std::runtime_error(std::string("zlib ") + what + " failed");
}

}  // namespace

ZmbvDeflater::ZmbvDeflater(int level) {
    Check(deflateInit(&stream_, std::clamp(level, 0, 9)), "deflateInit");
}

ZmbvDeflater::~ZmbvDeflater() {
    deflateEnd(&stream_);
}

void ZmbvDeflater::Restart() {
    Check(deflateReset(&stream_), "deflateReset");
}

void ZmbvDeflater::AddFrame(std::span<const std::span<const std::uint8_t>> pieces, std::vector<std::uint8_t>& out) {
    // avail_in is 32 bits wide.
    constexpr std::size_t kMaxInput = std::numeric_limits<uInt>::max();
    std::size_t used = out.size();
    for (std::span<const std::uint8_t> piece : pieces) {
        while (!piece.empty()) {
            const std::size_t size = std::min(piece.size(), kMaxInput);
            stream_.next_in = const_cast<Bytef*>(piece.data());
            stream_.avail_in = static_cast<uInt>(size);
            Run(Z_NO_FLUSH, out, used);
            piece = piece.subspan(size);
        }
    }
    stream_.next_in = nullptr;
    stream_.avail_in = 0;
    Run(Z_SYNC_FLUSH, out, used);
    out.resize(used);
}

void ZmbvDeflater::Run(int flush, std::vector<std::uint8_t>& out, std::size_t& used) {
    for (;;) {
        if (out.size() - used < kMinRoom) out.resize(used + kMinRoom + stream_.avail_in / 4);
        const std::size_t room = std::min<std::size_t>(out.size() - used, std::numeric_limits<uInt>::max());
        stream_.next_out = out.data() + used;
        stream_.avail_out = static_cast<uInt>(room);
        Check(deflate(&stream_, flush), "deflate");
        used += room - stream_.avail_out;
        // A flush is complete only when deflate stopped with room to spare.
        if (stream_.avail_in == 0 && (flush == Z_NO_FLUSH || stream_.avail_out > 0)) return;
    }
}

}  // namespace tolm::screencodecs
