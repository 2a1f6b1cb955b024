// The publisher's web host and the pages the main window opens.
#pragma once

#include <string_view>

namespace scanner {

inline constexpr std::string_view kPublisherHost = "www.halvek.de";
inline constexpr std::string_view kManualPath = "/c/s/4-0016-439-1.htm";

}  // namespace scanner
