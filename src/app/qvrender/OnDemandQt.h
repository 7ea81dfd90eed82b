#pragma once
// The Qt text engines, made when a layer first draws text, from the Qt plug-in
// (platform/QtPlugin.h): a page of pictures renders, and --help, items and resave answer, without
// loading Qt Gui and the libraries behind it, nor starting Qt's application, its platform plug-in
// and fontconfig, which cost most of a short run's start-up. Qt's application must be made on the
// main thread: text, clock and crawl layers first draw when they are made (their default text, a
// crawl's placeholder), which is on the main thread where pages load there; where pages load on
// workers, Start runs first on the main thread.
#include "platform/Canvas.h"
#include "platform/RichEdit.h"
#include "platform/TextRenderer.h"

#include <memory>
#include <mutex>

namespace qv {
struct TQtPlugin;
}

namespace qv::render {

// The Qt plug-in (qv_qt_plugin.so, found next to the executable, in ../lib/qv beside it, or where
// the build put it); throws std::runtime_error when there is none.
const TQtPlugin& QtPlugin();

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
  const TTextRenderer& Renderer() const;
  mutable std::once_flag fMade;
  mutable std::unique_ptr<TTextRenderer> fRenderer;
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
  TRichEdit& Engine() const;
  mutable std::once_flag fMade;
  mutable std::unique_ptr<TRichEdit> fEngine;
};

class TOnDemandCanvasFactory final : public TCanvasFactory {
 public:
  std::unique_ptr<TCanvas> Open(std::uint8_t* Bits, int Width, int Height) override;

 private:
  std::once_flag fMade;
  std::unique_ptr<TCanvasFactory> fFactory;
};

}  // namespace qv::render
