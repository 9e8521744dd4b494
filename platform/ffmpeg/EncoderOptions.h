#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/Host.h"
#include "platform/ffmpeg/AvHandles.h"
#include "platform/ffmpeg/CodecCatalog.h"

namespace tolm::ffmpeg {

// Encoder options by name, as FFmpeg's option parser takes them.
using OptionValues = std::vector<std::pair<std::string, std::string>>;

// The encoder's own settings worth editing, with `chosen` (or else the value in force) filled in; empty
// when the encoder has none.
std::vector<SettingField> EditableOptions(const CatalogEntry& entry, const OptionValues& chosen);

// The values of an accepted form, as options.
OptionValues OptionsFromFields(const std::vector<SettingField>& fields);

// What the encoder is opened with: our defaults, then `chosen`, then what recording needs (x264 never
// holds frames back).
AvDictionaryPtr EncoderDictionary(const CatalogEntry& entry, const OptionValues& chosen);

}  // namespace tolm::ffmpeg
