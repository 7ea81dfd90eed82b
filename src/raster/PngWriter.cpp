// PNG written by our own writer: the signature, IHDR, one IDAT and IEND, each chunk with its
// CRC. The rows are turned into the file's RGBA (or RGB) and straightened, then filtered, each
// with the filter that leaves the smallest bytes, in one pass over the row; the filtered rows
// become one zlib stream, made by our run coder (raster/RunDeflate.h) for pages of graphics and
// by libdeflate for pictures.
#include <libdeflate.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "raster/ImageFormats.h"
#include "raster/PngFilters.h"
#include "raster/RunDeflate.h"

namespace qv::image {

namespace {

// One table of every (alpha, premultiplied colour) pair: straightening is a lookup per byte.
struct TStraightTable {
  std::uint8_t v[256][256];
  TStraightTable() {
    for (unsigned a = 0; a < 256; ++a) {
      for (unsigned c = 0; c < 256; ++c) {
        const unsigned s = a == 255 ? c : a == 0 ? 0 : (c * 255u + a / 2) / a;
        v[a][c] = static_cast<std::uint8_t>(s > 255 ? 255 : s);
      }
    }
  }
};

const TStraightTable& StraightTable() {
  static const TStraightTable table;
  return table;
}

// Pixels of our BGRA as the file's bytes: red, green, blue and (Bpp 4) alpha, colours divided by
// their alpha when Straighten.
template <int Bpp, bool Straighten>
inline void FilePixels(const std::uint8_t* from, std::uint8_t* to, int n, const TStraightTable& table) {
  for (int x = 0; x < n; ++x, from += 4, to += Bpp) {
    if constexpr (Straighten) {
      const std::uint8_t* s = table.v[from[3]];
      to[0] = s[from[2]];
      to[1] = s[from[1]];
      to[2] = s[from[0]];
    } else {
      to[0] = from[2];
      to[1] = from[1];
      to[2] = from[0];
    }
    if constexpr (Bpp == 4) to[3] = from[3];
  }
}

// A row of our BGRA as the file's bytes. Straightening looks up each byte; runs of 8 pixels that
// are all opaque (nothing to divide) or all transparent (nothing to show) skip the lookups.
template <int Bpp, bool Straighten>
void FileRow(const std::uint8_t* from, std::uint8_t* to, int w) {
  const TStraightTable& table = StraightTable();
  constexpr int kRun = 8;
  int x = 0;
  if constexpr (Straighten) {
    for (; x + kRun <= w; x += kRun, from += 4 * kRun, to += Bpp * kRun) {
      unsigned all = 255, any = 0;
      for (int i = 0; i < kRun; ++i) {
        all &= from[4 * i + 3];
        any |= from[4 * i + 3];
      }
      if (all == 255) {
        FilePixels<Bpp, false>(from, to, kRun, table);
      } else if (any == 0) {
        std::memset(to, 0, Bpp * kRun);
      } else {
        FilePixels<Bpp, true>(from, to, kRun, table);
      }
    }
  }
  FilePixels<Bpp, Straighten>(from, to, w - x, table);
}

using TFileRow = void (*)(const std::uint8_t*, std::uint8_t*, int);

void Put32(std::uint8_t* p, std::uint32_t v) {
  p[0] = std::uint8_t(v >> 24);
  p[1] = std::uint8_t(v >> 16);
  p[2] = std::uint8_t(v >> 8);
  p[3] = std::uint8_t(v);
}

// Closes the chunk whose length field is at `chunk` and whose data are `length` bytes: its length
// and the CRC of its type and data. Answers the end of the chunk.
std::uint8_t* CloseChunk(std::uint8_t* chunk, std::size_t length) {
  Put32(chunk, std::uint32_t(length));
  Put32(chunk + 8 + length, std::uint32_t(libdeflate_crc32(0, chunk + 4, 4 + length)));
  return chunk + 12 + length;
}

// Level 2 of libdeflate's twelve: on frames the quickest (level 1's other match finder is slower on
// their long runs), with files a tenth smaller than zlib's at level 3; higher levels gain a few
// per cent for up to twice the time.
constexpr int kDeflateLevel = 2;

struct TCompressorFree {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// What one thread's writes reuse, so that a run of frames does not allocate (and fault in) a
// frame's worth of fresh memory for each: the filtered rows, the compressed stream, the
// compressor and its tables.
struct TPngScratch {
  std::vector<std::uint8_t> filtered, rows, packed;
  TFilterScratch candidates;
  TRunDeflateScratch runs;
  std::unique_ptr<libdeflate_compressor, TCompressorFree> compressor{libdeflate_alloc_compressor(kDeflateLevel)};
};

}  // namespace

std::vector<std::uint8_t> EncodePng(const std::string& name, const std::uint8_t* bgra, int w, int h, bool withAlpha,
                                    bool straighten) {
  if (w <= 0 || h <= 0 || w > 0x7fffffff / 4) throw EImageError(name, "cannot write the image: invalid size");
  const int bpp = withAlpha ? 4 : 3;
  const TFileRow fileRow = withAlpha ? (straighten ? FileRow<4, true> : FileRow<4, false>)
                                     : (straighten ? FileRow<3, true> : FileRow<3, false>);
  const std::size_t rowBytes = std::size_t(w) * std::size_t(bpp);

  thread_local TPngScratch scratch;
  if (!scratch.compressor) throw std::bad_alloc();
  // The filtered rows, each behind its filter byte; the file's bytes of this row and the one
  // above, each behind kFilterPad zero bytes (the bytes left of the first pixel).
  std::vector<std::uint8_t>& filtered = scratch.filtered;
  filtered.resize((rowBytes + 1) * std::size_t(h));
  scratch.rows.assign(2 * (kFilterPad + rowBytes), 0);
  std::uint8_t* cur = scratch.rows.data() + kFilterPad;
  std::uint8_t* prev = cur + rowBytes + kFilterPad;
  TFilterScratch& candidates = scratch.candidates;
  candidates.Resize(rowBytes);
  const std::size_t stride = std::size_t(w) * 4;
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* from = bgra + std::size_t(y) * stride;
    std::uint8_t* out = filtered.data() + std::size_t(y) * (rowBytes + 1);
    if (y > 0 && std::memcmp(from, from - stride, stride) == 0) {
      // The row above again (a transparent margin, a flat bar): Up leaves zeros.
      out[0] = pfUp;
      std::memset(out + 1, 0, rowBytes);
      continue;
    }
    fileRow(from, cur, w);
    out[0] = std::uint8_t(FilterRow(cur, prev, rowBytes, bpp, out + 1, candidates));
    std::swap(cur, prev);
  }
  // A page of graphics filters to runs (transparent margins, flat bars) with a few per cent of
  // other bytes between them: the run coder's time is in those bytes, where libdeflate spends
  // ~1 ns on every byte searching for matches. Pictures that fill the page (more than a quarter
  // of their bytes outside runs) go to libdeflate, which is the quicker of the two on them.
  std::size_t packed = RunDeflateZlib(filtered.data(), filtered.size(), scratch.runs, filtered.size() / 4);
  const std::uint8_t* stream = scratch.runs.out.data();
  if (packed == 0) {
    scratch.packed.resize(libdeflate_zlib_compress_bound(scratch.compressor.get(), filtered.size()));
    packed = libdeflate_zlib_compress(scratch.compressor.get(), filtered.data(), filtered.size(), scratch.packed.data(),
                                      scratch.packed.size());
    stream = scratch.packed.data();
  }
  if (packed == 0 || packed > 0x7fffffff) throw EImageError(name, "cannot write the image: the pixels do not fit a PNG");

  static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  std::vector<std::uint8_t> bytes(sizeof kSignature + 25 + 12 + packed + 12);
  std::uint8_t* p = bytes.data();
  std::memcpy(p, kSignature, sizeof kSignature);
  p += sizeof kSignature;

  std::memcpy(p + 4, "IHDR", 4);
  Put32(p + 8, std::uint32_t(w));
  Put32(p + 12, std::uint32_t(h));
  p[16] = 8;                    // bits per sample
  p[17] = withAlpha ? 6 : 2;    // RGBA or RGB
  p[18] = p[19] = p[20] = 0;    // deflate, adaptive filters, not interlaced
  p = CloseChunk(p, 13);

  std::memcpy(p + 4, "IDAT", 4);
  std::memcpy(p + 8, stream, packed);
  p = CloseChunk(p, packed);

  std::memcpy(p + 4, "IEND", 4);
  CloseChunk(p, 0);
  return bytes;
}

void UnpremultiplyRow(const std::uint8_t* from, std::uint8_t* to, int w) {
  const TStraightTable& table = StraightTable();
  for (int x = 0; x < w; ++x, from += 4, to += 4) {
    const std::uint8_t* s = table.v[from[3]];
    to[0] = s[from[0]];
    to[1] = s[from[1]];
    to[2] = s[from[2]];
    to[3] = from[3];
  }
}

}  // namespace qv::image
