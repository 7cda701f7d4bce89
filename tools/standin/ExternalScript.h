// The texts the stand-in builds for a movie's getURL requests: the
// ExternalInterface script handed to the browser's evaluation entry.
#pragma once

#include <string>
#include <string_view>

namespace kw::standin {

// A getURL with this target is made as an ExternalInterface call.
inline constexpr std::string_view kExternalInterfaceTarget = "_ExternalInterface";
// URLs with this prefix are host commands, requested with notification.
inline constexpr std::string_view kCommandPrefix = "KW:/";
// The wrapper movie's back channel request.
inline constexpr std::string_view kBackChannelUrl = "KW://KW_Zivra.initSocket";

// The script for an ExternalInterface call with `url`: the list form
// KW_call2 when it begins with "[" (its double quotes written as
// backslash-quote), the URL form KW_call otherwise.
std::string externalInterfaceScript(std::string_view url);

}  // namespace kw::standin
