#pragma once
// What a composition reaches its services through: text rendering, the rich-text engine, the
// clocks, the overlay canvas, the animation registry and the undo engine. One struct, given when
// the composition is made; the composition and its layers read these and nothing process-wide.
// None of them is owned, so each must outlive the composition (and the crawl workers it runs).
#include "platform/Canvas.h"
#include "platform/Clock.h"

namespace qv {

class TAnimationManager;  // animation/AnimationManager.h
class TUndoEngine;        // model/UndoEngine.h
class TTextRenderer;      // platform/TextRenderer.h
class TRichEdit;      // platform/RichEdit.h

struct TCompositionContext {
  // Glyphs of text, clock and crawl layers. None: a program that only reads and writes projects;
  // text layers then keep the size they have and show nothing.
  const TTextRenderer* TextRenderer = nullptr;
  // The shared rich-text engine that lays out crawls of RTF files. None: such crawls show nothing.
  TRichEdit* RichEdit = nullptr;
  // The millisecond tick count (the pause that restarts the frame, retry pauses). None: the
  // machine's monotonic clock.
  TTickSource* Ticks = nullptr;
  // The time of day clock layers show. None: the machine's local time.
  TTimeOfDaySource* TimeOfDay = nullptr;
  // Opens a canvas for the editing overlay. None: no overlay is drawn.
  TCanvasFactory* Canvases = nullptr;
  // The tracks of the page's properties. None: the composition keeps a registry of its own.
  TAnimationManager* Animations = nullptr;
  // Where the grid's gestures on the page's properties are recorded. None: the composition keeps
  // an engine of its own (of the standard 20 elements).
  TUndoEngine* Undo = nullptr;
};

}  // namespace qv
