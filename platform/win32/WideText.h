#pragma once

#include <string>
#include <string_view>

namespace tolm {

// Our text is UTF-8; every Win32 call takes and gives UTF-16. Bytes that are not UTF-8 become U+FFFD.
std::wstring ToWide(std::string_view utf8);
std::string ToUtf8(std::wstring_view wide);

}  // namespace tolm
