#include <memory>

#include "WaveTestSupport.h"

namespace tolm::test {
namespace {

// The same contract for every stream the containers live in.
void CheckStreamContract(ByteStream& s) {
    const std::uint8_t abc[] = {'a', 'b', 'c'};
    s.Write(abc, 3);
    EXPECT_EQ(s.Position(), 3u);
    EXPECT_EQ(s.Size(), 3u);

    // Writing beyond the end fills the gap with zeros.
    EXPECT_EQ(s.Seek(2, TSeekOrigin::soEnd), 5u);
    s.Write(abc, 1);
    EXPECT_EQ(s.Size(), 6u);
    std::uint8_t all[8] = {};
    s.Seek(0, TSeekOrigin::soBeginning);
    EXPECT_EQ(s.Read(all, sizeof all), 6u);  // short at the end, no error
    EXPECT_EQ(std::vector<std::uint8_t>(all, all + 6), (std::vector<std::uint8_t>{'a', 'b', 'c', 0, 0, 'a'}));
    EXPECT_EQ(s.Read(all, 1), 0u);

    EXPECT_EQ(s.Seek(-4, TSeekOrigin::soCurrent), 2u);
    EXPECT_THROW(s.Seek(-3, TSeekOrigin::soCurrent), EStreamError);
    EXPECT_EQ(s.Position(), 2u);  // a refused seek moves nothing
    EXPECT_THROW(s.ReadBuffer(all, 5), EStreamError);

    // Resizing keeps the position; growing adds zeros.
    s.Seek(1, TSeekOrigin::soBeginning);
    s.SetSize(2);
    EXPECT_EQ(s.Size(), 2u);
    EXPECT_EQ(s.Position(), 1u);
    s.SetSize(4);
    s.Seek(0, TSeekOrigin::soBeginning);
    s.ReadBuffer(all, 4);
    EXPECT_EQ(std::vector<std::uint8_t>(all, all + 4), (std::vector<std::uint8_t>{'a', 'b', 0, 0}));
}

TEST(ByteStreams, MemoryStreamKeepsTheContract) {
    MemoryStream stream;
    CheckStreamContract(stream);
}

TEST(ByteStreams, FileStreamKeepsTheContract) {
    TempFile file("contract.bin");
    FileStream stream(file.Path(), TFileMode::fmCreate);
    CheckStreamContract(stream);
    EXPECT_EQ(std::filesystem::file_size(file.Path()), 4u);
}

TEST(ByteStreams, CopyFromCopiesFromTheSourcePosition) {
    MemoryStream source(std::vector<std::uint8_t>{1, 2, 3, 4, 5});
    MemoryStream target;
    source.Seek(1, TSeekOrigin::soBeginning);
    target.CopyFrom(source, 3);
    EXPECT_EQ(target.Bytes(), (std::vector<std::uint8_t>{2, 3, 4}));
    EXPECT_THROW(target.CopyFrom(source, 2), EStreamError);  // only one byte left
}

TEST(ByteStreams, FileErrorsNameTheFileAndTheReason) {
    TempFile missing("missing.wav");
    try {
        FileStream stream(missing.Path(), TFileMode::fmOpenRead);
        FAIL() << "opened a missing file";
    } catch (const EStreamError& e) {
        EXPECT_NE(std::string(e.what()).find(missing.Path()), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("No such file"), std::string::npos) << e.what();
    }

    TempFile file("readonly.bin");
    { FileStream create(file.Path(), TFileMode::fmCreate); }
    FileStream reading(file.Path(), TFileMode::fmOpenRead);
    const std::uint8_t byte = 1;
    EXPECT_THROW(reading.Write(&byte, 1), EStreamError);
    EXPECT_THROW(reading.SetSize(10), EStreamError);
    EXPECT_EQ(reading.Size(), 0u);
}

}  // namespace
}  // namespace tolm::test
