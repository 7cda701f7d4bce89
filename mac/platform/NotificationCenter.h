// The default notification centre: named notifications posted with an object
// and delivered synchronously, in registration order, to every observer of
// that name. Holds the names the system's registries talk through.
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace kw {

namespace notification {
inline constexpr std::string_view kAddNsPluginToList = "addNsPluginToList";
inline constexpr std::string_view kRemoveNsPluginFromList = "removeNsPluginFromList";
inline constexpr std::string_view kAddWindowToList = "addWindowToList";
inline constexpr std::string_view kRemoveWindowFromList = "removeWindowFromList";
inline constexpr std::string_view kAddWebWindowToList = "addWebWindowToList";
inline constexpr std::string_view kRemoveWebWindowFromList = "removeWebWindowFromList";
inline constexpr std::string_view kEnteringText = "enteringText";
}  // namespace notification

class NotificationCenter {
 public:
  using ObserverId = uint64_t;
  // The object concerned: for the plug-in registry a FlashPlugin*, for the
  // window registries the window object's pointer.
  using Handler = std::function<void(const std::any& object)>;

  // Answers the new observer's id (never 0); an empty handler registers
  // nothing and answers 0.
  ObserverId addObserver(std::string_view name, Handler handler);
  // Removing an unknown or already removed observer does nothing.
  void removeObserver(ObserverId observer);
  // Delivers to the observers registered when the post begins; an observer
  // removed during the post is not called afterwards. Handlers may add and
  // remove observers (themselves included) and post again.
  void post(std::string_view name, const std::any& object = {});

 private:
  struct Observer {
    std::string name;
    // Shared so that a handler that removes itself keeps running, and its
    // captured state is the one stored, never a copy.
    std::shared_ptr<Handler> handler;
  };
  std::map<ObserverId, Observer> observers_;
  ObserverId nextId_ = 1;
};

}  // namespace kw
