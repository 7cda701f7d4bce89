// Assembles the plug-in host and its services.
#include "mac/app/HostAssembly.h"

#include "mac/pluginhost/EventConverter.h"

namespace kw {

MousePoint DesktopMouseLocator::currentMousePosition() {
  const QDPoint point = EventConverter::convertToPoint(DesktopInput::current().mouseLocation());
  return {point.h, point.v};
}

HostAssembly::HostAssembly(const Options& options)
    : runLoop(options.clock),
      application(options.applicationBundle),
      runner(options.mouse ? *options.mouse : desktopMouse) {
  HostServices services;
  services.runLoop = &runLoop;
  services.notifications = &notifications;
  services.alerts = &alerts;
  services.workspace = &workspace;
  services.application = &application;
  services.registry = &registry;
  services.commands = options.commands ? options.commands : &runner;
  services.urlLoader = options.urlLoader ? options.urlLoader : &notFound;
  services.closer = options.closer;
  host_ = std::make_unique<PluginHost>(services);
}

WindowServices ApplicationParts::windowServices() const {
  WindowServices services;
  services.desktop = &desktop;
  services.runLoop = &assembly.runLoop;
  services.notifications = &assembly.notifications;
  services.host = &assembly.host();
  services.caching = &assembly.registry;
  services.application = application;
  services.defaults = defaults;
  services.closer = assembly.services().closer;
  services.arguments = arguments;
  return services;
}

FamilyServices ApplicationParts::familyServices() const {
  FamilyServices services;
  services.desktop = &desktop;
  services.runLoop = &assembly.runLoop;
  services.notifications = &assembly.notifications;
  services.host = &assembly.host();
  services.application = application;
  services.defaults = defaults;
  services.workspace = assembly.services().workspace;
  services.arguments = arguments;
  return services;
}

}  // namespace kw
