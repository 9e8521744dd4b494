// The delete-at-restart list of Files.h, kept in the private temporary folder; the same on every system.
#include <fstream>
#include <mutex>
#include <vector>

#include "imaging/Utf8Path.h"
#include "platform/Files.h"

namespace tolm {
namespace {

constexpr const char* kPendingList = "pending-deletions";

// Serialises the pending-deletions list within this process; one process runs at a time per user.
std::mutex& PendingMutex() {
    static std::mutex mutex;
    return mutex;
}

std::vector<std::string> ReadPending(const std::string& list) {
    std::vector<std::string> paths;
    std::ifstream in(Utf8Path(list));
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) paths.push_back(line);
    return paths;
}

bool WritePending(const std::string& list, const std::vector<std::string>& paths) {
    if (paths.empty()) return RemoveFile(list) || !FileExists(list);
    const std::string temp = list + ".new";
    {
        std::ofstream out(Utf8Path(temp), std::ios::trunc);
        for (const std::string& p : paths) out << p << '\n';
        out.flush();
        if (!out) return false;
    }
    return RenameReplacing(temp, list) == 0;
}

std::string PendingListPath() {
    std::string error;
    const std::string folder = PrivateTempFolder(error);
    return folder.empty() ? std::string() : folder + "/" + kPendingList;
}

}  // namespace

bool DeleteAtNextStart(const std::string& path) {
    if (path.empty() || path.find('\n') != std::string::npos) return false;
    const std::string list = PendingListPath();
    if (list.empty()) return false;
    std::lock_guard lock(PendingMutex());
    std::vector<std::string> paths = ReadPending(list);
    for (const std::string& p : paths)
        if (p == path) return true;
    paths.push_back(path);
    return WritePending(list, paths);
}

int RunDeletionsAtStart() {
    const std::string list = PendingListPath();
    if (list.empty()) return 0;
    // What the former folder's list still holds is taken over, so that the folder can go.
    const std::string former = FormerTempFolder();
    const std::string formerList = former.empty() ? std::string() : former + "/" + kPendingList;
    std::lock_guard lock(PendingMutex());
    std::vector<std::string> pending = ReadPending(list);
    if (!formerList.empty())
        for (std::string& p : ReadPending(formerList)) pending.push_back(std::move(p));
    std::vector<std::string> kept;
    int deleted = 0;
    for (const std::string& p : pending) {
        if (!FileExists(p)) continue;
        if (!FileInUse(p) && RemoveFile(p))
            ++deleted;
        else
            kept.push_back(p);
    }
    if (WritePending(list, kept) && !formerList.empty()) RemoveFile(formerList);
    return deleted;
}

}  // namespace tolm
