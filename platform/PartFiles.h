#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tolm {

// The file a save writes beside its output, "<output>.part-<8 letters or digits>", renamed over the output once
// it is whole: the output is always the old file or the new one, never a part. While the save runs, the part
// file is locked and noted in the private folder, so what an interrupted save left is found at the next start
// and known for ours, and the part file of a save that still runs is left alone.
class PartFile {
  public:
    // How many bytes longer the part file's name is than the output's.
    static constexpr std::size_t kExtraNameBytes = 14;

    PartFile() = default;
    // Removes the file unless it became the output.
    ~PartFile();
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    // Makes the file beside `output`, for this process alone: 0, or the system's error number.
    int Create(const std::string& output);
    const std::string& Path() const { return path_; }
    // Renames the file over the output in one step: 0, or the system's error number.
    int Commit();

  private:
    void Release();

    std::string output_;
    std::string path_;
    std::string note_;
    std::intptr_t lock_ = -1;  // the open that holds the file for this process: a descriptor, or a HANDLE
    bool committed_ = false;
};

// Why a save could not put a new file at `output`, or "" when it can: the part file's name would be too long, or
// what is there is no regular file (a device, a FIFO, a socket: none of them is opened), is marked immutable or
// append-only, or lies in a folder where only its owner may replace it. A link is replaced, not followed.
std::string OutputFileProblem(const std::string& output);

struct InterruptedPart {
    std::string path;
    std::uint64_t bytes = 0;
};

// The part files of saves that ended before they finished (the recorder was killed); those of saves that still
// run are not among them.
std::vector<InterruptedPart> InterruptedParts();

// Forgets an interrupted save's part file, and removes the file when `remove`.
void ForgetInterruptedPart(const std::string& path, bool remove);

}  // namespace tolm
