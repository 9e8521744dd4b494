#pragma once

#include <mutex>
#include <string>

namespace tolm::pulse {

// What the user reads when no server answers: the reason in the server library's words and what to do.
std::string NoServerText(const std::string& reason);

// The text of a wave device result code. `serverProblem` (the last server failure, possibly empty) details the
// codes a lost server causes.
std::string WaveErrorText(int code, const std::string& serverProblem);

// The wave device result code closest to a PA_ERR_* number.
int WaveResultOf(int paError);

// The mixer result code closest to a PA_ERR_* number.
int MixerResultOf(int paError);

// The last server failure a service or one of its devices met, for the service's error texts. Shared between
// the caller's threads and the loop's.
class ProblemNote {
  public:
    void Set(std::string text);
    std::string Get() const;

  private:
    mutable std::mutex mutex_;
    std::string text_;
};

}  // namespace tolm::pulse
