#include "platform/ffmpeg/FfmpegCompressor.h"

#include <string>
#include <utility>

extern "C" {
#include <libavutil/avutil.h>
}

#include "platform/ffmpeg/FfmpegErrors.h"

namespace tolm::ffmpeg {
namespace {

std::string VersionText(unsigned version) {
    return std::to_string(AV_VERSION_MAJOR(version)) + "." + std::to_string(AV_VERSION_MINOR(version)) + "." +
           std::to_string(AV_VERSION_MICRO(version));
}

}  // namespace

FfmpegCompressor::FfmpegCompressor(const CatalogEntry& entry, std::shared_ptr<CompressorRegistry> registry)
    : entry_(entry), registry_(std::move(registry)) {}

bool FfmpegCompressor::CompressQuery(const BitmapInfoHeader& input) {
    return registry_->Query(entry_, input);
}

CompressorInfo FfmpegCompressor::GetInfo() {
    return DescribeCompressor(entry_);
}

bool FfmpegCompressor::HasAboutBox() {
    return true;
}

void FfmpegCompressor::ShowAbout(Host& host) {
    const AVCodec* codec = EncoderOf(entry_);
    std::string text = std::string(entry_.shortName) + "\r\n" + entry_.description + "\r\n\r\n";
    text += "Code: " + FourCCToString(entry_.handler) + "\r\n";
    text += std::string("Encoder: ") + entry_.encoder;
    if (OwnEncoderOf(entry_))
        text += " format, by this program's own screen encoder";
    else if (codec && codec->long_name)
        text += std::string(" (") + codec->long_name + ")";
    text += "\r\nlibavcodec " + VersionText(avcodec_version()) + ", " + avcodec_license() + " licence";
    host.ShowNotice("About " + std::string(entry_.shortName), text, NoticeIcon::information);
}

bool FfmpegCompressor::HasConfigureDialog() {
    return !EditableOptions(entry_, {}).empty();
}

void FfmpegCompressor::Configure(Host& host) {
    std::vector<SettingField> fields = EditableOptions(entry_, registry_->Options(entry_.handler));
    if (fields.empty()) return;
    if (!host.EditSettings(std::string(entry_.shortName) + " settings", fields)) return;
    OptionValues chosen = OptionsFromFields(fields);

    // Try the values on a small picture first, so a bad one is refused now and not at the next recording.
    EncoderParams params;
    params.width = 64;
    params.height = 64;
    params.source = AV_PIX_FMT_BGR0;
    params.probe = true;
    OpenedEncoder probe;
    const int rc = OpenEncoder(entry_, params, chosen, probe);
    if (rc < 0) {
        host.ShowNotice(std::string(entry_.shortName) + " settings",
                        "The encoder refused these settings (" + AvErrorText(rc) + "); the previous ones stay.",
                        NoticeIcon::error);
        return;
    }
    registry_->SetOptions(entry_.handler, std::move(chosen));
}

}  // namespace tolm::ffmpeg
