#include "platform/pulse/PulseSources.h"

#include <algorithm>

namespace tolm::pulse {
namespace {

void CollectSource(pa_context*, const pa_source_info* info, int eol, void* sources) {
    if (eol != 0 || info == nullptr) return;
    static_cast<std::vector<SourceInfo>*>(sources)->push_back(DescribeSource(*info));
}

void CollectDefaultSource(pa_context*, const pa_server_info* info, void* name) {
    if (info == nullptr) return;
    *static_cast<std::string*>(name) = info->default_source_name ? info->default_source_name : "";
}

}  // namespace

SourceInfo DescribeSource(const pa_source_info& info) {
    SourceInfo source;
    source.index = info.index;
    source.name = info.name ? info.name : "";
    source.description = info.description && *info.description ? info.description : source.name;
    source.channels = info.sample_spec.channels;
    source.volume = pa_cvolume_valid(&info.volume) ? pa_cvolume_avg(&info.volume) : PA_VOLUME_NORM;
    source.mute = info.mute != 0;
    source.monitor = info.monitor_of_sink != PA_INVALID_INDEX;
    return source;
}

int ListSources(PulseConnection& connection, std::vector<SourceInfo>& sources) {
    std::vector<SourceInfo> found;
    const int error = connection.Await(pa_context_get_source_info_list(connection.Context(), &CollectSource, &found));
    if (error != PA_OK) return error;
    std::sort(found.begin(), found.end(), [](const SourceInfo& a, const SourceInfo& b) { return a.index < b.index; });
    sources = std::move(found);
    return PA_OK;
}

int GetSource(PulseConnection& connection, std::uint32_t index, SourceInfo& source) {
    std::vector<SourceInfo> found;
    const int error =
        connection.Await(pa_context_get_source_info_by_index(connection.Context(), index, &CollectSource, &found));
    if (error != PA_OK) return error;
    if (found.empty()) return PA_ERR_NOENTITY;
    source = std::move(found.front());
    return PA_OK;
}

int GetDefaultSourceName(PulseConnection& connection, std::string& name) {
    std::string found;
    const int error = connection.Await(pa_context_get_server_info(connection.Context(), &CollectDefaultSource, &found));
    if (error != PA_OK) return error;
    name = std::move(found);
    return PA_OK;
}

std::string ClipUtf8(const std::string& text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t end = maxBytes;
    // Step back over continuation bytes (10xxxxxx) to the start of the character that does not fit.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

}  // namespace tolm::pulse
