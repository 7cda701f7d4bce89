// ExternalInterface scripts in the exact shape the host recognises.
#include "tools/standin/ExternalScript.h"

namespace kw::standin {

std::string externalInterfaceScript(std::string_view url) {
  constexpr std::string_view kTail = ") ; } catch (e) { \"<undefined/>\"; }";
  std::string script = "try { __flash__toXML(";
  if (url.starts_with("[")) {
    script += "KW_call2(";
    for (char c : url) {
      if (c == '"') script += '\\';
      script += c;
    }
    script += ")";
  } else {
    script += "KW_call(\"";
    script += url;
    script += "\")";
  }
  script += kTail;
  return script;
}

}  // namespace kw::standin
