// The whole-container edits of TWaveStreamAdapter.
#include <algorithm>
#include <new>
#include <vector>

#include "audio/WaveStreamAdapter.h"
#include "audio/scWaveUtils.h"

namespace tolm {

namespace {

std::span<const std::uint8_t> Bytes(const LockedWaveData& data, std::size_t first, std::size_t last) {
    if (data.Data() == nullptr) return {};
    return {data.Data() + first, last - first};
}

std::span<const std::uint8_t> All(const LockedWaveData& data) {
    return Bytes(data, 0, data.Size());
}

}  // namespace

bool TWaveStreamAdapter::ReadAudio(TWaveStreamAdapter& adapter, LockedWaveData& data, bool forceCopy) {
    if (!adapter.Valid()) return Fail(adapter.InvalidText());
    if (adapter.DataSize() == 0) return true;
    if (!adapter.LockData(data, forceCopy)) return Fail(adapter.LastErrorText());
    return true;
}

bool TWaveStreamAdapter::WritePart(std::span<const std::uint8_t> part) {
    if (part.empty()) return true;
    return WriteData(part.data(), part.size()) == static_cast<std::int64_t>(part.size());
}

bool TWaveStreamAdapter::Rewrite(const WaveFormatBlock& format,
                                 std::initializer_list<std::span<const std::uint8_t>> parts) {
    if (!StartWriting(format)) return false;
    bool written = true;
    for (const auto& part : parts) {
        if (!WritePart(part)) {
            written = false;
            break;
        }
    }
    const std::string writeError = lastError_;
    const bool finished = FinishWriting();
    if (!written) return Fail(writeError);
    return finished;
}

std::optional<std::pair<std::uint32_t, std::uint32_t>> TWaveStreamAdapter::ByteRange(TWaveStreamAdapter& adapter,
                                                                                     std::uint32_t startMs,
                                                                                     std::uint32_t lengthMs) {
    if (!adapter.Valid()) {
        Fail(adapter.InvalidText());
        return std::nullopt;
    }
    if (lengthMs == 0) {
        Fail("the range is empty");
        return std::nullopt;
    }
    if (startMs >= adapter.Length()) {
        Fail("the range starts at or behind the end of the audio");
        return std::nullopt;
    }
    const std::uint64_t first = adapter.MillisecondsToBytes(startMs);
    const std::uint64_t last =
        std::min<std::uint64_t>(first + adapter.MillisecondsToBytes(lengthMs), adapter.DataSize());
    if (first >= last) {
        Fail("the range holds no whole block of audio");
        return std::nullopt;
    }
    return std::make_pair(static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(last));
}

template <typename Edit>
bool TWaveStreamAdapter::EditInPlace(Edit edit) {
    LockedWaveData data;
    if (!LockData(data, false)) return false;
    const WAVEFORMATEX format = waveFormat_->Record();
    const bool edited = edit(data.Data(), data.Size(), format);
    if (!edited) Fail("cannot edit audio of format " + DescribeWaveFormat(format));
    const bool unlocked = UnlockData(data, edited);
    return edited && unlocked;
}

bool TWaveStreamAdapter::ReverseAudio() {
    return EditInPlace([](std::uint8_t* data, std::size_t size, const WAVEFORMATEX& format) {
        return ReverseSamples(data, size, format);
    });
}

bool TWaveStreamAdapter::ScaleVolume(int percent) {
    return EditInPlace([percent](std::uint8_t* data, std::size_t size, const WAVEFORMATEX& format) {
        return ScaleSamples(data, size, format, percent);
    });
}

bool TWaveStreamAdapter::CopyRange(TWaveStreamAdapter& source, std::uint32_t startMs, std::uint32_t lengthMs) {
    const auto range = ByteRange(source, startMs, lengthMs);
    if (!range) return false;
    const WaveFormatBlock format = *source.WaveFormat();
    LockedWaveData data;
    // Copying from ourselves: our own bytes go away when the rewrite starts.
    if (!ReadAudio(source, data, &source == this)) return false;
    return Rewrite(format, {Bytes(data, range->first, range->second)});
}

bool TWaveStreamAdapter::KeepRange(std::uint32_t startMs, std::uint32_t lengthMs) {
    const auto range = ByteRange(*this, startMs, lengthMs);
    if (!range) return false;
    const WaveFormatBlock format = *waveFormat_;
    LockedWaveData own;
    if (!ReadAudio(*this, own, true)) return false;
    return Rewrite(format, {Bytes(own, range->first, range->second)});
}

bool TWaveStreamAdapter::DeleteRange(std::uint32_t startMs, std::uint32_t lengthMs) {
    const auto range = ByteRange(*this, startMs, lengthMs);
    if (!range) return false;
    const WaveFormatBlock format = *waveFormat_;
    LockedWaveData own;
    if (!ReadAudio(*this, own, true)) return false;
    return Rewrite(format, {Bytes(own, 0, range->first), Bytes(own, range->second, own.Size())});
}

bool TWaveStreamAdapter::InsertAudio(std::uint32_t positionMs, TWaveStreamAdapter& source) {
    if (!SameFormatAs(source)) return Fail("the audio to insert is not a wave of the same format");
    const WaveFormatBlock format = *waveFormat_;
    const std::uint32_t at = std::min(MillisecondsToBytes(positionMs), DataSize());
    LockedWaveData own;
    LockedWaveData inserted;
    if (!ReadAudio(*this, own, true) || !ReadAudio(source, inserted, &source == this)) return false;
    return Rewrite(format, {Bytes(own, 0, at), All(inserted), Bytes(own, at, own.Size())});
}

bool TWaveStreamAdapter::InsertSilence(std::uint32_t positionMs, std::uint32_t lengthMs) {
    if (!Valid()) return FailInvalid("cannot insert silence");
    if (lengthMs == 0) return Fail("the silence to insert is empty");
    const WaveFormatBlock format = *waveFormat_;
    const std::uint32_t count = MillisecondsToBytes(lengthMs);
    if (count == 0) return Fail("the silence to insert is shorter than one block");
    const std::uint32_t at = std::min(MillisecondsToBytes(positionMs), DataSize());
    std::vector<std::uint8_t> silence;
    try {
        silence.resize(count);
    } catch (const std::bad_alloc&) {
        return Fail("out of memory for " + std::to_string(count) + " bytes of silence");
    }
    if (!FillSilence(silence.data(), silence.size(), format.Record())) {
        return Fail("no silence is known for format " + DescribeWaveFormat(format.Record()));
    }
    LockedWaveData own;
    if (!ReadAudio(*this, own, true)) return false;
    return Rewrite(format, {Bytes(own, 0, at), silence, Bytes(own, at, own.Size())});
}

bool TWaveStreamAdapter::DeleteHead(std::uint32_t lengthMs) {
    return DeleteRange(0, lengthMs);
}

bool TWaveStreamAdapter::DeleteTail(std::uint32_t lengthMs) {
    const std::uint32_t length = Length();
    const std::uint32_t cut = std::min(lengthMs, length);
    return DeleteRange(length - cut, cut);
}

bool TWaveStreamAdapter::ConcatenateFrom(std::span<TWaveStreamAdapter* const> members, std::uint32_t gapMs) {
    if (members.empty()) return Fail("there is nothing to concatenate");
    if (members[0] == nullptr || !members[0]->Valid()) return Fail("the first wave to concatenate is not valid");
    const WaveFormatBlock format = *members[0]->WaveFormat();
    // Our own audio is gone once the rewrite starts, so a member that is this wave reads a copy taken now.
    LockedWaveData own;
    bool ownRead = false;
    if (std::find(members.begin(), members.end(), this) != members.end()) ownRead = ReadAudio(*this, own, true);
    std::vector<std::uint8_t> gap;
    if (gapMs > 0 && members.size() >= 2) {
        try {
            gap.resize(tolm::MillisecondsToBytes(format.Record(), gapMs));
        } catch (const std::bad_alloc&) {
            return Fail("out of memory for the gap between the waves");
        }
        FillSilence(gap.data(), gap.size(), format.Record());  // formats without silence get zeros
    }
    if (!StartWriting(format)) return false;
    bool written = true;
    for (std::size_t i = 0; i < members.size() && written; ++i) {
        if (i > 0 && !WritePart(gap)) {
            written = false;
            break;
        }
        TWaveStreamAdapter* member = members[i];
        LockedWaveData data;
        const bool read = member == this ? ownRead : member != nullptr && ReadAudio(*member, data, false);
        if (!read) {
            Fail("wave " + std::to_string(i) +
                 " to concatenate cannot be read: " + (member != nullptr ? lastError_ : std::string("there is none")));
            written = false;
        } else {
            written = WritePart(All(member == this ? own : data));
        }
    }
    const std::string writeError = lastError_;
    const bool finished = FinishWriting();
    if (!written) return Fail(writeError);
    return finished;
}

bool TWaveStreamAdapter::MixFrom(std::span<TWaveStreamAdapter* const> members) {
    if (members.empty()) return Fail("there is nothing to mix");
    if (members[0] == nullptr || !members[0]->Valid()) return Fail("the first wave to mix is not valid");
    const WaveFormatBlock format = *members[0]->WaveFormat();
    std::vector<std::uint8_t> mixed;
    {
        // Released before the rewrite, which may reuse the memory of a view into our own stream.
        std::vector<LockedWaveData> locks(members.size());
        std::vector<std::span<const std::uint8_t>> inputs;
        std::size_t longest = 0;
        for (std::size_t i = 0; i < members.size(); ++i) {
            if (members[i] == nullptr || !members[i]->HasFormat(format)) {
                return Fail("wave " + std::to_string(i) + " to mix does not have the first wave's format");
            }
            if (!ReadAudio(*members[i], locks[i], false)) return false;
            inputs.push_back(All(locks[i]));
            longest = std::max(longest, locks[i].Size());
        }
        try {
            mixed.resize(longest);
        } catch (const std::bad_alloc&) {
            return Fail("out of memory for " + std::to_string(longest) + " bytes of mixed audio");
        }
        if (!MixSamples(inputs, format.Record(), mixed.size(), mixed.data())) {
            return Fail("cannot mix audio of format " + DescribeWaveFormat(format.Record()));
        }
    }
    return Rewrite(format, {mixed});
}

}  // namespace tolm
