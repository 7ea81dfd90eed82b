#pragma once
// The two picture layers: a still image scaled to the layer's size, and an image sequence read
// from a folder that plays one frame per composition frame, with an optional loop.
#include "composition/FrameWindow.h"
#include "composition/QvSystem.h"
#include "raster/StreamBitmaps.h"

#include <memory>
#include <optional>
#include <vector>

namespace qv {

class TImageLayer : public TLayer {
  QV_CONTAINER(TImageLayer, TLayer)

 public:
  ~TImageLayer() override;

  // The loaded image, colours weighted by alpha; none when FileName could not be read.
  std::unique_ptr<TStreamedBitmap> Bitmap;
  // Bitmap resampled to the layer's Width x Height, made when first drawn at that size.
  std::unique_ptr<TStreamedBitmap> SBitmap;

  const std::string& FileName() const { return ffilename->Value(); }
  void SetFileName(const std::string& v) { ffilename->SetValue(v); }
  TImageFileName& FileNameProperty() const { return *ffilename; }

  void DrawLayer(TmemoryBitmap& Dest, double frame) override;
  // Reloads the picture and keeps the size read from the file.
  void CloseObject() override;

 protected:
  explicit TImageLayer(TQVSystem* Aowner) : TLayer(Aowner) {}
  void AfterConstruction() override;

 private:
  void LoadImage();

  TImageFileName* ffilename = nullptr;
  // A size the cache could not be made at (too large): not tried again every frame.
  std::int32_t fFailedW = -1;
  std::int32_t fFailedH = -1;
};

class TMultiImageLayer : public TLayer {
  QV_CONTAINER(TMultiImageLayer, TLayer)

 public:
  ~TMultiImageLayer() override;

  std::uint32_t lasttick = 0;  // tick count of the last DrawLayer
  // The frames in play order (file names in natural order), colours weighted by alpha, when the
  // whole sequence fits the composition's SequenceMemoryBudget; empty otherwise (see Window).
  std::vector<std::unique_ptr<TStreamedBitmap>> Bitmaps;
  // A sequence larger than the budget: the frames around the one shown, decoded ahead.
  std::unique_ptr<TFrameWindow> Window;
  // How many frames the folder gave, held whole or through the window.
  std::size_t FrameCount() const { return Window ? Window->Count() : Bitmaps.size(); }

  const std::string& Directory() const { return fdir->Value(); }
  bool Loop() const { return floop->Value(); }
  std::int32_t INFrames() const { return fin->Value(); }
  std::int32_t OUTFrames() const { return fout->Value(); }
  void SetDirectory(const std::string& v) { fdir->SetValue(v); }
  void SetLoop(bool v) { floop->SetValue(v); }
  void SetINFrames(std::int32_t v) { fin->SetValue(v); }
  void SetOUTFrames(std::int32_t v) { fout->SetValue(v); }
  TDirectory& DirectoryProperty() const { return *fdir; }
  TBoolean& LoopProperty() const { return *floop; }
  TMinMaxInteger& INFramesProperty() const { return *fin; }
  TMinMaxInteger& OUTFramesProperty() const { return *fout; }

  // Which frame the layer shows at a composition frame (-1: none, there are no frames).
  int FrameIndex(double frame) const;
  // Taking a page off air: a looping sequence with an outro (OUTFrames > 0) leaves its loop at
  // composition frame Frame and plays its last OUTFrames frames from there, then holds the last,
  // whatever the page's duration and ShowTime say. Answers how many frames the outro takes (0: the
  // sequence has none and shows as before).
  int StartOutro(double Frame);
  void DrawLayer(TmemoryBitmap& Dest, double frame) override;
  void CloseObject() override;

  // Decoding threads for a folder (0: one per core). Any count gives the same frames.
  unsigned LoadThreads = 0;

 protected:
  explicit TMultiImageLayer(TQVSystem* Aowner) : TLayer(Aowner) {}
  void AfterConstruction() override;

 private:
  void LoadFrames();
  // Plays Files through a window when holding them all would pass the budget; answers whether it did.
  bool OpenWindow(const std::vector<std::string>& Files);

  std::vector<int> fUpcoming;  // kept between frames so drawing does not allocate
  std::optional<double> fOutroFrom;  // StartOutro's frame
  TDirectory* fdir = nullptr;
  TBoolean* floop = nullptr;
  TMinMaxInteger* fin = nullptr;
  TMinMaxInteger* fout = nullptr;
};

}  // namespace qv
