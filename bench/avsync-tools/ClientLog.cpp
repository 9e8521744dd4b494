#include "ClientLog.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <fstream>
#include <sstream>

namespace tolm::avsync {
namespace {

constexpr std::size_t kLookAhead = 8;

// The client event within reach of picture time `picture` under clock offset `shift`; the picture catches a
// flash up to a frame gap after it was shown.
std::optional<std::size_t> Near(const std::vector<ClientEvent>& events, const SyncPair& pair, double shift) {
    const double slack = 0.005 + pair.gapMs / 1000;
    std::optional<std::size_t> best;
    for (std::size_t j = 0; j < events.size(); ++j) {
        const double late = pair.picture + shift - events[j].flash;  // >= 0 when the frame came after the flash
        if (late < -0.025 || late > slack) continue;
        if (!best || std::abs(late) < std::abs(pair.picture + shift - events[*best].flash)) best = j;
    }
    return best;
}

}  // namespace

bool ReadClientLog(const std::string& path, std::vector<ClientEvent>& out) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string word;
        int index = 0;
        double beepMs = 0;
        double flashMs = 0;
        double latencyMs = 0;
        if (fields >> word >> index >> beepMs >> flashMs >> latencyMs && word == "event")
            out.push_back({flashMs / 1000, flashMs - beepMs});
    }
    return true;
}

std::vector<std::optional<double>> MatchClientEvents(const std::vector<SyncPair>& pairs,
                                                     const std::vector<ClientEvent>& events) {
    std::vector<std::optional<double>> lags(pairs.size());
    std::vector<bool> used(events.size(), false);
    bool known = false;
    double shift = 0;  // client time minus file time
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        std::optional<std::size_t> j = known ? Near(events, pairs[k], shift) : std::nullopt;
        if (!j) {
            // A new offset: of those that put one of the next few pairs on some event, the one that puts most of
            // them on events; chance agreements of two or three happen, of five not. Ties go to the nearest to the
            // offset before.
            const std::size_t last = std::min(pairs.size(), k + kLookAhead);
            const std::size_t needed = std::min<std::size_t>(5, last - k);
            const double before = shift;
            std::size_t bestVotes = 0;
            known = false;
            for (std::size_t from = k; from < last; ++from) {
                for (const ClientEvent& e : events) {
                    const double candidate = e.flash - pairs[from].picture;
                    std::size_t votes = 0;
                    for (std::size_t n = k; n < last; ++n) votes += Near(events, pairs[n], candidate) ? 1 : 0;
                    if (votes > bestVotes ||
                        (votes == bestVotes && std::abs(candidate - before) < std::abs(shift - before))) {
                        bestVotes = votes;
                        shift = candidate;
                    }
                }
            }
            known = bestVotes >= needed && needed >= 2;
            if (!known) continue;  // a lone pair could match anything
            j = Near(events, pairs[k], shift);
            if (!j) continue;
        }
        if (used[*j]) continue;
        used[*j] = true;
        lags[k] = events[*j].lagMs;
    }
    return lags;
}

}  // namespace tolm::avsync
