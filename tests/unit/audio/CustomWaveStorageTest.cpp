#include <map>

#include "WaveTestSupport.h"
#include "audio/scWaveStorage.h"

namespace tolm::test {
namespace {

// The smallest concrete storage: one memory stream per item index.
class MemoryWaveStorage : public TCustomWaveStorage {
  public:
    ByteStream* GetWaveStream(int index) override { return index >= 0 ? &items_[index] : nullptr; }

  private:
    std::map<int, MemoryStream> items_;
};

TEST(CustomWaveStorage, ItemsAreWrittenThroughTheirStreams) {
    MemoryWaveStorage storage;
    ByteStream* item = storage.GetWaveStream(3);
    ASSERT_NE(item, nullptr);
    {
        TWaveStreamAdapter adapter(*item);
        ASSERT_TRUE(adapter.StartWriting(WaveFormatBlock(Stock(TPCMFormat::Mono8Bit8000Hz))));
        adapter.WriteData("abcd", 4);
        ASSERT_TRUE(adapter.FinishWriting());
    }
    EXPECT_EQ(storage.GetWaveStream(3)->Size(), 50u);
    EXPECT_EQ(storage.GetWaveStream(4)->Size(), 0u);
}

TEST(CustomWaveStorage, DestructionIsAnnouncedToWhoeverStillListens) {
    int told = 0;
    int removed = 0;
    TCustomWaveStorage* seen = nullptr;
    {
        auto storage = std::make_unique<MemoryWaveStorage>();
        storage->FreeNotification([&](TCustomWaveStorage& sender) {
            seen = &sender;
            ++told;
        });
        const int id = storage->FreeNotification([&](TCustomWaveStorage&) { ++removed; });
        storage->RemoveFreeNotification(id);
        TCustomWaveStorage* expected = storage.get();
        storage.reset();
        EXPECT_EQ(seen, expected);
    }
    EXPECT_EQ(told, 1);
    EXPECT_EQ(removed, 0);
}

}  // namespace
}  // namespace tolm::test
