#include "composition/RollLayer.h"

#include "composition/FrameLoader.h"
#include "composition/RichTextRender.h"
#include "crawlinput/CrawlFile.h"
#include "crawlinput/PlainText.h"
#include "model/MathLib.h"
#include "platform/RichEdit.h"
#include "project/ProjectError.h"
#include "project/TextFile.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

namespace qv {

QV_PUBLISHED(TRollLayer,
             QV_MEMBER("Font", ffont),
             QV_MEMBER("Shadow", fshadow),
             QV_MEMBER("Contour", fcontour),
             QV_MEMBER("TextDirection", fdir),
             QV_MEMBER("TextFile", ftextfile),
             QV_MEMBER("Speed", fspeed),
             QV_MEMBER("TextSpace", fspace),
             QV_MEMBER("SeparatorImage", ffilename),
             QV_MEMBER("SeparatorPosition", fseppos),
             QV_MEMBER("ScrollDirection", fscrolldir))

const char* const kRollPlaceholder = "Select Text File From Object Editor ...";

namespace {

// Whether a line is blank (the crawl skips it).
constexpr auto& Blank = IsBlankLine;

}  // namespace

// ---- layout -------------------------------------------------------------------------------------

bool LayOutCrawlField(const TCrawlGeometry& G, const std::vector<std::unique_ptr<TTextStrip>>& Strips,
                      std::vector<TCrawlPlacement>& Out) {
  Out.clear();
  if (Strips.empty()) return false;
  const std::int64_t left = G.X;
  const std::int64_t right = std::int64_t(G.X) + G.Width;
  const bool separator = G.SeparatorWidth > 8;
  const std::int64_t space = G.Space;
  std::int64_t p = G.Pos;
  std::int64_t lastFar = 0;  // the far end of the last item laid out
  // Every strip sits on one line: its top at Height - 2 DY - Maxdescent - Tag2, which puts the
  // baselines of rich-text lines (Tag2 = ascent) on one line and plain-text strips (Tag2 = their
  // text's height) at the layer's top, in both directions.
  auto stripY = [&](const TTextStrip& s) {
    return static_cast<int>(std::clamp<std::int64_t>(std::int64_t(G.Height) - 2 * std::int64_t(G.DY) - G.Maxdescent - s.Tag2,
                                                     INT32_MIN / 2, INT32_MAX / 2));
  };
  if (G.Scroll == tdRighttoLeft) {
    // Items run leftwards from p; the crawl moves right.
    for (std::size_t i = 0; i < Strips.size(); ++i) {
      const TTextStrip& s = *Strips[i];
      if (p - s.Width <= right && p >= left) Out.push_back({static_cast<int>(i), p - s.Width - left, stripY(s)});
      lastFar = p - s.Width;
      p -= s.Width + space;
      if (separator) {
        if (p - G.SeparatorWidth <= right && p >= left) Out.push_back({-1, p - G.SeparatorWidth - left, G.SeparatorPosition});
        lastFar = p - G.SeparatorWidth;
        p -= G.SeparatorWidth + space;
      }
    }
    return lastFar >= right;
  }
  // Items run rightwards from p; the crawl moves left.
  for (std::size_t i = 0; i < Strips.size(); ++i) {
    const TTextStrip& s = *Strips[i];
    if (p <= right && p + s.Width >= left) Out.push_back({static_cast<int>(i), p - left, stripY(s)});
    lastFar = p + s.Width;
    p += s.Width + space;
    if (separator) {
      if (p <= right && p + G.SeparatorWidth >= left) Out.push_back({-1, p - left, G.SeparatorPosition});
      lastFar = p + G.SeparatorWidth;
      p += G.SeparatorWidth + space;
    }
  }
  return lastFar < left;
}

// ---- the worker ---------------------------------------------------------------------------------

TRollThread::TRollThread(TRollLayer& Aowner) : fowner(Aowner) { fThread = std::thread([this] { Run(); }); }

TRollThread::~TRollThread() {
  {
    std::lock_guard lock(fMutex);
    fStop = true;
  }
  fWake.notify_all();
  fThread.join();
}

void TRollThread::Start() {
  {
    std::lock_guard lock(fMutex);
    fPending = true;
  }
  fWake.notify_all();
}

void TRollThread::Wait() {
  std::unique_lock lock(fMutex);
  fDone.wait(lock, [this] { return !fPending && !fowner.inrefresh.load(std::memory_order_acquire); });
}

void TRollThread::Run() {
  for (;;) {
    {
      std::unique_lock lock(fMutex);
      fWake.wait(lock, [this] { return fPending || fStop; });
      if (fStop) return;
    }
    Execute();
    {
      std::lock_guard lock(fMutex);
      fPending = false;
    }
    fDone.notify_all();
  }
}

void TRollThread::Execute() {
  TRollLayer& layer = fowner;
  const TRollLayer::TJob& job = layer.fJob;
  TRollLayer::TResult& out = layer.fResult;
  out = {};
  std::vector<std::unique_ptr<TTextStrip>>& strips = layer.waiting;
  try {
    const TRollLayer::TLooks& looks = job.Looks;
    if (looks.FileName.empty()) throw std::runtime_error("no text file");
    // Read outside the lock: only the engine is shared.
    out.Bytes = looks.Rich ? ReadCrawlFileBytes(looks.FileName) : ReadWholeFile(looks.FileName, kMaxPlainTextBytes);
    if (job.CanKeep && out.Bytes == job.ShownBytes) {
      out.Kept = true;
    } else if (looks.Rich) {
      out.Rich = true;
      const TRichDocument doc = CrawlDocumentOf(looks.FileName, out.Bytes);
      if (looks.Engine == nullptr || job.Section == nullptr) {
        throw EProjectError(looks.FileName, 0, "no rich-text engine to render RTF with");
      }
      std::lock_guard lock(*job.Section);
      looks.Engine->Load(doc);
      int tallest = 0;
      for (int i = 0; i < looks.Engine->LineCount(); ++i) {
        if (layer.fCancel.load(std::memory_order_relaxed)) break;
        int dx = 0, dy = 0, descent = 0, ascent = 0;
        auto strip = RenderRichTextLine(*looks.Engine, i, looks.Plain.Shadow, looks.Plain.Contour, looks.Plain.Factor,
                                        dx, dy, descent, ascent, looks.PieceWidth);
        out.Dx = dx;
        out.DY = dy;
        if (!strip) continue;
        out.Maxdescent = std::max(out.Maxdescent, descent);
        out.MaxAscent = std::max(out.MaxAscent, ascent);
        tallest = std::max(tallest, strip->Height);
        strips.push_back(std::move(strip));
      }
      out.Height = std::max(out.Maxdescent + out.MaxAscent + 2 * out.DY, tallest);
    } else {
      if (looks.Renderer == nullptr) throw std::runtime_error("no text renderer is installed");
      const std::vector<std::string> lines = DecodePlainTextLines(out.Bytes);
      TTextImageParams p = looks.Plain;
      for (const std::string& line : lines) {
        if (layer.fCancel.load(std::memory_order_relaxed)) break;
        if (Blank(line)) continue;
        p.Text = line;
        int dx = 0, dy = 0;
        auto strip = RenderTextStrip(*looks.Renderer, p, dx, dy, looks.PieceWidth);
        out.Dx = dx;
        out.DY = dy;
        // The vertical reference is the text's own height, the strip without its margins.
        strip->Tag2 = strip->Height - 2 * dy;
        strips.push_back(std::move(strip));
      }
      if (!strips.empty()) out.Height = strips.front()->Height;
    }
  } catch (const std::exception& e) {
    strips.clear();
    out.Failed = true;
    out.Error = e.what();
  } catch (...) {
    strips.clear();
    out.Failed = true;
    out.Error = job.Looks.FileName + ": could not be rendered";
  }
  // Everything above is published by these stores; the drawing thread reads it only after it
  // has seen one of them. Clearing inrefresh comes last: from then on this render touches
  // nothing of the layer, so the drawing thread may ask for the next one.
  if (!out.Failed) layer.refreshready.store(true, std::memory_order_release);
  layer.inrefresh.store(false, std::memory_order_release);
}

// ---- the layer ----------------------------------------------------------------------------------

void TRollLayer::AfterConstruction() {
  TLayer::AfterConstruction();
  IconIndex = 3;
  // The font's face, colour and size start as "Tahoma", white, 32 in 1..768 (TTextFont).
  AccpetResizeX = true;
  fw->SetValue(owner->fwidth);
  fshadow->SetEnabled(false);
  fcontour->SetEnabled(false);
  fdir->SetValue(tdRighttoLeft);
  auto restyle = [this](TBaseProperty*, void*, const std::string&, std::int32_t) { Restyle(); };
  for (TBaseProperty* p : std::initializer_list<TBaseProperty*>{ffont, fshadow, fcontour, fdir, fscrolldir, ftextfile}) {
    p->AddChangeNotify(this, restyle);
  }
  fspace->SetValue(40);
  fx->SetValue(0);
  fspeed->SetMinMax(-10, 10);
  fspeed->SetValue(2);
  Pos = -1;
  refreshList.store(true);
  ffilename->AddChangeNotify(this, [this](TBaseProperty*, void*, const std::string&, std::int32_t) { LoadSeparator(); });
  Restyle();
  fseppos->SetMinMax(-250, 250);
}

TRollLayer::~TRollLayer() {
  // No worker may outlive the layer (or the composition's engine and lock it uses).
  fCancel.store(true, std::memory_order_relaxed);
  fWorker.reset();
  for (TBaseProperty* p :
       std::initializer_list<TBaseProperty*>{ffont, fshadow, fcontour, fdir, fscrolldir, ftextfile, ffilename}) {
    p->RemoveChangeNotify(this);
  }
}

std::int32_t TRollLayer::StartPos() const { return ScrollDirection() == tdRighttoLeft ? 0 : Width(); }

void TRollLayer::Restyle() {
  // A new file, or new looks: the next render may start at once, and its problems are news.
  fRetryPending = false;
  if (!TextFile().empty()) {
    Pos = StartPos();
    refreshList.store(true, std::memory_order_release);
    return;
  }
  Image.reset();
  const TTextRenderer* renderer = owner->TextRenderer();
  if (renderer == nullptr) return;  // a tool that renders no text: no placeholder either
  try {
    int mx = 0, my = 0;
    Image = RenderTextImage(*renderer,
                            TTextImageParams::Make(kRollPlaceholder, fshadow, fcontour, 4, ffont->FontName(),
                                                   ffont->FontSize(),
                                                   TextDirection() == tdRighttoLeft ? "RIGHT" : "LEFT",
                                                   ffont->FontColor(), false, 0),
                            mx, my);
    fh->StoreDerived(Image->Height() - 2 * my);
  } catch (const std::exception&) {
    Image.reset();  // larger than a bitmap may be: nothing to show
  }
}

void TRollLayer::LoadSeparator() {
  Bitmap.reset();
  sepWidth = sepHeight = 0;
  const std::string& stored = SeparatorImage();
  if (stored.empty()) return;
  const std::string path = owner->ResolveMedia(stored, TMediaKind::mkFile);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    owner->ReportMediaProblem("\"" + path + "\": separator image not found");
    return;
  }
  try {
    Bitmap = LoadPremultiplied(path);
  } catch (const std::exception& e) {
    Bitmap.reset();
    owner->ReportMediaProblem(e.what());
    return;
  }
  if (Bitmap->Empty()) {
    Bitmap.reset();
    owner->ReportMediaProblem("\"" + path + "\": not an image that can be read");
    return;
  }
  sepWidth = Bitmap->Width();
  sepHeight = Bitmap->Height();
}

void TRollLayer::CloseObject() {
  ffilename->SetValue(ffilename->Value());
  Pos = StartPos();
  fRetryPending = false;
  refreshList.store(true, std::memory_order_release);
}

bool TRollLayer::RetryDue() const {
  if (!fRetryPending) return true;
  const std::uint32_t now = owner->Ticks().TickCount();
  return static_cast<std::int32_t>(now - fRetryTick) >= 0;
}

void TRollLayer::StartWorker() {
  // The last render has ended (inrefresh is clear); whatever it left and nobody took is stale.
  waiting.clear();
  fJob = {};
  TLooks& looks = fJob.Looks;
  looks.FileName = owner->ResolveMedia(TextFile(), TMediaKind::mkFile);
  looks.Rich = IsRichTextFileName(TextFile());
  looks.Plain = TTextImageParams::Make({}, fshadow, fcontour, 4, ffont->FontName(), ffont->FontSize(),
                                       TextDirection() == tdRighttoLeft ? "RIGHT" : "LEFT", ffont->FontColor(), false, 0);
  looks.Renderer = owner->TextRenderer();
  looks.Engine = owner->RichEdit1;
  looks.PieceWidth = StripPieceWidth;
  fJob.Section = &owner->richEditSection;
  fJob.CanKeep = fShownValid && looks == fShownLooks;
  if (fJob.CanKeep) fJob.ShownBytes = fShownResult.Bytes;
  fRetryPending = false;
  ++fWorkersStarted;

  inrefresh.store(true, std::memory_order_release);
  refreshList.store(false, std::memory_order_release);
  refreshready.store(false, std::memory_order_release);
  if (!fWorker) fWorker = std::make_unique<TRollThread>(*this);
  fRunning = true;
  fWorker->Start();
}

void TRollLayer::ReapWorker() {
  if (!fRunning || inrefresh.load(std::memory_order_acquire)) return;
  fRunning = false;
  fJob.ShownBytes = std::string();  // the worker is done with its copy of the file
  if (fResult.Failed) {
    // Tried again a second later, not on every frame, and each problem reported once.
    Pos = StartPos();
    refreshList.store(true, std::memory_order_release);
    refreshready.store(false, std::memory_order_release);
    fRetryPending = true;
    fRetryTick = owner->Ticks().TickCount() + kRetryMs;
    if (fResult.Error != fReported) {
      fReported = fResult.Error;
      owner->ReportMediaProblem(fResult.Error);
    }
  } else {
    fReported.clear();
  }
}

void TRollLayer::TakeStrips() {
  fFrameReady = false;  // the layout was of the strips that go now
  if (!fResult.Kept) {
    working.clear();
    working.swap(waiting);
    fShownValid = true;
    fShownLooks = fJob.Looks;
    fShownResult = std::move(fResult);
  }
  const TResult& shown = fShownResult;
  Dx = shown.Dx;
  DY = shown.DY;
  if (shown.Rich) {
    Maxdescent = shown.Maxdescent;
    MaxAscent = shown.MaxAscent;
  } else {
    Maxdescent = MaxAscent = 0;
  }
  if (shown.Height >= 0) fh->StoreDerived(shown.Height);
  Pos = StartPos();
  if (working.empty()) {
    // Nothing to crawl: look at the file again a second later, not on every frame.
    refreshList.store(true, std::memory_order_release);
    fRetryPending = true;
    fRetryTick = owner->Ticks().TickCount() + kRetryMs;
  }
}

void TRollLayer::StartStrips() {
  // A render asked for before the latest change ends first; then the latest one is started.
  WaitForWorker();
  if (!TextFile().empty() && refreshList.load(std::memory_order_acquire) && !inrefresh.load(std::memory_order_acquire)) {
    StartWorker();
  }
}

void TRollLayer::PrepareStrips() {
  StartStrips();
  WaitForWorker();
}

void PrepareStrips(const std::vector<TRollLayer*>& crawls) {
  for (TRollLayer* roll : crawls) roll->StartStrips();
  for (TRollLayer* roll : crawls) roll->WaitForWorker();
}

void TRollLayer::WaitForWorker() {
  if (fRunning) fWorker->Wait();
  ReapWorker();
  // Strips asked for before a newer request are stale: the next frame renders again.
  if (refreshready.load(std::memory_order_acquire) && !refreshList.load(std::memory_order_acquire)) {
    refreshready.store(false, std::memory_order_release);
    TakeStrips();
  }
}

bool TRollLayer::Rewind() {
  WaitForWorker();
  if (refreshList.load(std::memory_order_acquire) || inrefresh.load(std::memory_order_acquire) ||
      refreshready.load(std::memory_order_acquire)) {
    return false;
  }
  fFrameReady = false;
  Pos = StartPos();
  return true;
}

void TRollLayer::Advance(double frame) {
  fFrameReady = false;
  ReapWorker();
  if (TextFile().empty()) return;  // the placeholder, drawn as it is

  // A render is asked for: start a worker; nothing is drawn this frame.
  if (refreshList.load(std::memory_order_acquire) && !inrefresh.load(std::memory_order_acquire) && RetryDue()) {
    StartWorker();
    return;
  }
  // Finished strips replace the shown ones.
  if (refreshready.load(std::memory_order_acquire)) {
    refreshready.store(false, std::memory_order_release);
    TakeStrips();
  }
  // Nothing is drawn while a worker runs.
  if (inrefresh.load(std::memory_order_acquire)) return;

  // The work image the fields are drawn into, at the layer's size.
  const int w = Width();
  const int h = Height();
  if (w <= 0 || h <= 0) return;
  if (!workdib || workdib->Width() != w || workdib->Height() != h) {
    try {
      workdib = std::make_unique<TmemoryBitmap>(w, h);
    } catch (const std::exception&) {
      workdib.reset();  // larger than a bitmap may be: nothing to show at this size
      return;
    }
  }

  // Two fields, each on its own rows at its own position; the crawl then stands where the next
  // frame's first field starts.
  TCrawlGeometry g;
  g.X = X();
  g.Width = w;
  g.Height = h;
  g.DY = DY;
  g.Maxdescent = Maxdescent;
  g.Space = TextSpace();
  g.SeparatorWidth = Bitmap ? sepWidth : 0;
  g.SeparatorPosition = SeparatorPosition();
  g.Scroll = ScrollDirection() == tdRighttoLeft ? tdRighttoLeft : tdLefttoRight;
  for (int f = 0; f < 2; ++f) {
    g.Pos = Pos;
    fFields[f].Row = static_cast<int>(((std::int64_t(Y()) + f) % 2 + 2) % 2);
    const bool passed = LayOutCrawlField(g, working, fFields[f].Placements);
    const std::int64_t next = g.Scroll == tdRighttoLeft ? std::int64_t(Pos) + Speed() : std::int64_t(Pos) - Speed();
    Pos = static_cast<std::int32_t>(std::clamp<std::int64_t>(next, INT32_MIN, INT32_MAX));
    if (passed) refreshList.store(true, std::memory_order_release);
  }
  fFrameX = X();
  fFrameY = Y();
  fFrameReady = true;
}

void TRollLayer::DrawLayer(TmemoryBitmap& Dest, double frame) {
  if (TextFile().empty()) {
    if (Image) Dest.Blend(X(), Y(), *Image, 0, 0, Image->Width(), Image->Height());
    return;
  }
  if (!fFrameReady || !workdib) return;

  // The fields laid out by the last Advance, into the cleared work image.
  std::memset(workdib->Bits, 0, workdib->ByteSize());
  const int w = workdib->Width();
  for (const TField& field : fFields) {
    workdib->Field = field.Row;
    for (const TCrawlPlacement& item : field.Placements) {
      // The separator may have been changed (or dropped) since the layout: drawn as it is now.
      if (item.Strip < 0) {
        if (Bitmap) workdib->Blend(static_cast<int>(item.X), item.Y, *Bitmap, 0, 0, Bitmap->Width(), Bitmap->Height());
        continue;
      }
      // The pieces of the strip that meet the work image.
      std::int64_t x = item.X;
      for (const auto& piece : working[static_cast<std::size_t>(item.Strip)]->Pieces) {
        const std::int64_t pw = piece->Width();
        if (x < w && x + pw > 0) workdib->Blend(static_cast<int>(x), item.Y, *piece, 0, 0, piece->Width(), piece->Height());
        x += pw;
      }
    }
  }
  workdib->Field = -1;
  Dest.Blend(fFrameX, fFrameY, *workdib, 0, 0, w, workdib->Height());
}

}  // namespace qv
