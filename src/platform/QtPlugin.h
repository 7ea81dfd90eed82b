#pragma once
// The Qt implementations of the platform's interfaces as a plug-in (qv_qt_plugin.so), for
// programs that start Qt only when a page first needs it: qvrender renders a page of pictures,
// answers --help or lists a crawl's items without loading Qt Gui and the libraries behind it.
// The table holds C++ objects, so the plug-in and the program come from the same build (the ABI
// number guards against another).
#include "platform/Canvas.h"
#include "platform/RichEdit.h"
#include "platform/TextRenderer.h"

namespace qv {

struct TQtPlugin {
  int abi;  // QV_QT_ABI
  // The text renderer and the rich-text engine start the QGuiApplication: make the first on the
  // main thread. The caller owns what they return.
  TTextRenderer* (*MakeTextRenderer)();
  TRichEdit* (*MakeRichEdit)();
  TCanvasFactory* (*MakeCanvasFactory)();
};

}  // namespace qv

#define QV_QT_ABI 1
#define QV_QT_ENTRY "qv_qt_plugin"
