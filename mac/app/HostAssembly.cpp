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

}  // namespace kw
