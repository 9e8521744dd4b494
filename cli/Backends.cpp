#include "cli/Backends.h"

#include <cstdio>

namespace tolm::cli {

std::unique_ptr<Session> Session::Open(const Options& options, std::string& error) {
    auto s = std::make_unique<Session>();
    MachineOptions machine;
    machine.display = options.display;
    machine.backend = options.backend;
    machine.cursor = options.cursor;
    s->machine_ = MachineServices::Open(machine, s->loop_, error);
    if (!s->machine_) return nullptr;
    for (const std::string& warning : s->machine_->Warnings())
        std::fprintf(stderr, "tolm-record: %s\n", warning.c_str());
    s->host_ = std::make_unique<ConsoleHost>(options.answerYes);
    s->camera_ = std::make_unique<TScreenCamera>(s->machine_->Services(*s->host_, s->clock_, s->loop_));
    if (options.monitor > s->camera_->MonitorCount()) {
        error = "There is no monitor " + std::to_string(options.monitor) + "; this screen has " +
                std::to_string(s->camera_->MonitorCount()) + ".";
        return nullptr;
    }
    ApplyToCamera(options, *s->camera_);
    return s;
}

std::unique_ptr<Session> Session::OpenOrReport(const Options& options) {
    std::string error;
    std::unique_ptr<Session> session = Open(options, error);
    if (!session) std::fprintf(stderr, "tolm-record: %s\n", error.c_str());
    return session;
}

bool Session::SelectCompressor(const std::string& fourcc) {
    const std::uint32_t handler = MakeFourCC(fourcc[0], fourcc[1], fourcc[2], fourcc[3]);
    auto find = [&] {
        for (int i = 0; i < camera_->CompressorCount(); ++i)
            if (camera_->CompressorInfos(i).fccHandler == handler) return i;
        return -1;
    };
    camera_->GetVideoCodecList();
    int index = find();
    if (index < 0) {
        // Compressors that need sizes in multiples of 2, 4 or 8 are listed for such a size; the recording's
        // start then adjusts the area itself.
        const Rect area = camera_->ScreenArea().Bounds();
        camera_->ScreenArea().SetBounds(
            Rect{area.left, area.top, (area.width + 15) / 16 * 16, (area.height + 15) / 16 * 16});
        camera_->GetVideoCodecList();
        camera_->ScreenArea().SetBounds(area);
        index = find();
    }
    camera_->SetSelectedCompressor(index);
    return index >= 0;
}

}  // namespace tolm::cli
