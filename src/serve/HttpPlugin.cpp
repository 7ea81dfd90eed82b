#include "serve/HttpPlugin.h"

#include "base/Plugin.h"

#include <stdexcept>

#ifndef QV_HTTP_PLUGIN_BUILT
#define QV_HTTP_PLUGIN_BUILT ""
#endif

namespace qv::serve {

const TQvHttpPlugin& HttpPlugin() {
  static TPluginSlot slot{"qv_http_plugin.so", QV_HTTP_ENTRY, QV_HTTP_PLUGIN_BUILT, QV_HTTP_ABI};
  const auto* p = static_cast<const TQvHttpPlugin*>(slot.Table());
  if (p == nullptr)
    throw std::runtime_error(std::string("serving needs the plug-in ") + slot.File() +
                             " (cpp-httplib), which is missing or cannot be loaded");
  return *p;
}

}  // namespace qv::serve
