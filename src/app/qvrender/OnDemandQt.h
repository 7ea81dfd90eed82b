#pragma once
// The Qt text engines, made when a layer first draws text: a page of pictures renders without
// starting Qt's application, its platform plug-in and fontconfig, which cost most of a short
// run's start-up. Qt's application must be made on the main thread: text, clock and crawl layers
// first draw when they are made (their default text, a crawl's placeholder), which is on the main
// thread where pages load there; where pages load on workers, Start runs first on the main thread.
#include "platform/QtRichEdit.h"
#include "platform/QtTextRenderer.h"

#include <memory>
#include <mutex>

namespace qv::render {

class TOnDemandTextRenderer final : public TTextRenderer {
 public:
  TTextExtent Measure(std::string_view Text, const TFontSpec& Font) const override {
    return Renderer().Measure(Text, Font);
  }
  void Draw(std::string_view Text, const TFontSpec& Font, TReadingOrder Order, int BoxWidth,
            const TTextSurface& Surface) const override {
    Renderer().Draw(Text, Font, Order, BoxWidth, Surface);
  }
  // Makes the engine now, on the calling thread.
  void Start() const { Renderer(); }

 private:
  const TQtTextRenderer& Renderer() const {
    std::call_once(fMade, [this] { fRenderer = std::make_unique<TQtTextRenderer>(); });
    return *fRenderer;
  }
  mutable std::once_flag fMade;
  mutable std::unique_ptr<TQtTextRenderer> fRenderer;
};

// Used only under the composition's lock, like the engine itself.
class TOnDemandRichEdit final : public TRichEdit {
 public:
  void Load(const TRichDocument& Document) override { Engine().Load(Document); }
  int LineCount() const override { return Engine().LineCount(); }
  int LineStart(int Line) const override { return Engine().LineStart(Line); }
  int LineLength(int Line) const override { return Engine().LineLength(Line); }
  std::string Text(int Start, int Length) const override { return Engine().Text(Start, Length); }
  TRichFontMetrics CharMetrics(int Index) const override { return Engine().CharMetrics(Index); }
  int RangeHeight(int Start, int Length) const override { return Engine().RangeHeight(Start, Length); }
  int RangeWidth(int Start, int Length) const override { return Engine().RangeWidth(Start, Length); }
  void Render(int Start, int Length, int Scale, const TTextSurface& Surface) const override {
    Engine().Render(Start, Length, Scale, Surface);
  }

 private:
  TQtRichEdit& Engine() const {
    std::call_once(fMade, [this] { fEngine = std::make_unique<TQtRichEdit>(); });
    return *fEngine;
  }
  mutable std::once_flag fMade;
  mutable std::unique_ptr<TQtRichEdit> fEngine;
};

}  // namespace qv::render
