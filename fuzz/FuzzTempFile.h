#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tolm::fuzz {

// The one file of this process that a target hands to a reader by name. It lives in a private folder made at
// the first use and removed with the process, and it is rewritten for every input, so a run leaves nothing
// behind and never writes anywhere else.
class FuzzTempFile {
  public:
    // `name` is the file's name inside the private folder; its extension is what some readers look at.
    explicit FuzzTempFile(const std::string& name);
    ~FuzzTempFile();
    FuzzTempFile(const FuzzTempFile&) = delete;
    FuzzTempFile& operator=(const FuzzTempFile&) = delete;

    // Replaces the file's content by the input; aborts when the file cannot be written, since every later
    // result would be meaningless.
    void Write(const std::uint8_t* data, std::size_t size);
    // Removes the file (the folder stays for the next input).
    void Remove();

    const std::string& Path() const { return path_; }

  private:
    std::string folder_;
    std::string path_;
};

}  // namespace tolm::fuzz
