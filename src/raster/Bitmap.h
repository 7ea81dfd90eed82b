#pragma once
// TmemoryBitmap: the one raster type. 32-bit pixels, bytes blue, green, red, alpha in memory
// (0xAARRGGBB read as a little-endian word), rows top to bottom, stride exactly Width * 4.
// Sources are blended as if their colour bytes were already weighted by their alpha.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qv {

struct TKernel;
struct TTable;

enum TAnchortype : std::uint8_t {
  atLeftTop = 0,
  atCenterTop = 1,
  atRightTop = 2,
  atLeftMiddle = 3,
  atCenterMiddle = 4,
  atRightMiddle = 5,
  atLeftBottom = 6,
  atCenterBottom = 7,
  atRightBottom = 8,
};

enum TChannel : std::uint8_t { mcRed = 0, mcGreen = 1, mcBlue = 2, mcAlpha = 3 };

// Raised when an image or bitmap file cannot be read or written; the message names the file.
class EImageError : public std::runtime_error {
 public:
  EImageError(const std::string& fileName, const std::string& what);
  const std::string& FileName() const { return fFileName; }

 private:
  std::string fFileName;
};

// Exchanges the lowest and the third byte: platform colours 0x00BBGGRR <-> bitmap colours 0x00RRGGBB.
constexpr std::uint32_t SwapRedBlue(std::uint32_t v) {
  return (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
}

class TmemoryBitmap {
 public:
  // Color value meaning "no colour: blend the source's own pixels".
  static constexpr std::uint32_t NoColor = 0x1000000;
  // Largest side and pixel count a bitmap may have; larger requests throw std::length_error
  // before anything is allocated (the bitmap is left empty).
  static constexpr int MaxSide = 16384;
  static constexpr std::int64_t MaxPixels = std::int64_t(1) << 26;  // 64 Mpx = 256 MiB

  // Create: empty, 0 x 0, no pixels.
  TmemoryBitmap();
  // Create(Width, Height): all pixels zero (transparent black). Sizes <= 0 give an empty bitmap.
  TmemoryBitmap(int Width, int Height);
  // Create(Src): same size, the pixels copied; every other field takes its default.
  explicit TmemoryBitmap(const TmemoryBitmap& Src);
  // Create(Width, Height, mem): wraps caller-owned memory (Width * Height * 4 bytes, laid out as
  // above). Nothing is allocated or cleared, and the memory is never freed by the bitmap.
  TmemoryBitmap(int Width, int Height, void* mem);
  // Moving hands the pixels (and every field) over; the source is left empty with default fields.
  TmemoryBitmap(TmemoryBitmap&& other) noexcept;
  TmemoryBitmap& operator=(TmemoryBitmap&& other) noexcept;
  TmemoryBitmap& operator=(const TmemoryBitmap&) = delete;
  virtual ~TmemoryBitmap();

  // CreateAsDib: the surface kind (Kind 1). Plain owned memory in the usual layout, which the
  // platform layer wraps for drawing (text rendering, overlays) without copying. W and H below 1
  // become 1; only a bit count of 32 is supported (std::invalid_argument otherwise).
  static TmemoryBitmap CreateAsDib(int W, int H, int bitCount = 32);

  // --- size -----------------------------------------------------------------------------------
  int Width() const { return fwidth; }
  int Height() const { return fheight; }
  void SetWidth(int w) { Resize(w, fheight, true); }
  void SetHeight(int h) { Resize(fwidth, h, true); }
  bool Empty() const { return Bits == nullptr; }
  std::size_t ByteSize() const { return std::size_t(fwidth) * std::size_t(fheight) * 4; }

  // Resize to Width x Height. With PreserveContent the old image is placed inside the new one
  // according to Anchor (the rest zero when ClearData, else undefined). A width or height <= 0
  // leaves a bitmap without pixels whose clip fields keep their values; the sizes are stored, with
  // negative ones taken as 0 (so 0 x 5 stays 0 x 5, -3 x 5 becomes 0 x 5). A size beyond MaxSide /
  // MaxPixels throws std::length_error and an allocation failure std::bad_alloc; either way the
  // bitmap is left empty (0 x 0), never with a size and no pixels. After Resize the bitmap owns
  // its pixels, also when it wrapped foreign memory before (which is then left alone).
  virtual void Resize(int Width, int Height, bool ClearData);
  void SetSize(int W, int H) { Resize(W, H, true); }
  void SetResizeType(TAnchortype AnchorType, bool Preserve) {
    fAnchor = AnchorType;
    fpreserve = Preserve;
  }

  // --- blend parameters -----------------------------------------------------------------------
  TAnchortype Anchor() const { return fAnchor; }
  void SetAnchor(TAnchortype a) { fAnchor = a; }
  bool PreserveContent() const { return fpreserve; }
  void SetPreserveContent(bool p) { fpreserve = p; }
  std::uint32_t Color() const { return fcolor; }
  // Any value above 0xFFFFFF is stored as 0 (black); use SetBlendParam to go back to NoColor.
  void SetColor(std::uint32_t c) { fcolor = c > 0xFFFFFFu ? 0u : c; }
  const TmemoryBitmap* Mask() const { return fmask; }
  void SetMask(const TmemoryBitmap* m) { fmask = m; }
  TChannel MaskChannel() const { return fmaskChannel; }
  void SetMaskChannel(TChannel c) { fmaskChannel = c; }
  int Factor() const { return ffactor; }
  // Clamped to 0..255. On a destination it acts as the opacity of everything blended onto it.
  void SetFactor(int f) { ffactor = f < 0 ? 0 : (f > 255 ? 255 : f); }
  // Sets the three fields as given (Color unclamped).
  void SetBlendParam(const TmemoryBitmap* Mask, TChannel MaskChannel, std::uint32_t Color) {
    fmask = Mask;
    fmaskChannel = MaskChannel;
    fcolor = Color;
  }

  // --- pixels ---------------------------------------------------------------------------------
  // Address of pixel (x, y); no bounds check, callers clip first.
  std::uint8_t* PixelPtr(int x, int y) const {
    return Bits + (std::ptrdiff_t(y) * fwidth + x) * 4;
  }
  // Pixel (x, y) as 0xAARRGGBB; no bounds check.
  std::uint32_t Pixel(int x, int y) const;
  void SetPixel(int x, int y, std::uint32_t argb);
  // Sets every pixel to argb (0xAARRGGBB).
  void Fill(std::uint32_t argb);

  // Copies a W x H block of this bitmap from (Xsrc, Ysrc) to (Xdest, Ydest) of dest, replacing
  // the destination bytes. Clipped against the destination; the source block must lie inside
  // this bitmap after that clipping.
  void CopyRectTo(TmemoryBitmap& dest, int Xdest, int Ydest, int W, int H, int Xsrc, int Ysrc) const;

  // Clips a blend rectangle against the source and then the destination; the six numbers are
  // adjusted in place. Returns whether anything is left to draw.
  static bool ClipBlendRect(const TmemoryBitmap& dest, const TmemoryBitmap& src, int& Xdest, int& Ydest,
                            int& W, int& H, int& Xsrc, int& Ysrc);

  // Composes a W x H rectangle of ImageSrc from (Xsrc, Ysrc) onto this bitmap at (Xdest, Ydest).
  // Image mode (source Color == NoColor, no Mask): over-blend with opacity
  // Factor * ImageSrc.Factor / 255, left bound ClipX, marks the tile map. Colour mode (source Color
  // 0..0xFFFFFF, no Mask): the source's blue byte is coverage painted in Color at the source's
  // Factor. A source with a Mask, or with another Color value, is not drawn. Field >= 0 limits the
  // rows written to those of that parity. Never allocates.
  void Blend(int Xdest, int Ydest, const TmemoryBitmap& ImageSrc, int Xsrc, int Ysrc, int W, int H);
  void Blend(int Xdest, int Ydest, const TmemoryBitmap& ImageSrc) {
    Blend(Xdest, Ydest, ImageSrc, 0, 0, ImageSrc.Width(), ImageSrc.Height());
  }
  // The masked blend: selected by a source with a Mask and Color == NoColor. Masked row blending
  // has no effect, so this changes no pixels.
  void Blend(int Xdest, int Ydest, const TmemoryBitmap& ImageSrc, int Xsrc, int Ysrc, int Xmask, int Ymask,
             int W, int H);

  // Separable integer blur in place (GaussianBlur.cpp). A kernel of Size s leaves rows 0..s-1 and
  // H-s..H-1 as they were and zeroes columns 0..s-1 and W-s..W-1 of the rows between; a pass whose
  // dimension is not larger than 2s does nothing; a kernel of Size 0 leaves the bitmap unchanged.
  void GaussianBlur(const TKernel& K);
  // The same, each byte of the vertical pass's results mapped through Table.
  void GaussianBlurTable(const TKernel& K, const TTable& Table);

  // --- dirty tiles (16 x 16) --------------------------------------------------------------------
  void MakeTiles();
  void BeginTiles();
  bool IsTiles() const { return isTiles; }
  int TilesWidth() const { return tilesWidth; }
  int TilesHeight() const { return tilesHeight; }
  const std::uint8_t* Tiles() const { return tiles.data(); }

  // --- output ---------------------------------------------------------------------------------
  // Writes an uncompressed 32-bit TGA, bottom row first. std::range_error for sides above 65535
  // (before the file is touched); EImageError naming the file when it cannot be written.
  void SaveTga(const std::string& filename) const;
  // The bytes SaveTga writes (std::range_error the same way).
  std::vector<std::uint8_t> TgaBytes() const;

  // A window surface the whole bitmap can be shown on (the raster engine has no window system;
  // whoever has one implements it).
  class TSurface {
   public:
    virtual ~TSurface() = default;
    virtual void Show(const TmemoryBitmap& Bitmap, int Xdest, int Ydest) = 0;
  };
  // Shows the whole bitmap on DestHandle at (Xdest, Ydest), alpha ignored; none: nothing.
  void Bitblt(TSurface* DestHandle, int Xdest, int Ydest) const;

  // --- public fields --------------------------------------------------------------------------
  bool FreeMemory = true;       // the bitmap owns Bits and frees them
  int Kind = 0;                 // 0 = plain memory, 1 = surface ("DIB") kind
  std::uint8_t* Bits = nullptr; // pixel (0, 0); null when empty
  int HotSpotX = 0, HotSpotY = 0;
  int Tag0 = 0, Tag1 = 0, Tag2 = 0, Tag3 = 0;
  int Field = -1;               // destination interlace: -1 all rows, 0 even rows, 1 odd rows
  int ClipX = 0, ClipY = 0, ClipW = 0, ClipH = 0;  // only ClipX is used (left bound of image blends)

 protected:
  // Takes ownership of a block from AllocPixels as the new pixels of a Width x Height bitmap.
  void AdoptPixels(std::uint8_t* block, int Width, int Height);
  // Pixel blocks are 64-byte aligned; sizes are checked against MaxSide / MaxPixels.
  static std::uint8_t* AllocPixels(int Width, int Height);
  static void FreePixels(std::uint8_t* block);
  static void CheckSize(int Width, int Height);

 private:
  void ReleasePixels();
  void BlendImage(int Xdest, int Ydest, const TmemoryBitmap& src, int Xsrc, int Ysrc, int W, int H);
  void BlendColor(int Xdest, int Ydest, const TmemoryBitmap& src, int Xsrc, int Ysrc, int W, int H);
  void Blur(const TKernel& K, const TTable* Table);

  int fwidth = 0;
  int fheight = 0;
  int ffactor = 255;
  std::uint32_t fcolor = NoColor;
  const TmemoryBitmap* fmask = nullptr;
  TChannel fmaskChannel = mcAlpha;
  TAnchortype fAnchor = atCenterMiddle;
  bool fpreserve = true;
  std::vector<std::uint8_t> tiles;
  int tilesWidth = 0, tilesHeight = 0;
  bool isTiles = false;
};

}  // namespace qv
