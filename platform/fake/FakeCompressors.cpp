#include "platform/fake/FakeCompressors.h"

#include <algorithm>

namespace tolm {

class FakeVideoCompressor final : public VideoCompressor {
  public:
    FakeVideoCompressor(FakeCompressorManager& owner, FakeCodec codec) : owner_(owner), codec_(std::move(codec)) {}

    bool CompressQuery(const BitmapInfoHeader& input) override {
        {
            std::lock_guard lock(owner_.mutex_);
            owner_.queries_.push_back(input);
        }
        const bool bitsOk =
            std::find(codec_.bitCounts.begin(), codec_.bitCounts.end(), input.biBitCount) != codec_.bitCounts.end();
        return bitsOk && input.biWidth > 0 && input.biHeight > 0 && input.biWidth % codec_.widthMultiple == 0 &&
               input.biHeight % codec_.heightMultiple == 0;
    }
    CompressorInfo GetInfo() override { return codec_.info; }
    bool HasAboutBox() override { return codec_.hasAbout; }
    void ShowAbout(Host& host) override {
        std::lock_guard lock(owner_.mutex_);
        ++owner_.aboutShown_;
        host.ShowNotice("About " + codec_.info.szName, codec_.info.szDescription, NoticeIcon::information);
    }
    bool HasConfigureDialog() override { return codec_.hasConfigure; }
    void Configure(Host& host) override {
        std::vector<SettingField> fields{{"speed", "Speed", {"fast", "slow"}, "fast"}};
        host.EditSettings(codec_.info.szName, fields);
        std::lock_guard lock(owner_.mutex_);
        ++owner_.configureShown_;
    }

  private:
    FakeCompressorManager& owner_;
    FakeCodec codec_;
};

FakeCodec FakeCompressorManager::Codec(const char* fourcc, int widthMultiple, int heightMultiple) {
    FakeCodec c;
    c.info.fccType = ICTYPE_VIDEO;
    c.info.fccHandler = MakeFourCC(fourcc[0], fourcc[1], fourcc[2], fourcc[3]);
    c.info.szName = std::string(fourcc) + " codec";
    c.info.szDescription = std::string("Test codec ") + fourcc;
    c.info.szDriver = "fake";
    c.widthMultiple = widthMultiple;
    c.heightMultiple = heightMultiple;
    return c;
}

void FakeCompressorManager::Add(const FakeCodec& codec) {
    std::lock_guard lock(mutex_);
    codecs_.push_back(codec);
}

bool FakeCompressorManager::Info(std::uint32_t fccType, std::uint32_t index, CompressorInfo& info) {
    std::lock_guard lock(mutex_);
    if (fccType != ICTYPE_VIDEO || index >= codecs_.size()) return false;
    info = codecs_[index].info;
    return true;
}

std::unique_ptr<VideoCompressor> FakeCompressorManager::Open(std::uint32_t fccType, std::uint32_t fccHandler) {
    std::lock_guard lock(mutex_);
    for (const FakeCodec& c : codecs_)
        if (c.info.fccType == fccType && c.info.fccHandler == fccHandler && c.opens)
            return std::make_unique<FakeVideoCompressor>(*this, c);
    return nullptr;
}

std::vector<BitmapInfoHeader> FakeCompressorManager::Queries() const {
    std::lock_guard lock(mutex_);
    return queries_;
}

int FakeCompressorManager::AboutShown() const {
    std::lock_guard lock(mutex_);
    return aboutShown_;
}

int FakeCompressorManager::ConfigureShown() const {
    std::lock_guard lock(mutex_);
    return configureShown_;
}

}  // namespace tolm
