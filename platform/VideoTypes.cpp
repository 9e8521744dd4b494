#include "platform/VideoTypes.h"

namespace tolm {

std::string FourCCToString(std::uint32_t code) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>(code >> (8 * i) & 0xFF);
        text += (c >= 32 && c < 127) ? c : '?';
    }
    return text;
}

}  // namespace tolm
