// Synchronous and asynchronous reply values: see Replies.h.
#include "mac/commands/Replies.h"

#include <string_view>

#include "mac/commands/RequestReaders.h"

namespace kw {
namespace {

// The value of the request parameter `name`, else `fallback`.
std::string variableName(const CocoaInterfaceData& data, std::string_view name, std::string_view fallback) {
  std::string value(fallback);
  if (data.requestText) readStringParameter(*data.requestText, name, value);
  return value;
}

void appendVariable(std::string& out, std::string_view name, std::string_view value) {
  out.append("&").append(name).append("=").append(value);
}

}  // namespace

std::string syncReplyXML(const CocoaInterfaceData& data) {
  if (data.resultIsBoolean) return data.booleanResult != 0 ? "<true/>" : "<false/>";
  if (data.resultIsNumber) return "<number>" + std::to_string(data.numberResult) + "</number>";
  if (data.resultIsString) {
    return "<string>" + data.stringResult.value_or("undefined") + "</string>";
  }
  if (data.resultIsText && data.stringResult) return *data.stringResult;
  if (data.resultIsPoint) {
    return "<object><property id=\"x\"><number>" + std::to_string(data.numberResult) +
           "</number></property><property id=\"y\"><number>" + std::to_string(data.numberResult2) +
           "</number></property></object>";
  }
  return {};
}

std::string asyncReplyVariables(const CocoaInterfaceData& data) {
  std::string out;
  if (data.resultIsBoolean) {
    appendVariable(out, variableName(data, "returnVarName1", "returnValue"), data.booleanResult != 0 ? "1" : "0");
  } else if (data.resultIsNumber) {
    appendVariable(out, variableName(data, "returnVarName1", "returnValue"), std::to_string(data.numberResult));
  } else if (data.resultIsString || data.resultIsText) {
    if (data.stringResult) appendVariable(out, variableName(data, "returnVarName1", "returnValue"), *data.stringResult);
  } else if (data.resultIsPoint) {
    appendVariable(out, variableName(data, "returnVarName1", "returnValue1"), std::to_string(data.numberResult));
    appendVariable(out, variableName(data, "returnVarName2", "returnValue2"), std::to_string(data.numberResult2));
  }
  return out;
}

}  // namespace kw
