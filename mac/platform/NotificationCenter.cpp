// The notification centre: synchronous, registration-ordered delivery of named
// notifications; safe against observers changing during a post.
#include "mac/platform/NotificationCenter.h"

#include <utility>
#include <vector>

namespace kw {

NotificationCenter::ObserverId NotificationCenter::addObserver(std::string_view name, Handler handler) {
  if (!handler) return 0;
  const ObserverId id = nextId_++;
  observers_.emplace(id, Observer{std::string(name), std::make_shared<Handler>(std::move(handler))});
  return id;
}

void NotificationCenter::removeObserver(ObserverId observer) { observers_.erase(observer); }

void NotificationCenter::post(std::string_view name, const std::any& object) {
  // Ids grow with registration, so the map's order is registration order.
  std::vector<ObserverId> recipients;
  for (const auto& [id, observer] : observers_) {
    if (observer.name == name) recipients.push_back(id);
  }
  for (const ObserverId id : recipients) {
    const auto found = observers_.find(id);
    if (found == observers_.end()) continue;  // removed by an earlier handler
    const std::shared_ptr<Handler> handler = found->second.handler;
    (*handler)(object);
  }
}

}  // namespace kw
