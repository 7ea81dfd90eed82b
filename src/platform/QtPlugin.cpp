// The plug-in's entry: the Qt text renderer, rich-text engine and canvas of this folder.
#include "platform/QtPlugin.h"

#include "platform/QtCanvas.h"
#include "platform/QtRichEdit.h"
#include "platform/QtTextRenderer.h"

namespace {

qv::TTextRenderer* MakeTextRenderer() { return new qv::TQtTextRenderer(); }
qv::TRichEdit* MakeRichEdit() { return new qv::TQtRichEdit(); }
qv::TCanvasFactory* MakeCanvasFactory() { return new qv::TQtCanvasFactory(); }

const qv::TQtPlugin kPlugin = {QV_QT_ABI, MakeTextRenderer, MakeRichEdit, MakeCanvasFactory};

}  // namespace

extern "C" __attribute__((visibility("default"))) const void* qv_qt_plugin(void) { return &kPlugin; }
