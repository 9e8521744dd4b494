#include <fstream>

#include "WaveTestSupport.h"

namespace tolm::test {
namespace {

const WAVEFORMATEX kMono16 = Stock(TPCMFormat::Mono16bit8000Hz);
const std::vector<std::uint8_t> kAudio{1, 2, 3, 4, 5, 6, 7, 8};

TEST(WaveStreamOps, LoadSaveAndAssignCopyWholeStreams) {
    const auto wave = WrittenWave(kMono16, kAudio);
    MemoryStream source{std::vector<std::uint8_t>(wave)};
    MemoryStream target{std::vector<std::uint8_t>(300, 0xEE)};  // longer: cut to the source's size
    TWaveStreamAdapter adapter(target);
    ASSERT_TRUE(adapter.LoadFromStream(source));
    EXPECT_EQ(target.Bytes(), wave);
    EXPECT_EQ(adapter.DataSize(), kAudio.size());

    MemoryStream saved{std::vector<std::uint8_t>{0xAA}};
    saved.Seek(1, TSeekOrigin::soBeginning);
    ASSERT_TRUE(adapter.SaveToStream(saved));
    EXPECT_EQ(saved.Size(), wave.size() + 1);
    EXPECT_EQ(saved.Bytes()[0], 0xAA);

    MemoryStream copyStream;
    TWaveStreamAdapter copy(copyStream);
    source.Seek(20, TSeekOrigin::soBeginning);  // Assign rewinds
    ASSERT_TRUE(copy.Assign(adapter));
    EXPECT_TRUE(copy.SameContent(adapter));
    EXPECT_TRUE(copy.Assign(copy));
    EXPECT_EQ(copyStream.Bytes(), wave);
    EXPECT_FALSE(adapter.SaveToStream(target));
}

TEST(WaveStreamOps, FilesRoundTripAndAWaveIsNotSavedOverItsOwnFile) {
    TempFile file("saved.wav");
    MemoryStream stream{WrittenWave(kMono16, kAudio)};
    TWaveStreamAdapter adapter(stream);
    ASSERT_TRUE(adapter.SaveToFile(file.Path())) << adapter.LastErrorText();

    MemoryStream loadedStream;
    TWaveStreamAdapter loaded(loadedStream);
    ASSERT_TRUE(loaded.LoadFromFile(file.Path())) << loaded.LastErrorText();
    EXPECT_TRUE(loaded.SameContent(adapter));

    TWaveStreamAdapter onFile(std::make_unique<FileStream>(file.Path(), TFileMode::fmOpenReadWrite));
    EXPECT_FALSE(onFile.SaveToFile(file.Path()));
    EXPECT_NE(onFile.LastErrorText().find("its own file"), std::string::npos);
    EXPECT_TRUE(onFile.Valid());

    TempFile missing("missing.wav");
    EXPECT_FALSE(loaded.LoadFromFile(missing.Path()));
    EXPECT_NE(loaded.LastErrorText().find(missing.Path()), std::string::npos);
    EXPECT_TRUE(loaded.Valid());  // a file that cannot be opened changes nothing
}

TEST(WaveStreamOps, SameContentComparesFormatSizeAndBytes) {
    MemoryStream a{WrittenWave(kMono16, kAudio)};
    MemoryStream b{WrittenWave(kMono16, kAudio)};
    auto changed = kAudio;
    changed[7] = 0;
    MemoryStream c{WrittenWave(kMono16, changed)};
    MemoryStream d{WrittenWave(Stock(TPCMFormat::Stereo8bit8000Hz), kAudio)};
    MemoryStream e;
    TWaveStreamAdapter wa(a), wb(b), wc(c), wd(d), we(e);
    EXPECT_TRUE(wa.SameContent(wb));
    EXPECT_FALSE(wa.SameContent(wc));
    EXPECT_FALSE(wa.SameContent(wd));
    EXPECT_FALSE(wa.SameFormatAs(wd));
    EXPECT_FALSE(wa.SameContent(we));
    EXPECT_FALSE(we.SameContent(we));
}

TEST(WaveStreamOps, ClearAbandonsAWriteAndEmptiesTheStream) {
    MemoryStream stream;
    TWaveStreamAdapter adapter(stream);
    ASSERT_TRUE(adapter.StartWriting(WaveFormatBlock(kMono16)));
    int changed = 0;
    adapter.OnChange = [&](TWaveStreamAdapter&) { ++changed; };
    ASSERT_TRUE(adapter.Clear());
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(adapter.State(), TWaveStreamState::wssIdle);
    EXPECT_EQ(stream.Size(), 0u);
    EXPECT_FALSE(adapter.Valid());
    EXPECT_TRUE(adapter.StartWriting(WaveFormatBlock(kMono16)));
}

TEST(WaveStreamOps, TrimCutsBehindTheDataButNeverAnInvalidStream) {
    auto bytes = WrittenWave(Stock(TPCMFormat::Mono8Bit8000Hz), {1, 2, 3});
    const std::size_t complete = bytes.size();  // with the pad byte
    bytes.insert(bytes.end(), {'L', 'I', 'S', 'T', 0, 0, 0, 0});
    MemoryStream stream{std::vector<std::uint8_t>(bytes)};
    TWaveStreamAdapter adapter(stream);
    ASSERT_TRUE(adapter.TrimStream());
    EXPECT_EQ(stream.Size(), complete);

    MemoryStream notWave{std::vector<std::uint8_t>(50, 'x')};
    TWaveStreamAdapter invalid(notWave);
    EXPECT_FALSE(invalid.TrimStream());
    EXPECT_EQ(notWave.Size(), 50u);
}

}  // namespace
}  // namespace tolm::test
