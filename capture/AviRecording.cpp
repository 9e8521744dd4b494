#include "capture/AviErrors.h"
#include "capture/CaptureGlobals.h"
#include "capture/CompressorTexts.h"
#include "capture/DefaultCompressor.h"
#include "capture/ScreenCamera.h"
#include "platform/Files.h"

namespace tolm {
void TScreenCamera::CreateTempAvi(RecordingSession& session) {
    auto fail = [&](const std::string& text, AviResult code) {
        session.firstFrame.reset();
        ReportError(text);
        session.failure = code;
    };
    const std::string tempVideo = Globals().TempVideoFile();
    if (tempVideo.empty()) return fail(Globals().TempFolderError(), AVIERR_FILEOPEN);
    if (!DeleteTempFile(tempVideo)) return fail("Can not delete video temp file.", 1);
    WriteRecordingNote();

    AviResult r = services_.avi.OpenFile(tempVideo, AviOpenMode::create, session.file);
    if (r != AVIERR_OK) return fail("Error on create AVI file.", r);

    const BitmapInfoHeader frame = session.firstFrame->Header();
    const bool onTheFly = recordType_ == TTypeRecord::CompressOnFly;
    AviStreamInfo info;
    info.fccType = streamtypeVIDEO;
    info.fccHandler = onTheFly ? currentCompressor_.load() : 0;
    info.dwScale = 1;
    session.streamFps = playbackFps_;
    info.dwRate = static_cast<std::uint32_t>(session.streamFps);
    info.dwSuggestedBufferSize = frame.biSizeImage;
    info.dwQuality = static_cast<std::uint32_t>(compressionQuality_.load());
    info.rcFrame = FrameRect{0, 0, frame.biWidth, frame.biHeight};
    if (selectedCompressor_ != -1) info.szName = CompressorInfos(selectedCompressor_).szName;
    r = session.file->CreateStream(info, session.stream);
    if (r != AVIERR_OK) return fail("Error on create AVI stream.", r);

    session.options = AviCompressOptions{};
    session.options.fccType = streamtypeVIDEO;
    session.options.fccHandler = onTheFly ? currentCompressor_.load() : 0;
    session.options.dwKeyFrameEvery = static_cast<std::uint32_t>(keyFramesEvery_.load());
    session.options.dwQuality = static_cast<std::uint32_t>(compressionQuality_.load());
    session.options.dwFlags = AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_VALID;
    session.optionsBuilt = true;
    r = services_.avi.MakeCompressedStream(session.stream, session.options, session.compressed);
    if (r != AVIERR_OK) return fail("Error on compress AVI stream.", r);
    flags_.SetWritingStream(session.compressed);

    r = session.compressed->SetFormat(0, session.firstFrame->Data(), session.firstFrame->FormatSize());
    session.firstFrame.reset();
    if (r != AVIERR_OK) return fail("Error on set AVI stream format.", r);
}

bool TScreenCamera::WriteFrame(RecordingSession& session, int position, const PackedDib& dib) {
    if (!session.compressed || session.writeFailed) return false;
    const AviResult r = session.compressed->Write(position, 1, dib.Bits(), dib.Header().biSizeImage, AVIIF_KEYFRAME);
    if (r == AVIERR_OK) {
        ++session.framesWritten;
        session.timeline.NoteFrameEnd((position + 1.0) * IntervalMs(session));
        return true;
    }
    // Frames already in the file are the user's recording and are kept; a failure before the first one
    // points at the compressor, and the question about another one follows.
    if (FileHoldsFrames(session)) {
        EndAfterWriteFailure(session, r);
        return false;
    }
    ReportError("Error on write data to AVI stream.");
    session.failure = r;
    return false;
}

bool TScreenCamera::FileHoldsFrames(const RecordingSession& session) {
    return session.stream && session.stream->Info().dwLength > 0;
}

void TScreenCamera::EndAfterWriteFailure(RecordingSession& session, AviResult result) {
    session.writeFailed = true;
    if (Recording()) StopRecording();
    // The file keeps what reached it (the reader takes a file that was never finished); the save makes a
    // whole one of it.
    const std::string folder = FolderOf(Globals().TempVideoFile());
    const std::optional<std::uint64_t> room = RoomForRecording(folder);
    if (result == AVIERR_FILEWRITE && room && *room < TDiskWatch::kMinimumReserve) {
        if (session.diskFullReported) return;
        session.diskFullReported = true;
        ReportError("Not enough disk space: the recording was stopped with " + std::to_string(*room / TDiskWatch::kMB) +
                    " MB left in " + folder + ".");
    } else if (result == AVIERR_COMPRESSOR) {
        ReportError("The compressor stopped working; the recording was stopped and what was written is saved.");
    } else {
        ReportError("Error on write data to AVI stream; the recording was stopped and what was written is saved.");
    }
}

void TScreenCamera::ReleaseVideo(RecordingSession& session) {
    session.optionsBuilt = false;
    if (session.compressed) {
        // What a slow encoder still holds is finished as the first part of the save, its progress shown and
        // its Cancel heard, so the stop does not wait in silence; for a file nobody keeps it is let go.
        const bool keep = !session.failure && !session.writeFailed && Globals().StopReason == TStopReason::StopAndSave;
        bool cancelled = false;
        const std::int64_t leftOut = session.compressed->FinishWrites([&](int percent) {
            if (keep && SaveProgress(percent) == 0) return 0;
            cancelled = keep;
            return -1;
        });
        session.saveCancelled = cancelled;
        if (keep && !cancelled && leftOut > 0)
            ReportError("The compressor did not keep up; " + std::to_string(leftOut) +
                        (leftOut == 1 ? " frame at the end was left out." : " frames at the end were left out."));
    }
    session.compressed.reset();
    const bool holdsFrames = FileHoldsFrames(session);
    session.stream.reset();
    if (session.file) {
        const AviResult r = session.file->Finish();
        if (r != AVIERR_OK && !session.failure && !session.writeFailed) {
            if (holdsFrames) {
                EndAfterWriteFailure(session, r);
            } else {
                // Nothing recorded reached the file: nothing to save.
                ReportError("Error on write data to AVI stream.");
                session.failure = r;
            }
        }
        session.file.reset();
    }
}

RecordOutcome TScreenCamera::WindDown() {
    if (!preview_ && OnPreview) OnPreview(*this, nullptr, false, false);
    EndAreaTracking();
    Globals().StopReason = TStopReason::Cancel;
    SetRecordingFlag(false);
    Raise(OnStop);
    usingDefaultCompressor_ = false;
    RestoreAfterFailedStart();
    return RecordOutcome::abandoned;
}

RecordOutcome TScreenCamera::RecordingResult(RecordingSession& session) {
    if (!session.failure) {
        usingDefaultCompressor_ = false;
        return RecordOutcome::recorded;
    }
    // Another compressor would not bring the sound back.
    if (session.audioFailed) return WindDown();
    const std::uint32_t fallback = DefaultCompressorFor(Globals().OutputFile(), kDefaultCompressor);
    if (recordType_ == TTypeRecord::CompressOnFly && currentCompressor_ != fallback) {
        if (services_.host.AskYesNo("Notice", kUseDefaultCompressorQuestion)) {
            currentCompressor_ = fallback;
            statistics_.SetVideoCodecName(DefaultCompressorName(fallback));
            Globals().StopReason = TStopReason::Cancel;
            usingDefaultCompressor_ = true;
            return RecordOutcome::retryWithDefault;
        }
        if (!EndedByUser()) ReportError("User aborted!");  // else a stop or cancel key closed the question
        return WindDown();
    }
    ReportError(std::string("Error creating AVI file with \"") + DefaultCompressorName(fallback) + "\".");
    return WindDown();
}

RecordOutcome TScreenCamera::RecordAVI(const std::string& outputFile, const CaptureLoop& loop) {
    Globals().SetOutputFile(outputFile);
    RecordingSession session;
    if (RefusedBeforeSettling() || SettleCompressor(session) == Settled::ended ||
        CheckOutputTakesVideo(session) == Settled::ended)
        return RecordOutcome::abandoned;
    if (EndedByUser()) {
        // The worker's recording was stopped or cancelled while its compressor was settled (a key pressed while
        // a question was open): nothing to record or save.
        session.firstFrame.reset();
        session.compressor.reset();
        return WindDown();
    }
    CreateTempAvi(session);
    if (!session.failure) {
        Raise(OnStart);
        StartAudio(session);
    }
    if (!session.failure) {
        statistics_.capturedFrames = 0;
        statistics_.droppedFrames = 0;
        statistics_.realFps = 0;
        if (loop) loop(session);
        // The sound ends with the last picture; releasing the video can take a while (queued frames are
        // still being written), and sound recorded meanwhile would have no picture. The timeline stands from
        // here, so what the input still hands over is cut at the last frame's end.
        session.timeline.Pause(services_.clock.NowMs());
        if (session.recorder && session.recorder->Active() && !session.audioLost) session.recorder->SetPaused(true);
    }
    Raise(OnStop);
    ReleaseVideo(session);
    StopAudio(session);
    if (restoreAppOnStop_) services_.host.RestoreApplication();
    if (session.saveCancelled) {
        // As a save cancelled later: the temporary files are kept, and the recording with them.
        saveFailed_ = true;
        ReportError(SaveErrorText(AVIERR_USERABORT));
        Raise(OnStop);
    } else if (!session.failure && Globals().StopReason == TStopReason::StopAndSave && session.framesWritten > 0) {
        // A stop that came before the first frame leaves nothing worth a file.
        SaveRecording(!session.writeFailed);
    } else if (cancelledByEscape_ && session.framesWritten > 0) {
        keepCancelled_ = true;
    }
    return RecordingResult(session);
}

}  // namespace tolm
