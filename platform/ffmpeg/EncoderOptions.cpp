#include "platform/ffmpeg/EncoderOptions.h"

#include <cstring>

extern "C" {
#include <libavutil/opt.h>
}

#include "platform/ffmpeg/FfmpegErrors.h"

namespace tolm::ffmpeg {
namespace {

struct EditableOption {
    const char* encoder;
    const char* name;
    const char* label;
    std::vector<std::string> choices;  // empty: from the option's named values
};

const char* const kNoTune = "none";

const std::vector<EditableOption>& EditableOptionList() {
    static const std::vector<EditableOption> list = {
        {"libx264",
         "preset",
         "Speed preset (faster gives bigger files)",
         {"ultrafast", "superfast", "veryfast", "faster", "fast", "medium", "slow", "slower", "veryslow"}},
        {"libx264",
         "tune",
         "Tuning",
         {kNoTune, "film", "animation", "grain", "stillimage", "psnr", "ssim", "fastdecode"}},
        {"libx264", "profile", "Profile", {"baseline", "main", "high"}},
        {"mjpeg", "huffman", "Huffman tables", {}},
        {"mpeg4", "motion_est", "Motion estimation", {}},
        {"huffyuv", "pred", "Prediction", {}},
        {"utvideo", "pred", "Prediction", {}},
        {"png", "pred", "Prediction filter", {}},
        {"cinepak", "max_strips", "Most strips per frame (1-32)", {}},
        {"cinepak", "max_extra_cb_iterations", "Extra codebook passes", {}},
        {"cinepak", "skip_empty_cb", "Skip empty codebooks", {}},
    };
    return list;
}

// Our starting values where the encoder's own do not suit screen recording.
OptionValues Defaults(const CatalogEntry& entry) {
    if (std::strcmp(entry.encoder, "libx264") == 0)
        return {{"preset", "veryfast"}, {"tune", kNoTune}, {"profile", "high"}};
    return {};
}

const std::string* Find(const OptionValues& values, const std::string& key) {
    for (const auto& [k, v] : values)
        if (k == key) return &v;
    return nullptr;
}

const AVOption* FindOption(const AVCodec& codec, const char* name) {
    if (!codec.priv_class) return nullptr;
    const AVClass* cls = codec.priv_class;
    return av_opt_find(&cls, name, nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ);
}

// Named values of an option (its constants), or false/true for a Boolean.
std::vector<std::string> NamedValues(const AVCodec& codec, const AVOption& option) {
    std::vector<std::string> names;
    if (option.type == AV_OPT_TYPE_BOOL) return {"false", "true"};
    if (!option.unit) return names;
    const AVClass* cls = codec.priv_class;
    for (const AVOption* o = nullptr; (o = av_opt_next(&cls, o));)
        if (o->type == AV_OPT_TYPE_CONST && o->unit && std::strcmp(o->unit, option.unit) == 0)
            names.emplace_back(o->name);
    return names;
}

std::string DefaultText(const AVCodec& codec, const AVOption& option) {
    switch (option.type) {
        case AV_OPT_TYPE_BOOL:
            return option.default_val.i64 ? "true" : "false";
        case AV_OPT_TYPE_INT:
        case AV_OPT_TYPE_INT64: {
            if (option.unit) {
                const AVClass* cls = codec.priv_class;
                for (const AVOption* o = nullptr; (o = av_opt_next(&cls, o));)
                    if (o->type == AV_OPT_TYPE_CONST && o->unit && std::strcmp(o->unit, option.unit) == 0 &&
                        o->default_val.i64 == option.default_val.i64)
                        return o->name;
            }
            return std::to_string(option.default_val.i64);
        }
        case AV_OPT_TYPE_STRING:
            return option.default_val.str ? option.default_val.str : "";
        default:
            return "";
    }
}

}  // namespace

std::vector<SettingField> EditableOptions(const CatalogEntry& entry, const OptionValues& chosen) {
    std::vector<SettingField> fields;
    const AVCodec* codec = EncoderOf(entry);
    if (!codec || OwnEncoderOf(entry)) return fields;  // libavcodec's options would not reach ours
    const OptionValues defaults = Defaults(entry);
    for (const EditableOption& editable : EditableOptionList()) {
        if (std::strcmp(editable.encoder, entry.encoder) != 0) continue;
        const AVOption* option = FindOption(*codec, editable.name);
        if (!option) continue;  // another build of the encoder
        SettingField field;
        field.key = editable.name;
        field.label = editable.label;
        field.choices = editable.choices.empty() ? NamedValues(*codec, *option) : editable.choices;
        if (const std::string* v = Find(chosen, editable.name))
            field.value = *v;
        else if (const std::string* d = Find(defaults, editable.name))
            field.value = *d;
        else
            field.value = DefaultText(*codec, *option);
        fields.push_back(std::move(field));
    }
    return fields;
}

OptionValues OptionsFromFields(const std::vector<SettingField>& fields) {
    OptionValues values;
    for (const SettingField& f : fields) values.emplace_back(f.key, f.value);
    return values;
}

AvDictionaryPtr EncoderDictionary(const CatalogEntry& entry, const OptionValues& chosen) {
    OptionValues merged = Defaults(entry);
    for (const auto& [key, value] : chosen) {
        bool replaced = false;
        for (auto& [k, v] : merged)
            if (k == key) {
                v = value;
                replaced = true;
            }
        if (!replaced) merged.emplace_back(key, value);
    }
    const bool x264 = std::strcmp(entry.encoder, "libx264") == 0;
    AvDictionaryPtr dict;
    for (auto& [key, value] : merged) {
        if (x264 && key == "tune") {
            // One picture in gives its packet at once: no lookahead, no frame threads, no B-frames.
            DictSet(dict, "tune",
                    value.empty() || value == kNoTune ? std::string("zerolatency") : value + ",zerolatency");
            continue;
        }
        DictSet(dict, key.c_str(), value);
    }
    if (x264 && !Find(merged, "tune")) DictSet(dict, "tune", "zerolatency");
    return dict;
}

}  // namespace tolm::ffmpeg
