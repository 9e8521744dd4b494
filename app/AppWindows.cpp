#include "app/AppWindows.h"

namespace tolm {

TAppWindows& AppWindows() {
    static TAppWindows windows;
    return windows;
}

}  // namespace tolm
