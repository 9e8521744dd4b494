// Our ZMBV encoder alone beside libavcodec's, in one run on the same pictures: the benchmark scene (bench/scene)
// drawn in memory, a 60 Hz scene taken at 50 frames per second, as the recorder would grab it. Prints frames per
// second, CPU cores in use while encoding, CPU milliseconds and kilobytes per frame, and the ratios ours/peer.
// Usage: tolm_bench_zmbv [frames of ours after the key frame, default 300] [the same for the peer, default 8]
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "../scene/SceneComposer.h"
#include "platform/ffmpeg/AvHandles.h"
#include "platform/screencodecs/ZmbvEncoder.h"

namespace {

using tolm::screencodecs::EncoderSettings;
using tolm::screencodecs::Picture;
using tolm::screencodecs::ZmbvEncoder;
using Pixels = std::vector<std::uint8_t>;

// The engine's defaults: quality 7 on the options dialog's bar, a key frame every 300 frames.
constexpr std::uint32_t kQuality = 7000;
constexpr std::uint32_t kKeyFrames = 300;
constexpr int kPeerCompressionLevel = 6;  // what quality 7000 means to libavcodec's encoder

// The scene's pictures as B,G,R,0 rows.
class ScenePictures {
  public:
    ScenePictures(int width, int height) : width_(width), height_(height), composer_(width, height) {
        still_.resize(static_cast<std::size_t>(width) * height * 4);
        Paint(composer_.StillPart(), still_);
        current_ = still_;
    }

    Picture At(int index) {
        // A 60 Hz scene grabbed 50 times a second.
        const long frame = static_cast<long>(index) * 6 / 5;
        std::memcpy(current_.data(), still_.data(), still_.size());
        Paint(composer_.MovingPart(frame), current_);
        return Picture{current_.data(), static_cast<std::ptrdiff_t>(width_) * 4, width_, height_};
    }

  private:
    void Paint(const tolm::scene::BoxList& boxes, Pixels& pixels) const {
        for (const tolm::scene::Box& b : boxes) {
            const int x0 = std::max(0, b.x), x1 = std::min(width_, b.x + b.width);
            const int y0 = std::max(0, b.y), y1 = std::min(height_, b.y + b.height);
            const std::uint32_t bgr0 = b.rgb & 0xFFFFFFu;
            for (int y = y0; y < y1; ++y) {
                std::uint8_t* row = pixels.data() + (static_cast<std::size_t>(y) * width_ + x0) * 4;
                for (int x = x0; x < x1; ++x, row += 4) std::memcpy(row, &bgr0, 4);
            }
        }
    }

    int width_;
    int height_;
    tolm::scene::SceneComposer composer_;
    Pixels still_;
    Pixels current_;
};

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct Figures {
    int frames = 0;
    double wall = 0;
    double cpu = 0;
    double bytes = 0;
    double Fps() const { return frames / wall; }
    double CpuMsPerFrame() const { return 1000 * cpu / frames; }
    double KbPerFrame() const { return bytes / frames / 1000; }
};

struct Run {
    Figures key;    // the first frame
    Figures delta;  // the frames after it
};

// Times `encode` alone on each picture; drawing the scene is not counted.
template <typename Encode>
Run Measure(ScenePictures& scene, int frames, Encode&& encode) {
    Run run;
    for (int i = 0; i < frames; ++i) {
        const Picture picture = scene.At(i);
        Figures& f = i == 0 ? run.key : run.delta;
        const auto start = std::chrono::steady_clock::now();
        const double cpu = CpuSeconds();
        f.bytes += static_cast<double>(encode(picture));
        f.cpu += CpuSeconds() - cpu;
        f.wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ++f.frames;
    }
    return run;
}

Run Ours(ScenePictures& scene, int frames) {
    const Picture first = scene.At(0);
    ZmbvEncoder encoder(EncoderSettings{first.width, first.height, kQuality, kKeyFrames});
    Pixels packet;
    return Measure(scene, frames, [&](const Picture& p) {
        bool key = false;
        encoder.Encode(p, key, packet);
        return packet.size();
    });
}

Run Peer(ScenePictures& scene, int frames, int width, int height) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_ZMBV);
    if (!codec) throw std::runtime_error("no ZMBV encoder in libavcodec");
    tolm::ffmpeg::AvCodecContextPtr ctx(avcodec_alloc_context3(codec));
    ctx->width = width;
    ctx->height = height;
    ctx->pix_fmt = AV_PIX_FMT_BGR0;
    ctx->time_base = AVRational{1, 50};
    ctx->compression_level = kPeerCompressionLevel;
    ctx->keyint_min = kKeyFrames;
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0) throw std::runtime_error("libavcodec's ZMBV did not open");
    tolm::ffmpeg::AvFramePtr frame(av_frame_alloc());
    tolm::ffmpeg::AvPacketPtr packet(av_packet_alloc());
    std::int64_t pts = 0;
    return Measure(scene, frames, [&](const Picture& p) {
        frame->format = AV_PIX_FMT_BGR0;
        frame->width = width;
        frame->height = height;
        frame->data[0] = const_cast<std::uint8_t*>(p.data);
        frame->linesize[0] = static_cast<int>(p.stride);
        frame->pts = pts++;
        std::size_t bytes = 0;
        if (avcodec_send_frame(ctx.get(), frame.get()) < 0) throw std::runtime_error("send_frame failed");
        while (avcodec_receive_packet(ctx.get(), packet.get()) == 0) {
            bytes += static_cast<std::size_t>(packet->size);
            av_packet_unref(packet.get());
        }
        return bytes;
    });
}

void Print(const std::string& size, const char* who, const Run& r) {
    std::printf("%-10s %-5s %8.1f %8.1f %6d %7.1f %6.2f %8.2f %8.1f\n", size.c_str(), who, r.key.CpuMsPerFrame(),
                r.key.KbPerFrame(), r.delta.frames, r.delta.Fps(), r.delta.cpu / r.delta.wall, r.delta.CpuMsPerFrame(),
                r.delta.KbPerFrame());
}

}  // namespace

int main(int argc, char** argv) {
    const int ours = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    const int peer = argc > 2 ? std::max(1, std::atoi(argv[2])) : 8;
    std::printf("ZMBV, quality %u, key frame every %u; the scene at 60 Hz taken at 50 fps\n", kQuality, kKeyFrames);
    std::printf("%-10s %-5s %17s | %s\n", "", "", "key frame", "frames after it");
    std::printf("%-10s %-5s %8s %8s %6s %7s %6s %8s %8s\n", "size", "coder", "CPU ms", "kB", "frames", "fps", "cores",
                "CPU ms", "kB");
    for (const auto& [width, height] : {std::pair{1920, 1080}, std::pair{1280, 720}}) {
        const std::string size = std::to_string(width) + "x" + std::to_string(height);
        ScenePictures scene(width, height);
        const Run a = Ours(scene, ours + 1);
        const Run b = Peer(scene, peer + 1, width, height);
        Print(size, "ours", a);
        Print(size, "peer", b);
        std::printf("%-10s ours/peer: key frame CPU %.3fx, size %.2fx; after it fps %.1fx, CPU %.3fx, size %.2fx\n",
                    size.c_str(), a.key.CpuMsPerFrame() / b.key.CpuMsPerFrame(),
                    a.key.KbPerFrame() / b.key.KbPerFrame(), a.delta.Fps() / b.delta.Fps(),
                    a.delta.CpuMsPerFrame() / b.delta.CpuMsPerFrame(), a.delta.KbPerFrame() / b.delta.KbPerFrame());
    }
    return 0;
}
