#pragma once
// One page of the server: a composition of its own (its own registry, undo engine, clocks and
// rich-text engine, so pages load and draw on different threads sharing nothing mutable but the
// text renderer, which is made for that) loaded from a rundown row's template with the row's
// field values set. A page is cued (loaded, its preview drawn) on the worker and then handed to
// the playout, which alone draws it from then on.
#include "composition/QvSystem.h"
#include "platform/Clock.h"
#include "raster/Bitmap.h"
#include "serve/SafePath.h"
#include "video/FrameRenderer.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qv {
class TRichEdit;
class TTextRenderer;
}  // namespace qv

namespace qv::serve {

using TFieldList = std::vector<std::pair<std::string, std::string>>;

// What every page is made with.
struct TPageTools {
  // Glyphs of text, clock and crawl layers; shared by all pages and used from several threads.
  const TTextRenderer* Text = nullptr;
  // Makes a page's own rich-text engine (crawls of RTF files); none: such crawls show nothing.
  std::function<std::unique_ptr<TRichEdit>()> MakeRichEdit;
  // The time of day clock layers show at a page's frame 0 (moving 40 ms a frame); none: the
  // machine's own time.
  std::optional<TTimeOfDay> Time;
};

// Why setting the field Name to Value on Page (a page loaded from the template) would fail: not
// a metadata slot nor a layer's property, a value the property refuses, a file outside Guard's
// folder. Empty when it would not.
// Outside is set when the problem is a file outside the folder.
std::string FieldProblem(const TQVSystem& Page, const std::string& Name, const std::string& Value,
                         const TFolderGuard& Guard, bool* Outside = nullptr);

class TServePage {
 public:
  explicit TServePage(const TPageTools& Tools);
  ~TServePage();
  TServePage(const TServePage&) = delete;
  TServePage& operator=(const TServePage&) = delete;

  // Loads File and sets Fields on it (files they name are taken inside Guard's folder). Throws
  // std::runtime_error saying what failed: the template, or each field that cannot be set.
  // Pictures that cannot be loaded do not fail it; they are in Warnings.
  void Load(const std::filesystem::path& File, const TFieldList& Fields, const TFolderGuard& Guard);

  // The frame the preview shows: the page once its intro has played (the last key of its tracks
  // that do not repeat, or the end of its sequences' intros), at most 10 seconds in.
  int PreviewFrame() const;
  // Draws the preview frame, then puts the page back at its start (its intro plays from the
  // first frame when it is taken). The picture is the page's work image until the next Compose.
  const TmemoryBitmap& Preview();

  // Frame (counted from the take) into the page's work image: the page moves on to it. The
  // picture blends onto another at full strength (its factor is 255).
  const TmemoryBitmap& Compose(int Frame);
  // Moves the page on to Frame without drawing it (a page made anew to replace one on air).
  void AdvanceTo(int Frame) { fFrames->AdvanceTo(Frame); }
  // The page is being taken off air at Frame: its sequences play their outros from there.
  // Answers the number of frames the longest one takes (0: the page has none to play).
  int StartOutro(int Frame);

  TQVSystem& Sys() { return *fSys; }
  const std::vector<std::string>& Warnings() const { return fWarnings; }

 private:
  void Rewind();

  TPageTools fTools;
  TManualTickSource fTicks;
  std::unique_ptr<TFixedTimeOfDay> fFixedTime;
  TSystemTimeOfDay fSystemTime;
  std::unique_ptr<TRichEdit> fRichEdit;
  std::unique_ptr<TQVSystem> fSys;
  std::unique_ptr<video::TFrameRenderer> fFrames;
  std::vector<std::string> fWarnings;
};

}  // namespace qv::serve
