#include "CameraFixture.h"

namespace tolm {
namespace {

class Compressors : public CameraTest {
  protected:
    // Runs a recording up to the temporary file and ends it at once, as the capture loop will when stopped.
    RecordOutcome Record(std::vector<int> positions = {}, const std::string& name = "out.avi") {
        return EngineTestAccess::RecordAVI(*camera, folder + "/" + name, [&](RecordingSession& session) {
            for (int p : positions) {
                Bitmap target;
                const Rect a = camera->ScreenArea().Bounds();
                std::optional<PackedDib> dib =
                    camera->CaptureFrame(TCaptureMode::cmDib, nullptr, a.left, a.top, a.width, a.height, false);
                ASSERT_TRUE(dib.has_value());
                if (!EngineTestAccess::WriteFrame(*camera, session, p, *dib)) return;
            }
        });
    }

    std::vector<std::string> QuestionTexts() const {
        std::vector<std::string> texts;
        for (const auto& q : host.Questions()) texts.push_back(q.text);
        return texts;
    }
};

TEST_F(Compressors, ListHoldsTheCompressorsThatTakeTheFrameOnceTheStartFitsItsSize) {
    compressors.Add(FakeCompressorManager::Codec("AAAA"));
    compressors.Add(FakeCompressorManager::Codec("BBBB", 4, 4));   // 301x200 becomes 304x200 for it
    compressors.Add(FakeCompressorManager::Codec("CCCC", 1, 16));  // beyond what the start adjusts
    FakeCodec closed = FakeCompressorManager::Codec("DDDD");
    closed.opens = false;
    compressors.Add(closed);
    camera->ScreenArea().SetBounds(Rect{0, 0, 301, 200});
    camera->SetColors(TPixelFormat::pf24bit);

    EXPECT_EQ(camera->GetVideoCodecList(), (std::vector<std::string>{"Test codec AAAA", "Test codec BBBB"}));
    EXPECT_EQ(camera->CompressorCount(), 2);
    EXPECT_EQ(camera->CompressorInfos(1).fccHandler, MakeFourCC('B', 'B', 'B', 'B'));
    const BitmapInfoHeader probe = compressors.Queries().front();
    EXPECT_EQ(probe.biWidth, 301);
    EXPECT_EQ(probe.biBitCount, 24);

    camera->ScreenArea().SetBounds(Rect{0, 0, 301, 208});
    EXPECT_EQ(camera->GetVideoCodecList().size(), 3u);
}

TEST_F(Compressors, ListIsBuiltWithTheEngineSoAChoiceBeforeAnyListingHolds) {
    compressors.Add(FakeCompressorManager::Codec("AAAA"));
    compressors.Add(FakeCompressorManager::Codec("BBBB"));
    camera.reset();
    camera = std::make_unique<TScreenCamera>(Services());
    camera->SetSelectedCompressor(1);
    EXPECT_EQ(Record({0}), RecordOutcome::recorded);
    EXPECT_EQ(camera->CurrentCompressor(), MakeFourCC('B', 'B', 'B', 'B'));
}

TEST_F(Compressors, AboutAndConfigureReachOnlyListedCompressors) {
    FakeCodec configurable = FakeCompressorManager::Codec("AAAA");
    configurable.hasConfigure = true;
    compressors.Add(configurable);
    camera->GetVideoCodecList();
    camera->CompressorAbout(0);
    camera->CompressorAbout(1);
    camera->CompressorConfigure(0);
    EXPECT_EQ(compressors.AboutShown(), 1);
    EXPECT_EQ(compressors.ConfigureShown(), 1);
    EXPECT_TRUE(camera->GetCompressorFeatures(0).hasConfigure);
    EXPECT_FALSE(camera->GetCompressorFeatures(5).hasAbout);
}

TEST_F(Compressors, NoCompressRecordsWithoutAsking) {
    camera->SetRecordType(TTypeRecord::NoCompress);
    EXPECT_EQ(Record({0}), RecordOutcome::recorded);
    EXPECT_TRUE(host.Questions().empty());
    EXPECT_EQ(camera->VideoCodecName(), "No Compressor");
    const auto file = avi.File(Globals().TempVideoFile());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->streams.front()->info.fccHandler, 0u);
}

TEST_F(Compressors, NoSelectedCompressorAsksAndNoAborts) {
    EXPECT_EQ(Record(), RecordOutcome::abandoned);
    EXPECT_EQ(QuestionTexts(), (std::vector<std::string>{"You no selected compressor, use default compressor?"}));
    EXPECT_EQ(host.Questions().front().title, "Notice");
    EXPECT_EQ(events, (std::vector<std::string>{"error:User aborted!", "stop"}));
    EXPECT_EQ(avi.File(Globals().TempVideoFile()), nullptr);
    EXPECT_EQ(Globals().StopReason.load(), TStopReason::Cancel);
}

TEST_F(Compressors, AcceptingTheDefaultRecordsWithIt) {
    host.QueueAnswers({true});
    Globals().StopReason = TStopReason::StopAndSave;
    EXPECT_EQ(Record({0}), RecordOutcome::recorded);
    EXPECT_EQ(camera->VideoCodecName(), "MS Video Codec");
    EXPECT_EQ(camera->CurrentCompressor(), MakeFourCC('M', 'S', 'V', 'C'));
    const auto file = avi.File(folder + "/out.avi");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->streams.front()->info.fccHandler, MakeFourCC('M', 'S', 'V', 'C'));
}

// An MP4 file holds no MS Video 1: the default for one is H.264, after the same question.
TEST_F(Compressors, AcceptingTheDefaultForAnMp4NameRecordsH264) {
    compressors.Add(FakeCompressorManager::Codec("H264"));
    host.QueueAnswers({true});
    EXPECT_EQ(Record({0}, "out.MP4"), RecordOutcome::recorded);
    EXPECT_EQ(QuestionTexts(), (std::vector<std::string>{"You no selected compressor, use default compressor?"}));
    EXPECT_EQ(camera->CurrentCompressor(), MakeFourCC('H', '2', '6', '4'));
    EXPECT_EQ(camera->VideoCodecName(), "H.264");
}

TEST_F(Compressors, SizeGrowsToTheCompressorsMultiple) {
    compressors.Add(FakeCompressorManager::Codec("QUAD", 4, 1));
    camera->ScreenArea().SetBounds(Rect{10, 20, 301, 200});
    camera->GetVideoCodecList();
    camera->SetSelectedCompressor(0);

    EXPECT_EQ(Record({0}), RecordOutcome::recorded);
    EXPECT_EQ(camera->ScreenArea().Bounds(), (Rect{10, 20, 304, 200}));
    std::vector<int> widths;
    for (const auto& q : compressors.Queries()) widths.push_back(q.biWidth);
    EXPECT_EQ(widths, (std::vector<int>{301, 302, 304, 301, 302, 304}));  // the list, then the start: b = 1, 2, 4
    EXPECT_EQ(camera->VideoCodecName(), "QUAD codec");
    const auto file = avi.File(Globals().TempVideoFile());
    const BitmapInfoHeader format = BitmapInfoHeader::ReadFrom(file->streams.front()->format.data());
    EXPECT_EQ(format.biWidth, 304);
    EXPECT_EQ(file->streams.front()->info.rcFrame.right, 304);
}

TEST_F(Compressors, TheDefaultCompressorHasTheAreaFittedToItToo) {
    compressors.Add(FakeCompressorManager::Codec("MSVC", 4, 4));
    camera->ScreenArea().SetBounds(Rect{0, 0, 301, 202});
    host.QueueAnswers({true});  // none selected: the default
    EXPECT_EQ(Record({0}), RecordOutcome::recorded);
    EXPECT_EQ(camera->ScreenArea().Bounds(), (Rect{0, 0, 304, 204}));
    const auto file = avi.File(Globals().TempVideoFile());
    EXPECT_EQ(BitmapInfoHeader::ReadFrom(file->streams.front()->format.data()).biWidth, 304);

    // Accepted after the chosen one failed: the second run fits the area to the default.
    compressors.Add(FakeCompressorManager::Codec("AAAA"));
    camera->ScreenArea().SetBounds(Rect{0, 0, 301, 202});
    camera->GetVideoCodecList();
    camera->SetSelectedCompressor(1);
    avi.failWriteAt = 0;
    host.QueueAnswers({true});
    EXPECT_EQ(Record({0}), RecordOutcome::retryWithDefault);
    avi.failWriteAt = -1;
    EXPECT_EQ(Record({0}), RecordOutcome::recorded);
    EXPECT_EQ(camera->ScreenArea().Bounds(), (Rect{0, 0, 304, 204}));
}

TEST_F(Compressors, SizeShrinksAtTheDesktopEdge) {
    screen.SetMonitors({Rect{0, 0, 1366, 768}});
    ResetCaptureGlobals();
    camera = std::make_unique<TScreenCamera>(FakeServices::Services());
    compressors.Add(FakeCompressorManager::Codec("QUAD", 4, 1));
    camera->GetVideoCodecList();
    camera->SetSelectedCompressor(0);
    camera->ScreenArea().SetBounds(Rect{0, 0, 1366, 768});
    EXPECT_EQ(Record(), RecordOutcome::recorded);
    EXPECT_EQ(camera->ScreenArea().ScreenWidth(), 1364);
}

TEST_F(Compressors, CompressorThatNeverAcceptsAsksOnce) {
    compressors.Add(FakeCompressorManager::Codec("ODD1", 16, 1));
    camera->ScreenArea().SetBounds(Rect{0, 0, 160, 100});
    camera->GetVideoCodecList();
    camera->SetSelectedCompressor(0);
    camera->ScreenArea().SetBounds(Rect{0, 0, 161, 100});
    EXPECT_EQ(Record(), RecordOutcome::abandoned);
    EXPECT_EQ(QuestionTexts(),
              (std::vector<std::string>{"Error: This compressor cann`t work if the dimensions is adjusted slightly\r\n"
                                        "Use default compressor?"}));
    EXPECT_EQ(camera->ScreenArea().ScreenWidth(), 168);  // the last adjusted size stays
}

TEST_F(Compressors, FailedWriteOffersTheDefaultThenNamesIt) {
    compressors.Add(FakeCompressorManager::Codec("AAAA"));
    camera->GetVideoCodecList();
    camera->SetSelectedCompressor(0);
    avi.failWriteAt = 0;  // before any frame reached the file: the compressor is the suspect
    host.QueueAnswers({true});
    EXPECT_EQ(Record({0, 1}), RecordOutcome::retryWithDefault);
    EXPECT_EQ(camera->CurrentCompressor(), MakeFourCC('M', 'S', 'V', 'C'));
    EXPECT_EQ(Globals().StopReason.load(), TStopReason::Cancel);

    events.clear();
    EXPECT_EQ(Record({0, 1}), RecordOutcome::abandoned);  // the second run asks nothing more
    EXPECT_EQ(host.Questions().size(), 1u);
    EXPECT_EQ(events, (std::vector<std::string>{"error:Error on write data to AVI stream.", "stop",
                                                "error:Error creating AVI file with \"MS Video Codec\".", "stop"}));
}

TEST_F(Compressors, AnUnsafeTemporaryFolderIsRefusedWithoutTheCompressorQuestion) {
    compressors.Add(FakeCompressorManager::Codec("AAAA"));
    camera->GetVideoCodecList();
    camera->SetSelectedCompressor(0);
    Globals().SetTempFolder({}, "The folder /x is not a private folder of this user.");
    EXPECT_EQ(Record({0}), RecordOutcome::abandoned);
    EXPECT_TRUE(host.Questions().empty());
    EXPECT_EQ(events, (std::vector<std::string>{"error:The folder /x is not a private folder of this user.", "stop"}));
}

TEST_F(Compressors, CreationFailuresHaveTheirOwnTexts) {
    camera->SetRecordType(TTypeRecord::NoCompress);
    const struct {
        AviResult FakeAviLibrary::*knob;
        const char* text;
    } cases[] = {
        {&FakeAviLibrary::createStreamResult, "Error on create AVI stream."},
        {&FakeAviLibrary::compressResult, "Error on compress AVI stream."},
        {&FakeAviLibrary::setFormatResult, "Error on set AVI stream format."},
    };
    for (const auto& c : cases) {
        avi.*c.knob = AVIERR_MEMORY;
        events.clear();
        EXPECT_EQ(Record(), RecordOutcome::abandoned);
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.front(), std::string("error:") + c.text);
        EXPECT_EQ(events.back(), "stop");
        avi.*c.knob = AVIERR_OK;
    }
}

TEST_F(Compressors, OldVideoServicesEndTheRecording) {
    avi.version = 0x01090000;
    EXPECT_EQ(Record(), RecordOutcome::abandoned);
    EXPECT_EQ(events, (std::vector<std::string>{"error:Failure: Video for windows version too old!", "stop"}));
}

TEST_F(Compressors, StreamRecordCarriesTheTimelineAndOptions) {
    camera->SetRecordType(TTypeRecord::NoCompress);
    camera->SetPlayBack_FPS(25);
    camera->SetCompressionQuality(7000);
    camera->ScreenArea().SetBounds(Rect{0, 0, 64, 48});
    camera->SetColors(TPixelFormat::pf16bit);
    EXPECT_EQ(Record({0, 2, 4, 7}), RecordOutcome::recorded);
    const auto stream = avi.File(Globals().TempVideoFile())->streams.front();
    EXPECT_EQ(stream->info.fccType, streamtypeVIDEO);
    EXPECT_EQ(stream->info.dwScale, 1u);
    EXPECT_EQ(stream->info.dwRate, 25u);
    EXPECT_EQ(stream->info.dwQuality, 7000u);
    EXPECT_EQ(stream->info.dwSuggestedBufferSize, 128u * 48u);
    EXPECT_EQ(stream->info.dwLength, 8u);
    EXPECT_EQ(stream->samples.size(), 4u);
    EXPECT_EQ(stream->samples.at(7).flags, AVIIF_KEYFRAME);
    EXPECT_EQ(stream->samples.at(7).bytes.size(), 128u * 48u);
    EXPECT_TRUE(avi.File(Globals().TempVideoFile())->finished);
}

}  // namespace
}  // namespace tolm
