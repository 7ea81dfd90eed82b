#include "raster/Bitmap.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "raster/RowKernels.h"

namespace qv {

EImageError::EImageError(const std::string& fileName, const std::string& what)
    : std::runtime_error(fileName.empty() ? what : "\"" + fileName + "\": " + what), fFileName(fileName) {}

namespace {
constexpr std::size_t kPixelAlign = 64;

}  // namespace

// --- memory -------------------------------------------------------------------------------------

void TmemoryBitmap::CheckSize(int Width, int Height) {
  if (Width > MaxSide || Height > MaxSide || std::int64_t(Width) * Height > MaxPixels)
    throw std::length_error("bitmap of " + std::to_string(Width) + " x " + std::to_string(Height) +
                            " pixels is larger than the raster engine allows");
}

std::uint8_t* TmemoryBitmap::AllocPixels(int Width, int Height) {
  CheckSize(Width, Height);
  const std::size_t bytes = std::size_t(Width) * std::size_t(Height) * 4;
  return static_cast<std::uint8_t*>(::operator new(bytes, std::align_val_t(kPixelAlign)));
}

void TmemoryBitmap::FreePixels(std::uint8_t* block) {
  if (block) ::operator delete(block, std::align_val_t(kPixelAlign));
}

void TmemoryBitmap::ReleasePixels() {
  if (Bits && FreeMemory) FreePixels(Bits);
  Bits = nullptr;
}

void TmemoryBitmap::AdoptPixels(std::uint8_t* block, int Width, int Height) {
  ReleasePixels();
  Bits = block;
  FreeMemory = true;
  fwidth = Width;
  fheight = Height;
  ClipX = 0;
  ClipY = 0;
  ClipW = Width;
  ClipH = Height;
}

// --- construction -------------------------------------------------------------------------------

TmemoryBitmap::TmemoryBitmap() = default;

TmemoryBitmap::TmemoryBitmap(int Width, int Height) { Resize(Width, Height, true); }

TmemoryBitmap::TmemoryBitmap(const TmemoryBitmap& Src) {
  Resize(Src.Width(), Src.Height(), false);
  if (Bits && Src.Bits) std::memcpy(Bits, Src.Bits, ByteSize());
}

TmemoryBitmap::TmemoryBitmap(int Width, int Height, void* mem) {
  FreeMemory = false;
  Bits = static_cast<std::uint8_t*>(mem);
  fwidth = Bits ? std::max(Width, 0) : 0;
  fheight = Bits ? std::max(Height, 0) : 0;
}

TmemoryBitmap::TmemoryBitmap(TmemoryBitmap&& other) noexcept { *this = std::move(other); }

TmemoryBitmap& TmemoryBitmap::operator=(TmemoryBitmap&& other) noexcept {
  if (this == &other) return *this;
  ReleasePixels();
  FreeMemory = other.FreeMemory;
  Kind = other.Kind;
  Bits = std::exchange(other.Bits, nullptr);
  HotSpotX = other.HotSpotX;
  HotSpotY = other.HotSpotY;
  Tag0 = other.Tag0;
  Tag1 = other.Tag1;
  Tag2 = other.Tag2;
  Tag3 = other.Tag3;
  Field = other.Field;
  ClipX = other.ClipX;
  ClipY = other.ClipY;
  ClipW = other.ClipW;
  ClipH = other.ClipH;
  fwidth = std::exchange(other.fwidth, 0);
  fheight = std::exchange(other.fheight, 0);
  ffactor = other.ffactor;
  fcolor = other.fcolor;
  fmask = other.fmask;
  fmaskChannel = other.fmaskChannel;
  fAnchor = other.fAnchor;
  fpreserve = other.fpreserve;
  tiles = std::move(other.tiles);
  tilesWidth = std::exchange(other.tilesWidth, 0);
  tilesHeight = std::exchange(other.tilesHeight, 0);
  isTiles = std::exchange(other.isTiles, false);
  // The source keeps nothing of the old bitmap.
  TmemoryBitmap fresh;
  other.FreeMemory = fresh.FreeMemory;
  other.Kind = fresh.Kind;
  other.HotSpotX = other.HotSpotY = 0;
  other.Tag0 = other.Tag1 = other.Tag2 = other.Tag3 = 0;
  other.Field = fresh.Field;
  other.ClipX = other.ClipY = other.ClipW = other.ClipH = 0;
  other.ffactor = fresh.ffactor;
  other.fcolor = fresh.fcolor;
  other.fmask = nullptr;
  other.fmaskChannel = fresh.fmaskChannel;
  other.fAnchor = fresh.fAnchor;
  other.fpreserve = fresh.fpreserve;
  other.tiles.clear();
  return *this;
}

TmemoryBitmap::~TmemoryBitmap() { ReleasePixels(); }

TmemoryBitmap TmemoryBitmap::CreateAsDib(int W, int H, int bitCount) {
  if (bitCount != 32) throw std::invalid_argument("surface bitmaps are 32-bit only");
  TmemoryBitmap b;
  b.Kind = 1;
  b.Resize(std::max(W, 1), std::max(H, 1), true);
  return b;
}

// --- size ---------------------------------------------------------------------------------------

void TmemoryBitmap::Resize(int Width, int Height, bool ClearData) {
  const int oldW = fwidth, oldH = fheight;
  // The old block stays alive until its content has been placed in the new one.
  std::uint8_t* old = Bits;
  const bool ownedOld = FreeMemory;
  const bool keep = old && fpreserve;
  Bits = nullptr;
  FreeMemory = true;
  auto dropOld = [&] {
    if (old && ownedOld) FreePixels(old);
    old = nullptr;
  };

  if (Width <= 0 || Height <= 0) {
    // Empty. A zero side is kept (setting Width and Height one after the other through 0 must
    // work); a negative one becomes 0.
    dropOld();
    fwidth = std::max(Width, 0);
    fheight = std::max(Height, 0);
    return;
  }
  std::uint8_t* block;
  try {
    block = AllocPixels(Width, Height);
  } catch (...) {
    dropOld();
    fwidth = 0;
    fheight = 0;
    throw;
  }
  fwidth = Width;
  fheight = Height;
  ClipX = 0;
  ClipY = 0;
  ClipW = Width;
  ClipH = Height;
  Bits = block;
  if (ClearData) std::memset(Bits, 0, ByteSize());

  if (keep && fAnchor <= atRightBottom) {
    const int dW = Width - oldW, dH = Height - oldH;
    const int col = fAnchor % 3, row = fAnchor / 3;  // 0 left/top, 1 centre/middle, 2 right/bottom
    const int dx = col == 0 ? 0 : (col == 1 ? dW / 2 : dW);
    const int dy = row == 0 ? 0 : (row == 1 ? dH / 2 : dH);
    TmemoryBitmap tmp(oldW, oldH, old);
    tmp.CopyRectTo(*this, dx, dy, oldW, oldH, 0, 0);
  }
  dropOld();
}

// --- pixels -------------------------------------------------------------------------------------

std::uint32_t TmemoryBitmap::Pixel(int x, int y) const {
  std::uint32_t v;
  std::memcpy(&v, PixelPtr(x, y), 4);
  return v;
}

void TmemoryBitmap::SetPixel(int x, int y, std::uint32_t argb) { std::memcpy(PixelPtr(x, y), &argb, 4); }

void TmemoryBitmap::Fill(std::uint32_t argb) {
  const std::size_t n = std::size_t(fwidth) * std::size_t(fheight);
  for (std::size_t i = 0; i < n; ++i) std::memcpy(Bits + 4 * i, &argb, 4);
}

void TmemoryBitmap::CopyRectTo(TmemoryBitmap& dest, int Xdest, int Ydest, int W, int H, int Xsrc, int Ysrc) const {
  if (!Bits || !dest.Bits) return;
  // 64-bit arithmetic: extreme arguments must not overflow into a "visible" rectangle.
  std::int64_t xd = Xdest, yd = Ydest, w = W, h = H, xs = Xsrc, ys = Ysrc;
  const std::int64_t dw = dest.fwidth, dh = dest.fheight;
  if (!(1 - w <= xd && xd <= dw - 1 && yd <= dh - 1)) return;
  if (xd < 0) { w += xd; xs -= xd; xd = 0; }
  if (xd + w > dw) w = dw - xd;
  if (yd < 0) { h += yd; ys -= yd; yd = 0; }
  if (yd + h > dh) h = dh - yd;
  if (h <= 0 || w <= 0) return;
  // The source rectangle must lie inside this bitmap; trim what does not (nothing is read outside).
  if (xs < 0) { w += xs; xd -= xs; xs = 0; }
  if (ys < 0) { h += ys; yd -= ys; ys = 0; }
  w = std::min<std::int64_t>(w, fwidth - xs);
  h = std::min<std::int64_t>(h, fheight - ys);
  if (h <= 0 || w <= 0) return;
  // Within one bitmap a block moved down is copied bottom row first, so no row is overwritten
  // before it has been read.
  const bool upward = &dest == this && yd > ys;
  for (std::int64_t k = 0; k < h; ++k) {
    const std::int64_t i = upward ? h - 1 - k : k;
    std::memmove(dest.PixelPtr(int(xd), int(yd + i)), PixelPtr(int(xs), int(ys + i)), std::size_t(w) * 4);
  }
}

// --- blending -----------------------------------------------------------------------------------

bool TmemoryBitmap::ClipBlendRect(const TmemoryBitmap& dest, const TmemoryBitmap& src, int& Xdest, int& Ydest,
                                  int& W, int& H, int& Xsrc, int& Ysrc) {
  std::int64_t xd = Xdest, yd = Ydest, w = W, h = H, xs = Xsrc, ys = Ysrc;
  if (w <= 0 || h <= 0) return false;
  const std::int64_t sw = src.fwidth, sh = src.fheight, dw = dest.fwidth, dh = dest.fheight;
  // Source bounds.
  if (!(1 - w <= xs && xs <= sw - 1 && 1 - h <= ys && ys <= sh - 1)) return false;
  if (xs < 0) { w += xs; xd -= xs; xs = 0; }
  if (xs + w >= sw) w = sw - xs;
  if (ys < 0) { h += ys; yd -= ys; ys = 0; }
  if (ys + h >= sh) h = sh - ys;
  // Destination bounds.
  if (!(1 - w <= xd && xd <= dw - 1 && 1 - h <= yd && yd <= dh - 1)) return false;
  if (xd < 0) { w += xd; xs -= xd; xd = 0; }
  if (xd + w >= dw) w = dw - xd;
  if (yd < 0) { h += yd; ys -= yd; yd = 0; }
  if (yd + h >= dh) h = dh - yd;
  Xdest = int(xd);
  Ydest = int(yd);
  W = int(w);
  H = int(h);
  Xsrc = int(xs);
  Ysrc = int(ys);
  return w * h != 0;
}

void TmemoryBitmap::Blend(int Xdest, int Ydest, const TmemoryBitmap& ImageSrc, int Xsrc, int Ysrc, int W, int H) {
  if (!Bits || !ImageSrc.Bits || ImageSrc.fmask) return;
  if (ImageSrc.fcolor == NoColor)
    BlendImage(Xdest, Ydest, ImageSrc, Xsrc, Ysrc, W, H);
  else if (ImageSrc.fcolor <= 0xFFFFFFu)
    BlendColor(Xdest, Ydest, ImageSrc, Xsrc, Ysrc, W, H);
}

void TmemoryBitmap::BlendImage(int Xdest, int Ydest, const TmemoryBitmap& src, int Xsrc, int Ysrc, int W, int H) {
  if (!ClipBlendRect(*this, src, Xdest, Ydest, W, H, Xsrc, Ysrc)) return;
  if (ClipX > Xdest) {
    const std::int64_t cut = std::int64_t(ClipX) - Xdest;
    if (cut >= W) return;
    W -= int(cut);
    Xsrc += int(cut);
    Xdest = ClipX;
  }
  const std::uint32_t f = std::uint32_t(ffactor * src.ffactor) / 255;

  if (isTiles && tilesWidth > 0 && tilesHeight > 0) {
    const int tx0 = Xdest / 16, tx1 = std::min((Xdest + W + 15) / 16, tilesWidth - 1);
    const int ty0 = Ydest / 16, ty1 = std::min((Ydest + H + 15) / 16, tilesHeight - 1);
    for (int ty = ty0; ty <= ty1; ++ty)
      for (int tx = tx0; tx <= tx1; ++tx) tiles[std::size_t(ty) * tilesWidth + tx] = 1;
  }

  const TRowKernels& k = Kernels();
  auto blend = [&](const std::uint8_t* s, std::uint8_t* d, int n) {
    if (f == 255)
      k.BlendRowOver(s, d, n);
    else
      k.BlendRowOverScaled(s, d, n, f);
  };
  // Whole rows of two images as wide as the blend lie end to end: one run (a full-frame
  // background, a crawl's work image) saves the per-row start and end of the vector loop.
  if (Field < 0 && W == fwidth && W == src.fwidth && std::int64_t(W) * H <= INT32_MAX) {
    blend(src.PixelPtr(Xsrc, Ysrc), PixelPtr(Xdest, Ydest), W * H);
    return;
  }
  for (int i = 0; i < H; ++i) {
    const int y = Ydest + i;
    if (Field >= 0 && (y & 1) != Field) continue;
    blend(src.PixelPtr(Xsrc, Ysrc + i), PixelPtr(Xdest, y), W);
  }
}

void TmemoryBitmap::BlendColor(int Xdest, int Ydest, const TmemoryBitmap& src, int Xsrc, int Ysrc, int W, int H) {
  if (!ClipBlendRect(*this, src, Xdest, Ydest, W, H, Xsrc, Ysrc)) return;
  const std::uint32_t f = std::uint32_t(src.ffactor);
  const TRowKernels& k = Kernels();
  for (int i = 0; i < H; ++i) {
    const int y = Ydest + i;
    if (Field >= 0 && (y & 1) != Field) continue;
    k.BlendRowColor(src.PixelPtr(Xsrc, Ysrc + i), PixelPtr(Xdest, y), W, f, src.fcolor);
  }
}

void TmemoryBitmap::Blend(int, int, const TmemoryBitmap&, int, int, int, int, int, int) {
  // Masked rows blend to no effect; nothing to walk.
}

// --- tiles --------------------------------------------------------------------------------------

void TmemoryBitmap::MakeTiles() {
  isTiles = true;
  tilesWidth = fwidth / 16;
  tilesHeight = fheight / 16;
  tiles.assign(std::size_t(tilesWidth) * std::size_t(tilesHeight), 0);
}

void TmemoryBitmap::BeginTiles() { std::fill(tiles.begin(), tiles.end(), std::uint8_t(0)); }

// --- output -------------------------------------------------------------------------------------

std::vector<std::uint8_t> TmemoryBitmap::TgaBytes() const {
  if (fwidth > 65535 || fheight > 65535)
    throw std::range_error("a TGA file holds at most 65535 pixels on a side");
  const std::size_t row = std::size_t(fwidth) * 4;
  std::vector<std::uint8_t> out(18 + (Bits ? row * std::size_t(fheight) : 0), 0);
  out[2] = 2;
  out[12] = std::uint8_t(fwidth & 0xFF);
  out[13] = std::uint8_t(fwidth >> 8);
  out[14] = std::uint8_t(fheight & 0xFF);
  out[15] = std::uint8_t(fheight >> 8);
  out[16] = 32;
  for (int i = 0; Bits && i < fheight; ++i)
    std::memcpy(out.data() + 18 + row * std::size_t(i), PixelPtr(0, fheight - 1 - i), row);
  return out;
}

void TmemoryBitmap::SaveTga(const std::string& filename) const {
  const std::vector<std::uint8_t> bytes = TgaBytes();
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(filename.c_str(), "wb"), &std::fclose);
  if (!f) throw EImageError(filename, "cannot create the file");
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
  if (std::fclose(f.release()) != 0) ok = false;
  if (!ok) throw EImageError(filename, "cannot write the file");
}

void TmemoryBitmap::Bitblt(TSurface* DestHandle, int Xdest, int Ydest) const {
  if (DestHandle != nullptr) DestHandle->Show(*this, Xdest, Ydest);
}

}  // namespace qv
