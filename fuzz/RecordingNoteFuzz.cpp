// The note beside a recording's temporary files, read after a crash on arbitrary bytes: a note the reader takes
// names an absolute file or none, and reads the same once written again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "capture/RecordingNote.h"
#include "fuzz/FuzzTempFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tolm::fuzz::FuzzTempFile file("tmpRecordingNote.txt");
    file.Write(data, size);
    if (const std::optional<tolm::RecordingNote> note = tolm::RecordingNote::Read(file.Path())) {
        if (!note->outputFile.empty() && note->outputFile.front() != '/') std::abort();
        const std::optional<tolm::RecordingNote> again = tolm::RecordingNote::Parse(note->Text());
        if (!again || again->Text() != note->Text()) std::abort();
    }
    file.Remove();
    return 0;
}
