// Reads a recording back: the brightness of the middle of every video frame and the sound as one channel.
#pragma once

#include <string>
#include <vector>

namespace tolm::avsync {

struct FrameLevel {
    double seconds;     // the frame's place in the file
    double brightness;  // mean grey level 0..255 of the middle quarter of the picture
};

struct Media {
    std::vector<FrameLevel> frames;
    std::vector<float> sound;  // channels averaged, -1..1
    int rate = 0;
    double frameSeconds = 0;  // the length of one video frame
};

// False with `error` set when the file cannot be read or lacks a video or a sound stream.
bool ReadMedia(const std::string& path, Media& out, std::string& error);

}  // namespace tolm::avsync
