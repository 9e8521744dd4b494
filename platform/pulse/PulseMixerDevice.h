#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/AudioMixer.h"
#include "platform/pulse/PulseConnection.h"
#include "platform/pulse/PulseSourceChoice.h"
#include "platform/pulse/PulseSources.h"

namespace tolm::pulse {

// The server as a mixer with one destination, "Recording Control". Its source lines are the server's sources
// in index order, each with a volume (0..65536, the server's 100 %) and a mute control; its one MUX control
// reads and sets `choice`, the source the program records from (the desktop's default source is left alone). The source
// list is a snapshot, taken at Open and again at every GetLineInfoByDestination (where every walk over the lines
// begins); values are read from the server each time.
//
// Notifications come on the connection's loop thread: a source's volume or mute changed (CONTROL_CHANGE with
// that control), the selection or the default source changed (CONTROL_CHANGE with the MUX), a source came or
// went (LINE_CHANGE with the destination line).
class PulseMixerDevice final : public MixerDevice {
    struct Key {
        explicit Key() = default;
    };

  public:
    // Connects on its own (a subscription belongs to one connection) and subscribes. A result code.
    static int Open(const std::string& clientName, std::shared_ptr<SourceChoice> choice, MixerNotify notify,
                    std::unique_ptr<MixerDevice>& device);

    PulseMixerDevice(Key, std::shared_ptr<PulseConnection> connection, std::shared_ptr<SourceChoice> choice,
                     MixerNotify notify);
    // Ends the connection first, so no notification runs once this returns.
    ~PulseMixerDevice() override;

    int GetLineInfoByDestination(std::uint32_t destination, MixerLineInfo& line) override;
    int GetLineInfoBySource(std::uint32_t destination, std::uint32_t source, MixerLineInfo& line) override;
    int GetControlByType(std::uint32_t lineId, std::uint32_t controlType, MixerControlInfo& control) override;
    int GetControlValues(std::uint32_t controlId, std::vector<std::uint32_t>& values) override;
    int SetControlValues(std::uint32_t controlId, const std::vector<std::uint32_t>& values) override;
    int GetListTexts(std::uint32_t controlId, std::vector<MixerListText>& items) override;

  private:
    struct Levels {
        std::uint32_t volume = 0;
        bool mute = false;
    };

    static void OnEvent(pa_context* context, pa_subscription_event_type_t type, std::uint32_t index, void* self);
    static void OnChangedSource(pa_context* context, const pa_source_info* info, int eol, void* self);
    static void OnChangedServer(pa_context* context, const pa_server_info* info, void* self);

    // These need the loop locked.
    int Refresh();
    int Subscribe();
    const SourceInfo* FindSource(std::uint32_t index) const;
    int SetSourceValue(const SourceInfo& source, bool mute, std::uint32_t value);
    void Notify(std::uint32_t message, std::uint32_t id) const;

    std::shared_ptr<PulseConnection> connection_;
    const std::shared_ptr<SourceChoice> choice_;
    const MixerNotify notify_;
    // Guarded by the loop lock.
    std::vector<SourceInfo> lines_;
    std::map<std::uint32_t, Levels> notified_;  // per source index: the levels last reported
    std::string notifiedDefault_;
};

}  // namespace tolm::pulse
