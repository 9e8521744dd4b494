#pragma once

#include <ctime>

namespace tolm {

// The calendar time of `when` in the user's time zone; safe on any thread.
std::tm LocalTime(std::time_t when);

}  // namespace tolm
