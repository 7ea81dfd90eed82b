#include "composition/ImageLayers.h"

#include "composition/FrameLoader.h"
#include "model/MathLib.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

namespace qv {

QV_PUBLISHED(TImageLayer, QV_MEMBER("FileName", ffilename))

QV_PUBLISHED(TMultiImageLayer,
             QV_MEMBER("Directory", fdir),
             QV_MEMBER("Loop", floop),
             QV_MEMBER("INFrames", fin),
             QV_MEMBER("OUTFrames", fout))

namespace {

std::string Quoted(const std::string& file) { return "\"" + file + "\""; }

}  // namespace

// ---- TImageLayer ------------------------------------------------------------------------------

void TImageLayer::AfterConstruction() {
  TLayer::AfterConstruction();
  ffilename->AddChangeNotify(this, [this](TBaseProperty*, void*, const std::string&, std::int32_t) { LoadImage(); });
  AccpetResizeX = true;
  AccpetResizeY = true;
}

TImageLayer::~TImageLayer() { ffilename->RemoveChangeNotify(this); }

void TImageLayer::LoadImage() {
  Bitmap.reset();
  SBitmap.reset();
  fFailedW = fFailedH = -1;
  const std::string& stored = FileName();
  if (stored.empty()) return;  // nothing to show; the size stays
  const std::string path = owner->ResolveMedia(stored, TMediaKind::mkFile);
  try {
    Bitmap = LoadPremultiplied(path);
  } catch (const std::exception& e) {
    Bitmap.reset();
    owner->ReportMediaProblem(dynamic_cast<const EImageError*>(&e) != nullptr
                                  ? std::string(e.what())
                                  : Quoted(path) + ": " + e.what());
    return;
  }
  if (Bitmap->Empty()) owner->ReportMediaProblem(Quoted(path) + ": not an image that can be read");
  StoreDerivedSize(Bitmap->Width(), Bitmap->Height());
}

void TImageLayer::DrawLayer(TmemoryBitmap& Dest, double frame) {
  if (!Bitmap || Bitmap->Empty()) return;
  const std::int32_t w = Width();
  const std::int32_t h = Height();
  if (w <= 0 || h <= 0) return;  // no area to show the picture in

  const TmemoryBitmap* source = Bitmap.get();
  if (w != Bitmap->Width() || h != Bitmap->Height()) {
    if (SBitmap && (SBitmap->Width() != w || SBitmap->Height() != h)) SBitmap.reset();
    if (!SBitmap) {
      if (w == fFailedW && h == fFailedH) return;
      try {
        auto scaled = std::make_unique<TStreamedBitmap>(static_cast<const TmemoryBitmap&>(*Bitmap));
        scaled->Resizeto(w, h, true);
        SBitmap = std::move(scaled);
      } catch (const std::exception&) {
        // Larger than a bitmap may be, or out of memory: the layer shows nothing at this size.
        fFailedW = w;
        fFailedH = h;
        return;
      }
    }
    source = SBitmap.get();
  }
  Dest.Blend(X(), Y(), *source, 0, 0, w, h);
}

void TImageLayer::CloseObject() {
  const std::int32_t w = Width();
  const std::int32_t h = Height();
  ffilename->SetValue(ffilename->Value());
  StoreDerivedSize(w, h);  // the size read from the file, over the picture's
}

// ---- TMultiImageLayer -------------------------------------------------------------------------

void TMultiImageLayer::AfterConstruction() {
  TLayer::AfterConstruction();
  IconIndex = 1;
  fdir->AddChangeNotify(this, [this](TBaseProperty*, void*, const std::string&, std::int32_t) { LoadFrames(); });
}

TMultiImageLayer::~TMultiImageLayer() {
  fdir->RemoveChangeNotify(this);
  Window.reset();
  Bitmaps.clear();
}

void TMultiImageLayer::LoadFrames() {
  // The old frames go before the new ones load, so two sequences are never held at once.
  Window.reset();
  Bitmaps.clear();
  Bitmaps.shrink_to_fit();

  const std::string& stored = Directory();
  std::vector<std::string> files;
  if (!stored.empty()) {
    const std::string folder = owner->ResolveMedia(stored, TMediaKind::mkDirectory);
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
      owner->ReportMediaProblem(Quoted(folder) + ": no such folder");
    } else {
      files = ListSequenceFiles(folder);
    }
  }

  if (files.size() > 1 && OpenWindow(files)) return;

  std::vector<TLoadedFrame> loaded = owner->OnLoadProgress ? qv::LoadFrames(files, LoadThreads, owner->OnLoadProgress)
                                                           : qv::LoadFrames(files, LoadThreads);
  Bitmaps.reserve(loaded.size());
  std::int32_t maxW = 0;
  std::int32_t maxH = 0;
  for (std::size_t i = 0; i < loaded.size(); ++i) {
    if (!loaded[i].Bitmap) {
      owner->ReportMediaProblem(loaded[i].Error.empty() ? Quoted(files[i]) + ": cannot be read" : loaded[i].Error);
      continue;
    }
    if (loaded[i].Bitmap->Empty()) {
      // Kept as an empty frame so the frame count stays what the folder holds; said, because
      // it shows as a gap in the sequence.
      owner->ReportMediaProblem(Quoted(files[i]) + ": not an image that can be read; shown as an empty frame");
    }
    maxW = std::max(maxW, loaded[i].Bitmap->Width());
    maxH = std::max(maxH, loaded[i].Bitmap->Height());
    Bitmaps.push_back(std::move(loaded[i].Bitmap));
  }
  const std::int32_t last = static_cast<std::int32_t>(Bitmaps.size()) - 1;
  fin->SetMinMax(0, last);
  fout->SetMinMax(0, last);
  StoreDerivedSize(maxW, maxH);
}

bool TMultiImageLayer::OpenWindow(const std::vector<std::string>& files) {
  // The first frame tells what the whole sequence would take (frames of a sequence share a size).
  std::unique_ptr<TStreamedBitmap> first;
  try {
    first = LoadPremultiplied(files.front());
  } catch (const std::exception&) {
    return false;  // the whole load reports it
  }
  const std::uint64_t frameBytes = std::max<std::uint64_t>(1, first->ByteSize());
  if (frameBytes * files.size() <= owner->SequenceMemoryBudget) return false;
  const std::size_t capacity = std::clamp<std::uint64_t>(owner->SequenceMemoryBudget / frameBytes, 2, files.size());
  Window = std::make_unique<TFrameWindow>(files, capacity);
  const std::int32_t last = static_cast<std::int32_t>(files.size()) - 1;
  fin->SetMinMax(0, last);
  fout->SetMinMax(0, last);
  StoreDerivedSize(first->Width(), first->Height());
  return true;
}

int TMultiImageLayer::FrameIndex(double frame) const {
  const std::int64_t n = static_cast<std::int64_t>(FrameCount());
  if (n == 0) return -1;
  const std::int64_t in = INFrames();
  const std::int64_t out = OUTFrames();
  const std::int64_t d = Duration();
  // Frames beyond any sensible range are held at the ends rather than overflowing.
  auto nearest = [&](double x) {
    return static_cast<std::int64_t>(std::clamp(RoundHalfEven(x), -1e15, 1e15));
  };
  std::int64_t i = nearest(frame - LayerIN());
  if (fOutroFrom && Loop() && out > 0 && frame >= *fOutroFrom) {
    i = n - out + nearest(frame - *fOutroFrom);
    return static_cast<int>(std::clamp<std::int64_t>(i, 0, n - 1));
  }
  if (Loop()) {
    const std::int64_t length = n - in - out;
    if (i > in) {
      // A loop that the intro and outro leave no frames for holds the first frame after the intro.
      i = length > 0 ? in + (i - in) % length : in;
    }
    if (out != 0 && owner->ShowTime() != stAllClip) {
      const std::int64_t k = nearest(frame - LayerIN());
      if (k > d - out) i = k - d + n - 1;
    }
  } else if (i > n - 1) {
    i = n - 1;
  }
  return static_cast<int>(std::clamp<std::int64_t>(i, 0, n - 1));
}

int TMultiImageLayer::StartOutro(double frame) {
  const std::int64_t out = OUTFrames();
  if (!Loop() || out <= 0 || FrameCount() == 0) return 0;
  fOutroFrom = frame;
  return static_cast<int>(std::min<std::int64_t>(out, static_cast<std::int64_t>(FrameCount())));
}

void TMultiImageLayer::DrawLayer(TmemoryBitmap& Dest, double frame) {
  const int i = FrameIndex(frame);
  if (i < 0) return;
  lasttick = owner->Ticks().TickCount();
  if (Window) {
    // The frames of the next second or so, in the order they will be shown (a loop wraps).
    fUpcoming.clear();
    const int ahead = static_cast<int>(std::min<std::size_t>(Window->Capacity() - 1, 50));
    for (int k = 1; k <= ahead; ++k) fUpcoming.push_back(FrameIndex(frame + k));
    const TStreamedBitmap& bmp = Window->Frame(i, fUpcoming);
    for (const std::string& problem : Window->TakeProblems()) owner->ReportMediaProblem(problem);
    Dest.Blend(X(), Y(), bmp, 0, 0, bmp.Width(), bmp.Height());
    return;
  }
  const TStreamedBitmap& bmp = *Bitmaps[static_cast<std::size_t>(i)];
  Dest.Blend(X(), Y(), bmp, 0, 0, bmp.Width(), bmp.Height());
}

void TMultiImageLayer::CloseObject() { fdir->SetValue(fdir->Value()); }

}  // namespace qv
