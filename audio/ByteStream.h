#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tolm {

// A stream could not read, write, seek or resize; the message names the stream and the reason.
class EStreamError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// A seekable stream of bytes that can change its size: what a wave container lives in. Positions may lie
// beyond the end; writing there fills the gap with zeros. Failures throw EStreamError.
class ByteStream {
  public:
    virtual ~ByteStream() = default;

    // Reads up to `count` bytes at the position and advances it; fewer only at the end of the stream.
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    // Writes all `count` bytes at the position and advances it, growing the stream as needed.
    virtual void Write(const void* buffer, std::size_t count) = 0;
    // Moves the position and returns it; a position before the start throws.
    virtual std::uint64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
    virtual std::uint64_t Size() = 0;
    // Truncates or extends (with zeros) the stream; the position is left where it was.
    virtual void SetSize(std::uint64_t size) = 0;

    std::uint64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    // Reads exactly `count` bytes or throws.
    void ReadBuffer(void* buffer, std::size_t count);
    // Copies `count` bytes from the source's position to this stream's position; throws when the source
    // ends early.
    void CopyFrom(ByteStream& source, std::uint64_t count);
};

// A stream in memory; its bytes can be used in place.
class MemoryStream : public ByteStream {
  public:
    MemoryStream() = default;
    explicit MemoryStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::size_t Read(void* buffer, std::size_t count) override;
    void Write(const void* buffer, std::size_t count) override;
    std::uint64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::uint64_t Size() override { return bytes_.size(); }
    void SetSize(std::uint64_t size) override;

    // Valid until the stream's size next changes.
    std::uint8_t* Memory() { return bytes_.data(); }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

  private:
    std::vector<std::uint8_t> bytes_;
    std::uint64_t position_ = 0;
};

enum class TFileMode {
    fmOpenRead,       // an existing file, read only
    fmOpenReadWrite,  // an existing file
    fmCreate,         // a new or emptied file, read and write
};

// A stream over a file, unbuffered so every write reaches the system (and fails) at once.
class FileStream : public ByteStream {
  public:
    // Throws EStreamError when the file cannot be opened.
    FileStream(std::string fileName, TFileMode mode);

    std::size_t Read(void* buffer, std::size_t count) override;
    void Write(const void* buffer, std::size_t count) override;
    std::uint64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::uint64_t Size() override;
    void SetSize(std::uint64_t size) override;

    const std::string& FileName() const { return fileName_; }

  private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    [[noreturn]] void Fail(const std::string& what, int error) const;
    void MoveToPosition();

    std::string fileName_;
    TFileMode mode_;
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::uint64_t position_ = 0;
};

}  // namespace tolm
