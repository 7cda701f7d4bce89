// The URL loader used until real URL loading exists: every request it is given
// is answered "not found" through the plug-in's own stream calls.
#pragma once

#include <cstdint>
#include <memory>

#include "mac/pluginhost/HostInterfaces.h"

namespace kw {

// GET: when the request carries notify data, NPP_URLNotify tells the plug-in
// the URL ended with NPRES_NETWORK_ERR; the answer is NPERR_FILE_NOT_FOUND.
// POST: the stream that NPN_PostURLNotify already opened is destroyed with
// NPRES_NETWORK_ERR, the notify data (if any) gets NPP_URLNotify with
// NPRES_NETWORK_ERR, and the answer is NPERR_FILE_NOT_FOUND.
// A record that is not live, or whose instance is gone, is answered
// NPERR_INVALID_INSTANCE_ERROR without calling the plug-in.
class NotFoundUrlLoader : public UrlLoader {
 public:
  NPError getURL(const std::shared_ptr<StreamData>& record) override;
  NPError postURL(const std::shared_ptr<StreamData>& record, const char* buffer, uint32_t length, bool isFile,
                  bool allowHeaders) override;

  // How many requests were answered "not found".
  int answered = 0;
};

}  // namespace kw
