#pragma once

#include <sys/types.h>

#include <string>

namespace tolm::testing {

// An Xvfb of our own on a free display number, for the cases the shared display cannot show: a server that
// goes away, a screen depth we do not support.
class PrivateXServer {
  public:
    // `screen` as Xvfb's -screen takes it, e.g. "320x240x24".
    explicit PrivateXServer(const std::string& screen);
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    bool Running() const { return pid_ > 0; }
    const std::string& DisplayName() const { return displayName_; }
    const std::string& Problem() const { return problem_; }

    // Terminates the server and waits for it.
    void Stop();

  private:
    pid_t pid_ = -1;
    std::string displayName_;
    std::string problem_;
};

}  // namespace tolm::testing
