#include "platform/LocalTime.h"

namespace tolm {

std::tm LocalTime(std::time_t when) {
    std::tm local{};
    ::localtime_r(&when, &local);
    return local;
}

}  // namespace tolm
