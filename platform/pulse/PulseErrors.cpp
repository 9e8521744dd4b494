#include "platform/pulse/PulseErrors.h"

#include <pulse/def.h>

#include "platform/AudioMixer.h"
#include "platform/WaveInput.h"

namespace tolm::pulse {
namespace {

bool MeansServerGone(int paError) {
    switch (paError) {
        case PA_ERR_CONNECTIONREFUSED:
        case PA_ERR_CONNECTIONTERMINATED:
        case PA_ERR_INVALIDSERVER:
        case PA_ERR_TIMEOUT:
        case PA_ERR_PROTOCOL:
        case PA_ERR_VERSION:
        case PA_ERR_FORKED:
        case PA_ERR_BADSTATE:
            return true;
        default:
            return false;
    }
}

}  // namespace

std::string NoServerText(const std::string& reason) {
    std::string text = "No sound server could be reached";
    if (!reason.empty()) text += " (PulseAudio: " + reason + ")";
    return text + ". Start PulseAudio or PipeWire's pulse service, or record without sound.";
}

std::string WaveErrorText(int code, const std::string& serverProblem) {
    switch (code) {
        case MMSYSERR_NOERROR:
            return "The sound input device did what was asked.";
        case MMSYSERR_ERROR:
            if (!serverProblem.empty())
                return "The sound server reported an error (PulseAudio: " + serverProblem + ").";
            return "The sound server reported an error.";
        case MMSYSERR_BADDEVICEID:
            return "There is no such sound input device; the sound source may have been removed.";
        case MMSYSERR_NOTENABLED:
            return "The sound server does not let this program record.";
        case MMSYSERR_ALLOCATED:
            return "The sound input device is in use.";
        case MMSYSERR_INVALHANDLE:
            return "The sound input device is already closed.";
        case MMSYSERR_NODRIVER:
            return NoServerText(serverProblem);
        case MMSYSERR_NOMEM:
            return "There is not enough memory to record sound.";
        case MMSYSERR_NOTSUPPORTED:
            return "The sound input device cannot do this.";
        case MMSYSERR_INVALFLAG:
        case MMSYSERR_INVALPARAM:
            return "The sound input device was given an invalid buffer or value.";
        case WAVERR_BADFORMAT:
            return "The sound input device cannot record in this format (PCM with 8 or 16 bits, 1 to 8 channels, "
                   "1000 to 192000 samples per second).";
        case WAVERR_STILLPLAYING:
            return "Sound buffers are still queued on the input device; reset it first.";
        case WAVERR_UNPREPARED:
            return "The sound buffer was not prepared for the input device.";
        default:
            return "Unknown sound input error " + std::to_string(code) + ".";
    }
}

int WaveResultOf(int paError) {
    if (paError == PA_OK) return MMSYSERR_NOERROR;
    if (MeansServerGone(paError)) return MMSYSERR_NODRIVER;
    switch (paError) {
        // The server kills a stream whose source is removed; the server itself is still there.
        case PA_ERR_KILLED:
        case PA_ERR_NOENTITY:
            return MMSYSERR_BADDEVICEID;
        case PA_ERR_INVALID:
        case PA_ERR_NOTSUPPORTED:
            return WAVERR_BADFORMAT;
        case PA_ERR_ACCESS:
        case PA_ERR_AUTHKEY:
            return MMSYSERR_NOTENABLED;
        case PA_ERR_EXIST:
        case PA_ERR_BUSY:
            return MMSYSERR_ALLOCATED;
        case PA_ERR_TOOLARGE:
            return MMSYSERR_NOMEM;
        default:
            return MMSYSERR_ERROR;
    }
}

int MixerResultOf(int paError) {
    if (paError == PA_OK) return MMSYSERR_NOERROR;
    if (MeansServerGone(paError)) return MMSYSERR_NODRIVER;
    switch (paError) {
        case PA_ERR_NOENTITY:
            return MIXERR_INVALCONTROL;
        case PA_ERR_INVALID:
            return MIXERR_INVALVALUE;
        case PA_ERR_ACCESS:
        case PA_ERR_AUTHKEY:
            return MMSYSERR_NOTENABLED;
        default:
            return MMSYSERR_ERROR;
    }
}

void ProblemNote::Set(std::string text) {
    std::lock_guard lock(mutex_);
    text_ = std::move(text);
}

std::string ProblemNote::Get() const {
    std::lock_guard lock(mutex_);
    return text_;
}

}  // namespace tolm::pulse
