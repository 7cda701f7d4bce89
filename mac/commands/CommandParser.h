// The command parser: finds the command a request names in the command table
// and fills the request record with its function ID, reply kind and parameters.
#pragma once

#include <cstdint>
#include <string_view>

#include "mac/commands/CocoaInterfaceData.h"
#include "mac/pluginhost/Status.h"

namespace kw {

// A point in global screen coordinates: origin at the top left of the main
// screen, v growing downward.
struct MousePoint {
  int32_t h = 0;
  int32_t v = 0;
};

// What the parser needs from the rest of the host for the two commands it
// answers or starts itself (getMousePosition, simpleGet / simplePut).
class ParserServices {
 public:
  virtual ~ParserServices() = default;
  virtual MousePoint currentMousePosition() = 0;
  // Starts the FTP transfer the record describes; 0, or the status that ends the parse.
  virtual Status startFTPTransfer(CocoaInterfaceData& record) = 0;
};

// Parses one request into `record`.
// URL form (`listForm` false): `text` is what follows "KW://KW_" or "KW://SS_",
// e.g. "zWindow.setSize?windowID=0&width=400&height=300".
// List form: `text` is the whole "[object,command,argument,...]" text.
// `synchronous` marks an ExternalInterface call (XML replies); it also sets the
// record's `synchronous` flag.
// Answers kStatusRunCommand (7089) when the command is to be run,
// kStatusBadParameter (-202) for a missing or malformed URL-form parameter,
// kStatusUnknownCommand (-151) for an unknown name, or the FTP start's status.
// A null record is left alone and answers kStatusRunCommand.
// The text is read as a C string: it ends at its first NUL byte.
Status parseCommand(std::string_view text, CocoaInterfaceData* record, bool synchronous, bool listForm,
                    ParserServices& services);

}  // namespace kw
