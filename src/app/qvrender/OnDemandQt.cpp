#include "app/qvrender/OnDemandQt.h"

#include "base/Plugin.h"
#include "platform/QtPlugin.h"

#include <stdexcept>
#include <string>

namespace qv::render {

namespace {

#ifndef QV_QT_PLUGIN_BUILT
#define QV_QT_PLUGIN_BUILT ""
#endif

TPluginSlot& Slot() {
  static TPluginSlot slot{"qv_qt_plugin.so", QV_QT_ENTRY, QV_QT_PLUGIN_BUILT, QV_QT_ABI};
  return slot;
}

}  // namespace

const TQtPlugin& QtPlugin() {
  const auto* p = static_cast<const TQtPlugin*>(Slot().Table());
  if (p == nullptr)
    throw std::runtime_error(std::string("text needs the plug-in ") + Slot().File() +
                             " (Qt), which is missing or cannot be loaded");
  return *p;
}

const TTextRenderer& TOnDemandTextRenderer::Renderer() const {
  std::call_once(fMade, [this] { fRenderer.reset(QtPlugin().MakeTextRenderer()); });
  return *fRenderer;
}

TRichEdit& TOnDemandRichEdit::Engine() const {
  std::call_once(fMade, [this] { fEngine.reset(QtPlugin().MakeRichEdit()); });
  return *fEngine;
}

std::unique_ptr<TCanvas> TOnDemandCanvasFactory::Open(std::uint8_t* bits, int w, int h) {
  std::call_once(fMade, [this] { fFactory.reset(QtPlugin().MakeCanvasFactory()); });
  return fFactory->Open(bits, w, h);
}

}  // namespace qv::render
