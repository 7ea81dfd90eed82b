#pragma once
// The canvas on Qt: a QPainter on a QImage that wraps the caller's pixels without copying them.
#include "platform/Canvas.h"

namespace qv {

// Makes sure a QGuiApplication exists (fonts need one): creates it on the first call, with the
// "offscreen" platform unless QT_QPA_PLATFORM says otherwise. Call it from the main thread before
// any text is drawn; later calls do nothing. The application lives until the process ends.
void EnsureGuiApplication();

class TQtCanvasFactory final : public TCanvasFactory {
 public:
  std::unique_ptr<TCanvas> Open(std::uint8_t* Bits, int Width, int Height) override;
};

}  // namespace qv
