#pragma once
// The text renderer on Qt Gui: QFont and QTextLayout shape and order the text (Arabic joins,
// right-to-left runs, fallback fonts for characters the chosen face lacks), and each glyph's
// outline is filled antialiased where the layout puts it. Works headless
// (QT_QPA_PLATFORM=offscreen) and from several threads at once, each on its own surface.
#include "platform/TextRenderer.h"

#include <memory>

namespace qv {

class TQtTextRenderer final : public TTextRenderer {
 public:
  // Creates the QGuiApplication if there is none yet (EnsureGuiApplication) and supplies faces
  // that pages name but fontconfig does not know: "Tahoma" from Wine's font files, which keep the
  // original's widths, or else drawn as "DejaVu Sans". Construct it on the main thread, before
  // any other thread draws text.
  TQtTextRenderer();
  ~TQtTextRenderer() override;
  TQtTextRenderer(const TQtTextRenderer&) = delete;
  TQtTextRenderer& operator=(const TQtTextRenderer&) = delete;

  TTextExtent Measure(std::string_view Text, const TFontSpec& Font) const override;
  void Draw(std::string_view Text, const TFontSpec& Font, TReadingOrder Order, int BoxWidth,
            const TTextSurface& Surface) const override;

  // How many glyphs of Text no installed font could supply (they would show as empty boxes);
  // 0 when every character found a font.
  int MissingGlyphs(std::string_view Text, const TFontSpec& Font) const;
  // The family Qt actually uses for Font's face (after substitution and matching).
  std::string ResolvedFamily(const TFontSpec& Font) const;

 private:
  // The glyphs drawn so far, by face, glyph and sub-pixel offset, shared by every thread that
  // draws through this renderer.
  struct TGlyphCache;
  std::unique_ptr<TGlyphCache> fGlyphs;
};

// The pixel size of a font of PointSize points at 96 pixels per inch (rounded to nearest).
int PointsToPixels(int PointSize);

}  // namespace qv
