#include "platform/fake/FakeAviLibrary.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <utility>

#include "platform/Files.h"

namespace tolm {

class FakeAviStream final : public AviStream {
  public:
    // `diskPath`: the file a written stream's bytes also go to, so that it grows on disk as a real one does.
    FakeAviStream(FakeAviLibrary& library, std::shared_ptr<FakeAviLibrary::StreamData> data, std::string diskPath = {})
        : library_(library), data_(std::move(data)), diskPath_(std::move(diskPath)) {}

    AviStreamInfo Info() const override {
        std::lock_guard lock(library_.mutex_);
        return data_->info;
    }
    AviResult SetFormat(std::int32_t, const void* format, std::size_t size) override {
        if (library_.setFormatResult != AVIERR_OK) return library_.setFormatResult;
        std::lock_guard lock(library_.mutex_);
        const auto* bytes = static_cast<const std::uint8_t*>(format);
        data_->format.assign(bytes, bytes + size);
        return AVIERR_OK;
    }
    std::vector<std::uint8_t> Format() const override {
        std::lock_guard lock(library_.mutex_);
        return data_->format;
    }
    AviResult Write(std::int32_t start, std::int32_t, const void* data, std::size_t size,
                    std::uint32_t flags) override {
        if (start == library_.failWriteAt) return AVIERR_FILEWRITE;
        std::lock_guard lock(library_.mutex_);
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        data_->samples[start] = FakeAviLibrary::Sample{{bytes, bytes + size}, flags};
        data_->info.dwLength = std::max<std::uint32_t>(data_->info.dwLength, static_cast<std::uint32_t>(start) + 1);
        if (!diskPath_.empty() && size > 0) {
            std::ofstream(diskPath_, std::ios::binary | std::ios::app)
                .write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
        }
        return AVIERR_OK;
    }
    AviResult Read(std::int32_t position, std::vector<std::uint8_t>& bytes, std::uint32_t& flags) override {
        std::lock_guard lock(library_.mutex_);
        if (position < 0 || static_cast<std::uint32_t>(position) >= data_->info.dwLength) return AVIERR_NODATA;
        const auto it = data_->samples.find(position);
        bytes = it == data_->samples.end() ? std::vector<std::uint8_t>{} : it->second.bytes;
        flags = it == data_->samples.end() ? 0 : it->second.flags;
        return AVIERR_OK;
    }
    const std::shared_ptr<FakeAviLibrary::StreamData>& Data() const { return data_; }

  private:
    FakeAviLibrary& library_;
    std::shared_ptr<FakeAviLibrary::StreamData> data_;
    std::string diskPath_;
};

namespace {

// Writes through to the target stream, marking what it wrote with its handler.
class FakeCompressedStream final : public AviStream {
  public:
    FakeCompressedStream(FakeAviLibrary& library, std::shared_ptr<AviStream> target, std::uint32_t handler)
        : library_(library),
          target_(std::move(target)),
          handler_(handler),
          pending_(library.pendingAtFinish),
          leftOut_(library.leftOutAtFinish) {}
    AviStreamInfo Info() const override { return target_->Info(); }
    AviResult SetFormat(std::int32_t position, const void* format, std::size_t size) override {
        return target_->SetFormat(position, format, size);
    }
    std::vector<std::uint8_t> Format() const override { return target_->Format(); }
    AviResult Write(std::int32_t start, std::int32_t samples, const void* data, std::size_t size,
                    std::uint32_t flags) override {
        if (auto* fake = dynamic_cast<FakeAviStream*>(target_.get())) fake->Data()->compressedWith = handler_;
        return target_->Write(start, samples, data, size, flags);
    }
    AviResult Read(std::int32_t position, std::vector<std::uint8_t>& data, std::uint32_t& flags) override {
        return target_->Read(position, data, flags);
    }
    void StopWaitingForRoom() override { ++library_.stopWaitsHeard; }
    // The pending frames are "written" one by one as a slow encoder's would be, with a report before each.
    std::int64_t FinishWrites(const AviSaveProgress& progress) override {
        const std::int64_t pending = std::exchange(pending_, 0);
        for (std::int64_t done = 0; progress && done < pending; ++done)
            if (progress(static_cast<int>(99 * done / pending)) != 0) return pending - done;
        return std::exchange(leftOut_, 0);
    }

  private:
    FakeAviLibrary& library_;
    std::shared_ptr<AviStream> target_;
    std::uint32_t handler_;
    std::int64_t pending_;
    std::int64_t leftOut_;
};

bool TouchFile(const std::string& path) {
    std::ofstream out(path, std::ios::trunc);
    return static_cast<bool>(out);
}

// The file on disk, whatever its name: a real file's streams go with it when it is renamed.
std::pair<std::uint64_t, std::uint64_t> Identity(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {0, 0};
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

}  // namespace

class FakeAviFile final : public AviFile {
  public:
    FakeAviFile(FakeAviLibrary& library, std::shared_ptr<FakeAviLibrary::FileData> data, std::string diskPath = {})
        : library_(library), data_(std::move(data)), diskPath_(std::move(diskPath)) {}

    AviResult CreateStream(const AviStreamInfo& info, std::shared_ptr<AviStream>& stream) override {
        if (library_.createStreamResult != AVIERR_OK) return library_.createStreamResult;
        auto streamData = std::make_shared<FakeAviLibrary::StreamData>();
        streamData->info = info;
        {
            std::lock_guard lock(library_.mutex_);
            data_->streams.push_back(streamData);
        }
        stream = std::make_shared<FakeAviStream>(library_, streamData, diskPath_);
        return AVIERR_OK;
    }
    AviResult GetStream(std::uint32_t fccType, std::int32_t index, std::shared_ptr<AviStream>& stream) override {
        std::lock_guard lock(library_.mutex_);
        std::int32_t seen = 0;
        for (const auto& s : data_->streams) {
            if (fccType != 0 && s->info.fccType != fccType) continue;
            if (seen++ == index) {
                stream = std::make_shared<FakeAviStream>(library_, s);
                return AVIERR_OK;
            }
        }
        return AVIERR_NODATA;
    }
    AviResult Finish() override {
        if (library_.finishResult != AVIERR_OK) return library_.finishResult;
        std::lock_guard lock(library_.mutex_);
        data_->finished = true;
        return AVIERR_OK;
    }

  private:
    FakeAviLibrary& library_;
    std::shared_ptr<FakeAviLibrary::FileData> data_;
    std::string diskPath_;  // set for a file being written
};

AviResult FakeAviLibrary::OpenFile(const std::string& path, AviOpenMode mode, std::unique_ptr<AviFile>& file) {
    if (mode == AviOpenMode::create) {
        if (!TouchFile(path)) return AVIERR_FILEOPEN;
        auto data = std::make_shared<FileData>();
        std::lock_guard lock(mutex_);
        files_[path] = data;
        identities_[path] = Identity(path);
        file = std::make_unique<FakeAviFile>(*this, data, path);
        return AVIERR_OK;
    }
    if (!FileExists(path)) return AVIERR_FILEOPEN;
    std::lock_guard lock(mutex_);
    FollowRename(path);
    const auto it = files_.find(path);
    if (it == files_.end()) return AVIERR_BADFORMAT;
    file = std::make_unique<FakeAviFile>(*this, it->second);
    return AVIERR_OK;
}

AviResult FakeAviLibrary::MakeCompressedStream(std::shared_ptr<AviStream> target, const AviCompressOptions& options,
                                               std::shared_ptr<AviStream>& compressed) {
    if (compressResult != AVIERR_OK) return compressResult;
    compressed = std::make_shared<FakeCompressedStream>(*this, std::move(target), options.fccHandler);
    return AVIERR_OK;
}

AviResult FakeAviLibrary::Save(const std::string& path, const std::vector<std::shared_ptr<AviStream>>& streams,
                               const std::vector<const AviCompressOptions*>& options, const AviSaveProgress& progress) {
    for (int percent : progressSteps)
        if (progress && progress(percent) != 0) return AVIERR_USERABORT;
    if (saveResult != AVIERR_OK) return saveResult;
    if (!TouchFile(path)) return AVIERR_FILEOPEN;
    auto data = std::make_shared<FileData>();
    for (std::size_t i = 0; i < streams.size(); ++i) {
        auto copy = std::make_shared<StreamData>();
        copy->info = streams[i]->Info();
        copy->format = streams[i]->Format();
        for (std::int32_t p = 0; static_cast<std::uint32_t>(p) < copy->info.dwLength; ++p) {
            Sample sample;
            if (streams[i]->Read(p, sample.bytes, sample.flags) == AVIERR_OK && !sample.bytes.empty())
                copy->samples[p] = std::move(sample);
        }
        data->streams.push_back(copy);
        data->saveHandlers.push_back(i < options.size() && options[i] ? options[i]->fccHandler : 0);
    }
    data->finished = true;
    std::lock_guard lock(mutex_);
    files_[path] = data;
    return AVIERR_OK;
}

AviResult FakeAviLibrary::MoveFile(const std::string& from, const std::string& path) {
    if (moveResult != AVIERR_OK) return moveResult;
    if (saveResult != AVIERR_OK) return saveResult;
    std::lock_guard lock(mutex_);
    const auto it = files_.find(from);
    if (it == files_.end() || RenameReplacing(from, path) != 0) return AVIERR_FILEOPEN;
    const std::shared_ptr<FileData> data = it->second;
    files_.erase(it);
    files_[path] = data;
    ++moves;
    return AVIERR_OK;
}

std::shared_ptr<FakeAviLibrary::FileData> FakeAviLibrary::File(const std::string& path) const {
    std::lock_guard lock(mutex_);
    const auto it = files_.find(path);
    return it == files_.end() ? nullptr : it->second;
}

void FakeAviLibrary::AddFile(const std::string& path, std::shared_ptr<FileData> data) {
    TouchFile(path);
    std::lock_guard lock(mutex_);
    files_[path] = std::move(data);
    identities_[path] = Identity(path);
}

void FakeAviLibrary::FollowRename(const std::string& path) {
    if (files_.count(path) != 0) return;
    const auto identity = Identity(path);
    for (auto it = identities_.begin(); it != identities_.end(); ++it) {
        if (it->second != identity || FileExists(it->first) || files_.count(it->first) == 0) continue;
        files_[path] = files_[it->first];
        files_.erase(it->first);
        identities_[path] = identity;
        identities_.erase(it);
        return;
    }
}

}  // namespace tolm
