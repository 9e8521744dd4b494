// The wave reader on arbitrary bytes: what the recorder reads back from a temporary wave file, held in
// memory, read the ways a recovery reads it: its format and length, all of its audio through a read and
// through a lock of a view and of a copy, and the level meter over what was read.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "audio/ByteStream.h"
#include "audio/LockedWaveData.h"
#include "audio/WaveStreamAdapter.h"
#include "audio/scWaveUtils.h"

namespace {

// Reads the audio through a read in small pieces, as a copy into another file does; the total must stay
// within the data chunk.
std::uint64_t ReadAll(tolm::TWaveStreamAdapter& wave) {
    if (!wave.StartReading()) return 0;
    std::vector<std::uint8_t> piece(4096);
    std::uint64_t total = 0;
    for (;;) {
        const std::int64_t got = wave.ReadData(piece.data(), piece.size());
        if (got <= 0) break;
        if (static_cast<std::size_t>(got) > piece.size()) std::abort();
        total += static_cast<std::uint64_t>(got);
        if (const tolm::PWaveFormatEx format = wave.WaveFormat())
            (void)tolm::PeakLevel(piece.data(), static_cast<std::size_t>(got), format->Record());
    }
    wave.FinishReading();
    return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tolm::MemoryStream stream(std::vector<std::uint8_t>(data, data + size));
    tolm::TWaveStreamAdapter wave(stream);
    if (!wave.Valid()) return 0;
    const tolm::PWaveFormatEx format = wave.WaveFormat();
    if (!format) std::abort();  // valid means a format
    const tolm::WAVEFORMATEX& record = format->Record();
    (void)tolm::DescribeWaveFormat(record);
    (void)wave.Length();
    (void)wave.MillisecondsToBytes(wave.Length());
    (void)tolm::BytesToMilliseconds(record, wave.DataSize());

    const std::uint64_t read = ReadAll(wave);
    if (read > wave.DataSize()) std::abort();

    for (const bool copy : {false, true}) {
        tolm::LockedWaveData locked;
        if (!wave.LockData(locked, copy)) continue;
        // A lock hands out the whole data chunk, which the stream then holds whole.
        if (locked.Size() != wave.DataSize() || read != locked.Size()) std::abort();
        (void)tolm::PeakLevel(locked.Data(), locked.Size(), record);
        wave.UnlockData(locked, false);
    }
    return 0;
}
