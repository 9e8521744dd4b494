#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "WaveTestSupport.h"
#include "audio/MessageQueue.h"
#include "audio/scWaveRecorders.h"
#include "platform/fake/FakeWaveIn.h"

namespace tolm::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kHeader = 46;  // RIFF, "fmt " with an 18-byte record, "data"

Bytes Pattern(std::size_t count, std::uint8_t seed) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    return bytes;
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Expects a finished container holding exactly `audio`.
void ExpectWave(const Bytes& file, const Bytes& audio) {
    ASSERT_EQ(file.size(), kHeader + audio.size());
    EXPECT_EQ(U32At(file, 4), file.size() - 8) << "RIFF size";
    EXPECT_EQ(U32At(file, 42), audio.size()) << "data size";
    EXPECT_EQ(Bytes(file.begin() + kHeader, file.end()), audio);
}

void Serve() {
    for (int pass = 0; pass < 8; ++pass) MessageQueue::OfCurrentThread()->DispatchPending();
}

// 16-bit mono at 8 kHz in 10 ms buffers: 160 bytes each.
void Configure(TStockAudioRecorder& recorder) {
    recorder.SetPCMFormat(TPCMFormat::Mono16bit8000Hz);
    recorder.SetBufferLength(10);
}

class MemoryWaveStorage : public TCustomWaveStorage {
  public:
    ByteStream* GetWaveStream(int index) override { return index >= 0 ? &items_[index] : nullptr; }

  private:
    std::map<int, MemoryStream> items_;
};

class StockRecorderTest : public WaveDeviceTest {};

TEST_F(StockRecorderTest, FileHoldsHeaderAndEveryRecordedByteIncludingThePartialBuffer) {
    TempFile file("partial.wav");
    TStockAudioRecorder recorder(&fake);
    Configure(recorder);
    ASSERT_TRUE(recorder.RecordToFile(file.Path()));
    Serve();
    const Bytes audio = Pattern(160 + 50, 3);
    ASSERT_EQ(fake.Feed(audio), audio.size());
    Serve();
    EXPECT_TRUE(recorder.Stop());
    Serve();
    EXPECT_FALSE(recorder.Active());
    ExpectWave(ReadFile(file.Path()), audio);
    EXPECT_EQ(fake.OpenFormat(), WaveFormatBlock(Stock(TPCMFormat::Mono16bit8000Hz)));
}

TEST_F(StockRecorderTest, HeldToATimelineItRepeatsAFewMillisecondsAndPutsSilenceWhereAPauseLostSound) {
    TempFile file("held.wav");
    TStockAudioRecorder recorder(&fake);
    Configure(recorder);
    recorder.SetBufferLength(100);     // 1600 bytes: longer than what is put in
    TimelinePoint now{0, true, 0, 5};  // the picture is seen 5 ms after it was taken
    recorder.SetTimeline([&now] { return now; });
    ASSERT_TRUE(recorder.RecordToFile(file.Path()));
    Serve();
    Bytes expected;
    const auto feed = [&](int block) {
        const Bytes audio = Pattern(1600, static_cast<std::uint8_t>(block));
        EXPECT_EQ(fake.Feed(audio), audio.size());
        Serve();
        return audio;
    };
    for (int block = 1; block <= 10; ++block) {
        now.ms = 100.0 * block;  // each buffer arrives as its time has passed
        const Bytes audio = feed(block);
        // The sound is held back 5 ms from the start: the first buffer's own first 5 ms go ahead of it.
        if (block == 1) expected.insert(expected.end(), audio.begin(), audio.begin() + 80);
        expected.insert(expected.end(), audio.begin(), audio.end());
    }
    // A pause whose cork lost 50 ms: the first buffer after it comes 50 ms later than its sound says.
    now.segment = 1;
    now.ms = 1100 + 50;
    const Bytes afterPause = feed(11);
    expected.insert(expected.end(), 800, 0);  // 50 ms of silence, not an echo of what follows
    expected.insert(expected.end(), afterPause.begin(), afterPause.end());
    EXPECT_TRUE(recorder.Stop());
    Serve();
    ExpectWave(ReadFile(file.Path()), expected);
}

TEST_F(StockRecorderTest, DestroyingAnAsyncRecorderFinishesTheFile) {
    TempFile file("destroyed.wav");
    const Bytes audio = Pattern(100, 9);
    {
        TStockAudioRecorder recorder(&fake);
        Configure(recorder);
        recorder.SetAsync(true);
        ASSERT_TRUE(recorder.RecordToFile(file.Path()));
        ASSERT_TRUE(fake.WaitForRecording(2, 5000));
        ASSERT_EQ(fake.Feed(audio), audio.size());
    }
    EXPECT_FALSE(fake.IsOpen());
    ExpectWave(ReadFile(file.Path()), audio);
}

TEST_F(StockRecorderTest, EngineStopSequenceNeverRaises) {
    MemoryStream stream;
    TStockAudioRecorder recorder(&fake);
    Configure(recorder);
    ASSERT_TRUE(recorder.RecordToStream(stream));
    Serve();
    recorder.SetActive(false);
    EXPECT_FALSE(recorder.Stop()) << "already closing";
    Serve();
    EXPECT_FALSE(recorder.Active());
    EXPECT_NO_THROW(EXPECT_FALSE(recorder.Stop())) << "nothing left to stop";
    ExpectWave(stream.Bytes(), {});
}

TEST_F(StockRecorderTest, RecordingAgainFinishesThePreviousContainerFirst) {
    MemoryStream first, second;
    TStockAudioRecorder recorder(&fake);
    Configure(recorder);
    ASSERT_TRUE(recorder.RecordToStream(first));
    Serve();
    fake.Feed(Pattern(60, 1));
    ASSERT_TRUE(recorder.RecordToStream(second));
    Serve();
    fake.Feed(Pattern(40, 2));
    ASSERT_TRUE(recorder.Stop());
    Serve();
    ExpectWave(first.Bytes(), Pattern(60, 1));
    ExpectWave(second.Bytes(), Pattern(40, 2));
}

TEST_F(StockRecorderTest, AsyncSetDuringARecordingChangesNeitherItNorTheNext) {
    MemoryStream first, second;  // outlive the recorder, which finishes the second at its end
    TStockAudioRecorder recorder(&fake);
    Configure(recorder);
    ASSERT_TRUE(recorder.RecordToStream(first));
    recorder.SetAsync(true);
    Serve();
    ASSERT_EQ(fake.QueuedCount(), 2u);
    ASSERT_TRUE(recorder.Stop());
    Serve();
    ASSERT_TRUE(recorder.RecordToStream(second));
    EXPECT_FALSE(recorder.Async());
    EXPECT_EQ(fake.QueuedCount(), 0u) << "the open message waits for this thread";
    Serve();
    EXPECT_EQ(fake.QueuedCount(), 2u);
}

TEST_F(StockRecorderTest, StockRules) {
    TStockAudioRecorder recorder(&fake);
    Configure(recorder);
    try {
        recorder.RecordToStock(0);
        ADD_FAILURE() << "recorded without Stock";
    } catch (const EWaveAudioInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "Stock property is not assigned");
    }
    EXPECT_THROW(recorder.SetActive(true), EWaveAudioInvalidOperation);
    EXPECT_FALSE(recorder.Active());

    auto storage = std::make_unique<MemoryWaveStorage>();
    recorder.SetStock(storage.get());
    recorder.SetActive(true);
    Serve();
    fake.Feed(Pattern(30, 5));
    recorder.SetActive(false);
    Serve();
    auto* item = dynamic_cast<MemoryStream*>(storage->GetWaveStream(0));
    ASSERT_NE(item, nullptr);
    ExpectWave(item->Bytes(), Pattern(30, 5));

    storage.reset();
    EXPECT_EQ(recorder.Stock(), nullptr);
}

TEST_F(StockRecorderTest, StorageDestroyedMidRecordingEndsTheRecordingSafely) {
    TStockAudioRecorder recorder(&fake);
    Configure(recorder);
    auto storage = std::make_unique<MemoryWaveStorage>();
    recorder.SetStock(storage.get());
    ASSERT_TRUE(recorder.RecordToStock(2));
    Serve();
    fake.Feed(Pattern(200, 4));
    storage.reset();
    Serve();
    EXPECT_FALSE(recorder.Active());
    EXPECT_EQ(recorder.Stock(), nullptr);
    EXPECT_FALSE(shown.empty()) << "the lost container is reported";
}

TEST_F(StockRecorderTest, WriteFailureGoesToOnErrorAndTheBufferIsQueuedAgain) {
    FailingStream stream;
    TStockAudioRecorder recorder(&fake);
    Configure(recorder);
    std::vector<int> errors;
    recorder.OnError = [&](TWaveAudioIO& sender) { errors.push_back(sender.LastError()); };
    ASSERT_TRUE(recorder.RecordToStream(stream));
    Serve();
    stream.failWrites = true;
    fake.Feed(Pattern(160, 0));
    Serve();
    EXPECT_EQ(errors, std::vector<int>{MMSYSERR_ERROR});
    EXPECT_EQ(fake.QueuedCount(), 2u);

    recorder.OnError = nullptr;
    fake.Feed(Pattern(160, 0));
    Serve();
    EXPECT_EQ(shown, std::vector<std::string>{"Fake wave input error 1."});
    EXPECT_EQ(fake.QueuedCount(), 1u) << "without a handler the buffer is released";
}

TEST_F(StockRecorderTest, RefusedFormatRaisesAndLeavesAHeaderOnlyFile) {
    TempFile file("refused.wav");
    fake.FailCall(FakeWaveCall::QueryFormat, WAVERR_BADFORMAT);
    fake.SetErrorText(WAVERR_BADFORMAT, "Unsupported format.");
    TStockAudioRecorder recorder(&fake);
    Configure(recorder);
    try {
        recorder.RecordToFile(file.Path());
        ADD_FAILURE() << "no error raised";
    } catch (const EWaveAudioSysError& e) {
        EXPECT_STREQ(e.what(), "Unsupported format.");
    }
    EXPECT_FALSE(recorder.Active());
    ExpectWave(ReadFile(file.Path()), {});

    TStockAudioRecorder silent(nullptr);
    EXPECT_THROW(silent.RecordToFile(file.Path()), EWaveAudioSysError);
    ExpectWave(ReadFile(file.Path()), {});
}

TEST_F(StockRecorderTest, FailedRealOpenGivesFalseAndACompleteEmptyFile) {
    TempFile file("unopened.wav");
    fake.FailCall(FakeWaveCall::Open, MMSYSERR_ALLOCATED, 1);
    TStockAudioRecorder recorder(&fake);
    Configure(recorder);
    EXPECT_FALSE(recorder.RecordToFile(file.Path()));
    EXPECT_FALSE(recorder.Active());
    EXPECT_EQ(recorder.LastError(), MMSYSERR_ALLOCATED);
    ExpectWave(ReadFile(file.Path()), {});
}

}  // namespace
}  // namespace tolm::test
