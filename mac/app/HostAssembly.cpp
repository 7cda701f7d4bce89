// Assembles the plug-in host and its services.
#include "mac/app/HostAssembly.h"

#include "mac/app/playerSettings.h"
#include "mac/platform/Bundle.h"
#include "mac/pluginhost/EventConverter.h"

namespace kw {

namespace {

std::optional<std::string> stringSetting(std::string_view key) {
  const std::optional<PlistValue> value = playerSettings::loadSetting(key);
  const std::string* text = value ? value->asString() : nullptr;
  return text ? std::optional<std::string>(*text) : std::nullopt;
}

CocoaUrlLoader::Settings urlLoadingSettings(const std::filesystem::path& bundlePath) {
  CocoaUrlLoader::Settings settings;
  std::string identifier;
  if (!bundlePath.empty()) {
    settings.resourcesFolder = bundlePath / "Contents" / "Resources";
    if (const std::optional<Bundle> bundle = Bundle::open(bundlePath)) {
      identifier = bundle->infoString("CFBundleIdentifier").value_or("");
    }
  }
  settings.cacheFolder = UrlCache::defaultFolder(identifier);
  settings.credentials = []() -> std::optional<UrlCredential> {
    std::optional<std::string> user = stringSetting("httpUser");
    if (!user) return std::nullopt;
    return UrlCredential{std::move(*user), stringSetting("httpPassword").value_or("")};
  };
  return settings;
}

}  // namespace

MousePoint DesktopMouseLocator::currentMousePosition() {
  const QDPoint point = EventConverter::convertToPoint(DesktopInput::current().mouseLocation());
  return {point.h, point.v};
}

HostAssembly::HostAssembly(const Options& options)
    : runLoop(options.clock),
      application(options.applicationBundle),
      runner(options.mouse ? *options.mouse : desktopMouse),
      urlLoading(curl, urlLoadingSettings(options.applicationBundle)) {
  HostServices services;
  services.runLoop = &runLoop;
  services.notifications = &notifications;
  services.alerts = &alerts;
  services.workspace = &workspace;
  services.application = &application;
  services.registry = &registry;
  services.commands = options.commands ? options.commands : &runner;
  services.urlLoader = options.urlLoader ? options.urlLoader : &urlLoading;
  services.closer = options.closer;
  host_ = std::make_unique<PluginHost>(services);
}

ApplicationServices ApplicationParts::applicationServices() const {
  ApplicationServices services;
  services.desktop = &desktop;
  services.runLoop = &assembly.runLoop;
  services.notifications = &assembly.notifications;
  services.host = &assembly.host();
  services.application = application;
  services.arguments = arguments;
  return services;
}

WindowServices ApplicationParts::windowServices() const {
  WindowServices services;
  static_cast<ApplicationServices&>(services) = applicationServices();
  services.caching = &assembly.registry;
  services.defaults = defaults;
  services.closer = assembly.services().closer;
  return services;
}

FamilyServices ApplicationParts::familyServices() const {
  FamilyServices services;
  static_cast<ApplicationServices&>(services) = applicationServices();
  services.defaults = defaults;
  services.workspace = assembly.services().workspace;
  return services;
}

WebWindowServices ApplicationParts::webWindowServices() const {
  WebWindowServices services;
  static_cast<ApplicationServices&>(services) = applicationServices();
  services.caching = &assembly.registry;
  return services;
}

}  // namespace kw
