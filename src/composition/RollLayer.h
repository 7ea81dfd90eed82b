#pragma once
// The crawl: a text file (plain text or RTF) whose non-blank lines become rendered strips that
// scroll one after another across the layer, a gap and an optional separator picture between
// them, until all have passed; then the file is read again and the crawl starts over. Rendering a
// file takes long, so it runs on a worker thread (TRollThread) and the drawing thread picks the
// finished strips up. Each frame is drawn as two fields, even and odd rows of the composition,
// each at its own scroll position.
#include "composition/QvSystem.h"
#include "composition/TextRender.h"
#include "composition/TextRenderStyle.h"
#include "crawlinput/CrawlFile.h"
#include "raster/StreamBitmaps.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qv {

class TRollLayer;
class TRichEdit;

// The text "Select Text File From Object Editor ..." a crawl shows while it has no file.
extern const char* const kRollPlaceholder;

// Where one item of the crawl is drawn in a field: a strip (Strip >= 0) or the separator
// (Strip == -1), its left and top edge in the layer's work image.
struct TCrawlPlacement {
  int Strip = 0;
  std::int64_t X = 0;
  int Y = 0;
  friend bool operator==(const TCrawlPlacement&, const TCrawlPlacement&) = default;
};

// What the layout of one field depends on.
struct TCrawlGeometry {
  std::int64_t Pos = 0;       // scroll position, composition x
  int X = 0;                  // the layer's left edge
  int Width = 0;              // the work image's width
  int Height = 0;             // the layer's height
  int DY = 0;                 // the strips' vertical margin
  int Maxdescent = 0;         // of the last RTF file's lines
  int Space = 0;              // TextSpace
  int SeparatorWidth = 0;     // 0: no separator (one narrower than 9 pixels is never drawn)
  int SeparatorPosition = 0;  // its top in the layer
  TTextDirection Scroll = tdLefttoRight;
};

// Lays the strips (widths and vertical references Tag2) of one field out from G.Pos; Out receives
// the items that meet the layer, in order. Returns whether the whole crawl has passed (the far
// end of the last item has left the layer); never with no strips.
bool LayOutCrawlField(const TCrawlGeometry& G, const std::vector<std::unique_ptr<TTextStrip>>& Strips,
                      std::vector<TCrawlPlacement>& Out);

// The worker that renders a crawl's files, one thread per layer for the layer's lifetime (the
// platform's text engine keeps its font caches per thread, so a thread that stays renders each
// file warm). Each render works on a copy of what it needs, taken on the drawing thread when the
// render is asked for, and leaves its results in the layer's `waiting` and result fields, which
// the drawing thread reads only after it has seen `refreshready` set or `inrefresh` cleared. A
// render gives up early (between lines) when its layer is being destroyed.
class TRollThread {
 public:
  explicit TRollThread(TRollLayer& Aowner);
  ~TRollThread();  // stops and joins
  TRollThread(const TRollThread&) = delete;
  TRollThread& operator=(const TRollThread&) = delete;

  // Starts a render of the owner's job; the owner has set inrefresh first.
  void Start();
  // Waits until the owner's inrefresh is clear (the render has ended).
  void Wait();

 private:
  void Run();
  // Renders the file into the owner's `waiting` (on the worker thread).
  void Execute();

  TRollLayer& fowner;
  std::mutex fMutex;
  std::condition_variable fWake;
  std::condition_variable fDone;
  bool fPending = false;
  bool fStop = false;
  std::thread fThread;
};

class TRollLayer : public TLayer {
  QV_CONTAINER(TRollLayer, TLayer)
  friend class TRollThread;

 public:
  // Stops the worker and waits for it before anything of the layer goes.
  ~TRollLayer() override;

  std::int32_t Pos = -1;                               // scroll position in composition x
  std::vector<std::unique_ptr<TTextStrip>> working;    // the strips shown, in file order
  std::vector<std::unique_ptr<TTextStrip>> waiting;    // rendered by the worker, not yet shown
  std::unique_ptr<TmemoryBitmap> workdib;              // Width x Height, cleared at every drawing
  std::unique_ptr<TStreamedBitmap> Bitmap;             // the separator, colours weighted by alpha
  std::int32_t sepWidth = 0;
  std::int32_t sepHeight = 0;
  std::atomic<bool> refreshList{true};    // a (re)render of the file is requested
  std::atomic<bool> inrefresh{false};     // a worker is rendering
  std::atomic<bool> refreshready{false};  // the worker has finished; `waiting` holds the strips
  std::unique_ptr<TmemoryBitmap> Image;   // the placeholder shown while no file is set
  std::int32_t Dx = 0;  // margins of the strips
  std::int32_t DY = 0;
  std::int32_t Maxdescent = 0;  // largest font descent and ascent over the last RTF file's lines
  std::int32_t MaxAscent = 0;

  // Picks up a finished render (or starts one, and then nothing shows this frame), lays out the
  // frame's two fields and scrolls the crawl on by Speed for each.
  void Advance(double frame) override;
  // The placeholder while no file is set; otherwise the two fields the last Advance laid out.
  void DrawLayer(TmemoryBitmap& Dest, double frame) override;
  // Reloads the separator, puts the crawl at its start and asks for the file to be rendered.
  void CloseObject() override;

  // For tools that need repeatable frames: starts the render a frame would start now (whatever
  // the retry pause) and waits for it, so the next Advance shows the strips.
  void PrepareStrips();
  // PrepareStrips without the waiting: WaitForWorker then takes the strips in. A render asked
  // for before the latest change is waited for first.
  void StartStrips();
  // Waits for a running worker and takes its result in as the next Advance would.
  void WaitForWorker();
  // Puts the crawl back at its start with the strips it holds, as PrepareStrips leaves a crawl
  // just loaded (a batch's next page), sparing the render. Answers false, changing nothing, when
  // those strips are not the ones its file and looks give now: a render is asked for (its looks
  // changed, or it passed its end and reads its file again) or under way.
  bool Rewind();
  // Whether a worker is running.
  bool Rendering() const { return inrefresh.load(std::memory_order_acquire); }

  // The width of strips' pieces the worker renders (a tool may make them small to test the
  // seams); kStripPieceWidth by default.
  int StripPieceWidth = kStripPieceWidth;
  // How long a file that could not be read waits before it is tried again.
  static constexpr std::uint32_t kRetryMs = 1000;
  // How many renders were started (for tests of the retry rules).
  std::uint64_t WorkersStarted() const { return fWorkersStarted; }

  const std::string& TextFile() const { return ftextfile->Value(); }
  std::int32_t Speed() const { return fspeed->Value(); }
  std::int32_t TextSpace() const { return fspace->Value(); }
  const std::string& SeparatorImage() const { return ffilename->Value(); }
  std::int32_t SeparatorPosition() const { return fseppos->Value(); }
  TTextDirection ScrollDirection() const { return fscrolldir->Value(); }
  TTextDirection TextDirection() const { return fdir->Value(); }
  void SetTextFile(const std::string& v) { ftextfile->SetValue(v); }
  void SetSpeed(std::int32_t v) { fspeed->SetValue(v); }
  void SetTextSpace(std::int32_t v) { fspace->SetValue(v); }
  void SetSeparatorImage(const std::string& v) { ffilename->SetValue(v); }
  void SetSeparatorPosition(std::int32_t v) { fseppos->SetValue(v); }
  void SetScrollDirection(TTextDirection v) { fscrolldir->SetValue(v); }
  void SetTextDirection(TTextDirection v) { fdir->SetValue(v); }

  TTextFile& TextFileProperty() const { return *ftextfile; }
  TMinMaxInteger& SpeedProperty() const { return *fspeed; }
  TInteger& TextSpaceProperty() const { return *fspace; }
  TImageFileName& SeparatorImageProperty() const { return *ffilename; }
  TMinMaxInteger& SeparatorPositionProperty() const { return *fseppos; }
  TEnum<TTextDirection>& ScrollDirectionProperty() const { return *fscrolldir; }
  TEnum<TTextDirection>& TextDirectionProperty() const { return *fdir; }
  TTextFont& Font() const { return *ffont; }
  TShadow& Shadow() const { return *fshadow; }
  TContour& Contour() const { return *fcontour; }

 protected:
  explicit TRollLayer(TQVSystem* Aowner) : TLayer(Aowner) {}
  void AfterConstruction() override;

 private:
  // Everything but the file's bytes that decides a render's strips.
  struct TLooks {
    std::string FileName;  // resolved
    bool Rich = false;
    TTextImageParams Plain;  // the style of plain-text lines (Text set per line)
    const TTextRenderer* Renderer = nullptr;
    TRichEdit* Engine = nullptr;
    int PieceWidth = kStripPieceWidth;
    friend bool operator==(const TLooks&, const TLooks&) = default;
  };
  // What a worker renders from: copied on the drawing thread when it starts.
  struct TJob {
    TLooks Looks;
    std::mutex* Section = nullptr;
    // The strips shown were rendered with these looks from ShownBytes: a file that still holds
    // them is not rendered again.
    bool CanKeep = false;
    std::string ShownBytes;
  };
  // What it hands back besides `waiting`.
  struct TResult {
    bool Failed = false;
    std::string Error;
    bool Kept = false;  // the file had not changed: `waiting` is empty and the strips shown stay
    std::string Bytes;  // the file read
    bool Rich = false;
    int Dx = 0, DY = 0, Maxdescent = 0, MaxAscent = 0;
    int Height = -1;  // -1: leave the layer's height
  };

  void Restyle();
  void LoadSeparator();
  std::int32_t StartPos() const;
  bool RetryDue() const;
  void StartWorker();
  // Notes the end of a render that failed (reported once, tried again later).
  void ReapWorker();
  // Moves `waiting` into `working` and applies the worker's results.
  void TakeStrips();

  TTextFont* ffont = nullptr;
  TShadow* fshadow = nullptr;
  TContour* fcontour = nullptr;
  TEnum<TTextDirection>* fdir = nullptr;
  TTextFile* ftextfile = nullptr;
  TMinMaxInteger* fspeed = nullptr;
  TInteger* fspace = nullptr;
  TImageFileName* ffilename = nullptr;
  TMinMaxInteger* fseppos = nullptr;
  TEnum<TTextDirection>* fscrolldir = nullptr;

  TJob fJob;
  TResult fResult;
  // What the strips in `working` were rendered from, and the results that came with them: a
  // crawl that passed its end reads its file again, and only a file or looks that changed are
  // rendered again (the same strips, not a new set of the same pictures, on air for hours).
  bool fShownValid = false;
  TLooks fShownLooks;
  TResult fShownResult;
  std::atomic<bool> fCancel{false};
  std::unique_ptr<TRollThread> fWorker;  // made at the first render
  bool fRunning = false;                 // a render was started and its end not yet noted
  std::uint64_t fWorkersStarted = 0;
  bool fRetryPending = false;      // the next render waits until fRetryTick
  std::uint32_t fRetryTick = 0;
  std::string fReported;           // the last problem reported (each is reported once)
  // What the last Advance laid out for DrawLayer: each field's rows (0 even, 1 odd) and items,
  // and where the layer stood.
  struct TField {
    int Row = 0;
    std::vector<TCrawlPlacement> Placements;  // reused every frame
  };
  TField fFields[2];
  int fFrameX = 0;
  int fFrameY = 0;
  bool fFrameReady = false;  // a frame is laid out and its strips are in `working`
};

// PrepareStrips for several crawls, their renders side by side: every one started, then each
// waited for.
void PrepareStrips(const std::vector<TRollLayer*>& Crawls);

}  // namespace qv
