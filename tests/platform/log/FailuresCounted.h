#pragma once
// How many failures one line of a failure log counts: the N of its
// "(N times since the last line)", else the one failure it names.

#include <cstdint>
#include <string>
#include <string_view>

inline std::uint64_t failuresCounted(const std::string& message) {
    constexpr std::string_view tail = " times since the last line)";
    const auto open = message.rfind(" (");
    if (!message.ends_with(tail) || open == std::string::npos) return 1;
    return std::stoull(message.substr(open + 2));
}
