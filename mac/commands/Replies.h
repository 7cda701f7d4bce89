// Reply values of a command: the XML value a synchronous (ExternalInterface)
// call returns at once, and the variables text an asynchronous (URL) call
// answers through its stream.
#pragma once

#include <string>

#include "mac/commands/CocoaInterfaceData.h"

namespace kw {

// The XML fragment for the record's result: "<true/>", "<number>..</number>",
// "<string>..</string>", a ready-made text, a point object, or "" when no
// result kind is flagged. Strings are inserted unescaped.
std::string syncReplyXML(const CocoaInterfaceData& data);

// The body `sendBackReturnValueFromCocoaInterfaceAsync` writes: "&name=value"
// (two such variables for a point), or "" when there is nothing to write. The
// names come from the request's "returnVarName1"/"returnVarName2" parameters.
// Nothing at all is written to a stream marked "Sync"; that check is the
// caller's, which knows the stream.
std::string asyncReplyVariables(const CocoaInterfaceData& data);

}  // namespace kw
