// Guessing a content type from the first bytes of a document.
#pragma once

#include <optional>
#include <string_view>

#include "mac/net/TextEncoding.h"

namespace kw {

// RSS or Atom feeds: looks at each "<" among the first 1,024 bytes minus 6.
// "<rss" gives "application/rss+xml", "<feed" "application/atom+xml", "<rdf"
// begins an RDF document in which a later "<channel" gives
// "application/rss+xml"; "<?" and "<!" are passed over; before "<rdf" any
// other tag gives none. Tags are compared ignoring ASCII case and only where
// the buffer holds the whole tag text.
std::optional<std::string_view> guessedMIMETypeForXML(ByteSpan bytes);

// The feed guess, then HTML markers ("<html>", "<a ", "<script", "<title>"
// at a "<", or "text/html" anywhere near the start), vCard and iCalendar
// headers, plain text (tab, LF, CR and 32-126 only; also the empty buffer),
// and JPEG (FF D8 FF E0). None when nothing fits.
std::optional<std::string_view> guessedMIMEType(ByteSpan bytes);

}  // namespace kw
