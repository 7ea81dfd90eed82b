#pragma once
// The rich-text line rasteriser: one line of the document held by the rich-text engine becomes a
// strip with margins, keeping the line's own fonts and colours, with the crawl's shadow and
// contour around it. The engine draws at several times the final size; scaling down, shadow,
// contour and composing are the raster engine's, as for plain text (TextRender.h).
#include "composition/TextRender.h"
#include "platform/RichEdit.h"

#include <memory>

namespace qv {

// Renders line Line of Engine's document at Factor times its size (1..16). None when the line
// does not exist or holds only blanks. Otherwise the strip (pieces of PieceWidth), Dx and Dy its
// margins around the text, Descent and Ascent the largest font descent and ascent of the line's
// characters; the line's baseline lies Dy + Ascent below the strip's top. Throws std::length_error
// for a line wider than kMaxStripWidth or taller than a bitmap may be.
// The caller holds the composition's richEditSection.
std::unique_ptr<TTextStrip> RenderRichTextLine(const TRichEdit& Engine, int Line, const TShadowStyle& Shadow,
                                               const TContourStyle& Contour, int Factor, int& Dx, int& Dy,
                                               int& Descent, int& Ascent, int PieceWidth = kStripPieceWidth);

}  // namespace qv
