// Our PNG writer: its five row filters against the decoding formulas, the filter it chooses, and
// whole files, which pngcheck finds valid and libpng reads back to the pixels written (straight
// colours for premultiplied frames, RGB without alpha) for a table of pictures: odd sizes, one
// pixel, fully transparent, semi-transparent, noise, gradients and repeated rows.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <random>

#include "TestImages.h"
#include "raster/ImageFormats.h"
#include "raster/PngFilters.h"
#include "support/Files.h"
#include "support/Qvrender.h"

namespace qv {
namespace {

using namespace qv::test;
using image::TPngFilter;

// Undoes a filter as a decoder does (a: the byte one pixel left, b: above, c: above-left).
std::vector<std::uint8_t> Unfilter(TPngFilter f, const std::vector<std::uint8_t>& filtered,
                                   const std::vector<std::uint8_t>& prev, int bpp) {
  std::vector<std::uint8_t> out(filtered.size());
  for (std::size_t i = 0; i < out.size(); ++i) {
    const int a = i >= std::size_t(bpp) ? out[i - std::size_t(bpp)] : 0;
    const int b = prev[i];
    const int c = i >= std::size_t(bpp) ? prev[i - std::size_t(bpp)] : 0;
    int predicted = 0;
    switch (f) {
      case image::pfNone: predicted = 0; break;
      case image::pfSub: predicted = a; break;
      case image::pfUp: predicted = b; break;
      case image::pfAverage: predicted = (a + b) / 2; break;
      case image::pfPaeth: {
        const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
        predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        break;
      }
    }
    out[i] = std::uint8_t(filtered[i] + predicted);
  }
  return out;
}

// A row with kFilterPad zero bytes in front, as the filters read it.
struct TPaddedRow {
  explicit TPaddedRow(const std::vector<std::uint8_t>& bytes) : storage(image::kFilterPad, 0) {
    storage.insert(storage.end(), bytes.begin(), bytes.end());
  }
  const std::uint8_t* data() const { return storage.data() + image::kFilterPad; }
  std::vector<std::uint8_t> storage;
};

TEST(PngFilters, EveryFilterIsUndoneByItsDecodingFormula) {
  std::mt19937 random(7);
  for (int bpp : {3, 4}) {
    for (int pixels : {1, 2, 5, 16, 33, 100}) {
      const std::size_t n = std::size_t(pixels) * std::size_t(bpp);
      std::vector<std::uint8_t> cur(n), prev(n);
      for (auto& v : cur) v = std::uint8_t(random());
      for (auto& v : prev) v = std::uint8_t(random());
      const TPaddedRow c(cur), p(prev);
      for (TPngFilter f : {image::pfNone, image::pfSub, image::pfUp, image::pfAverage, image::pfPaeth}) {
        std::vector<std::uint8_t> out(n);
        image::ApplyFilter(f, c.data(), p.data(), n, bpp, out.data());
        EXPECT_EQ(Unfilter(f, out, prev, bpp), cur) << "filter " << f << ", bpp " << bpp << ", " << pixels << " pixels";
      }
    }
  }
}

// The row of bytes cur / prev make with the filter FilterRow chose; it must be that filter's own
// output, and the choice the one whose bytes have the smallest sum of signed magnitudes.
TEST(PngFilters, TheChosenFilterLeavesTheSmallestBytes) {
  auto ramp = [](int start, int step, int n) {
    std::vector<std::uint8_t> v(std::size_t(n) * 4);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = std::uint8_t(start + step * int(i / 4));
    return v;
  };
  std::mt19937 random(11);
  std::vector<std::uint8_t> noise(64);
  for (auto& v : noise) v = std::uint8_t(random());
  std::vector<std::uint8_t> brighter(noise);
  for (auto& v : brighter) v = std::uint8_t(v + 1);
  // Pixels of 0 and 5 in turn: any prediction only adds to them.
  std::vector<std::uint8_t> alternating(64);
  for (std::size_t i = 0; i < alternating.size(); ++i) alternating[i] = i / 4 % 2 ? 5 : 0;
  // Each byte the mean of the one left of it and the one above (100).
  std::vector<std::uint8_t> halfway(64);
  for (std::size_t i = 0; i < halfway.size(); ++i) halfway[i] = std::uint8_t(((i >= 4 ? halfway[i - 4] : 0) + 100) / 2);
  struct TCase {
    const char* what;
    std::vector<std::uint8_t> cur, prev;
    TPngFilter expected;
  };
  const TCase cases[] = {
      {"the row above again", noise, noise, image::pfUp},
      {"small values", alternating, noise, image::pfNone},
      {"a ramp along the row", ramp(10, 3, 16), ramp(200, 7, 16), image::pfSub},
      {"the row above, brighter", brighter, noise, image::pfUp},
      {"halfway between left and above", halfway, ramp(100, 0, 16), image::pfAverage},
      {"a ramp both ways", ramp(40, 3, 16), ramp(35, 3, 16), image::pfPaeth},
  };
  for (const TCase& c : cases) {
    const std::size_t n = c.cur.size();
    const TPaddedRow cur(c.cur), prev(c.prev);
    image::TFilterScratch scratch(n);
    std::vector<std::uint8_t> out(n);
    const TPngFilter chosen = image::FilterRow(cur.data(), prev.data(), n, 4, out.data(), scratch);
    EXPECT_EQ(chosen, c.expected) << c.what;
    EXPECT_EQ(Unfilter(chosen, out, c.prev, 4), c.cur) << c.what;
    auto measure = [](const std::vector<std::uint8_t>& v) {
      long sum = 0;
      for (std::uint8_t b : v) sum += std::min<int>(b, 256 - b);
      return sum;
    };
    for (TPngFilter f : {image::pfNone, image::pfSub, image::pfUp, image::pfAverage, image::pfPaeth}) {
      std::vector<std::uint8_t> other(n);
      image::ApplyFilter(f, cur.data(), prev.data(), n, 4, other.data());
      EXPECT_LE(measure(out), measure(other)) << c.what << ": filter " << f << " leaves smaller bytes";
    }
  }
}

// The AVX2 build of the filters against the baseline build, on rows of every length up to 300
// pixels: noise, runs and ramps, where each filter wins somewhere.
TEST(PngFilters, VariantsChooseAlikeAndWriteTheSameBytes) {
  const image::TFilterRowFn avx2 = image::FilterRowAvx2();
  if (avx2 == nullptr) GTEST_SKIP() << "this CPU has no AVX2";
  const image::TFilterRowFn baseline = image::FilterRowBaseline();
  std::mt19937 random(5);
  std::map<int, int> chosen;
  for (int bpp : {3, 4}) {
    for (int pixels = 1; pixels <= 300; ++pixels) {
      const std::size_t n = std::size_t(pixels) * std::size_t(bpp);
      std::vector<std::uint8_t> cur(n), prev(n);
      const int kind = pixels % 4;
      for (std::size_t i = 0; i < n; ++i) {
        prev[i] = std::uint8_t(kind == 0 ? random() : i * 3 + 7);
        cur[i] = std::uint8_t(kind == 0 ? random() : kind == 1 ? prev[i] + random() % 3 : kind == 2 ? i / 5 : i * 3 + 12);
      }
      const TPaddedRow c(cur), p(prev);
      std::vector<std::uint8_t> outA(n), outB(n), roomA(5 * n), roomB(5 * n);
      const TPngFilter a = baseline(c.data(), p.data(), n, bpp, outA.data(), roomA.data());
      const TPngFilter b = avx2(c.data(), p.data(), n, bpp, outB.data(), roomB.data());
      ASSERT_EQ(a, b) << bpp << " bytes a pixel, " << pixels << " pixels";
      ASSERT_EQ(outA, outB) << bpp << " bytes a pixel, " << pixels << " pixels";
      ++chosen[a];
    }
  }
  EXPECT_GE(chosen.size(), 4u) << "the rows should make most filters win somewhere";
}

// What libpng reads from a file: its size, colour type and pixels as 8-bit RGBA (or RGB).
struct TRead {
  int w = 0, h = 0, colourType = -1;
  std::vector<std::uint8_t> px;
};

TRead ReadWithLibpng(const std::vector<std::uint8_t>& bytes, bool alpha) {
  TRead r;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
    ADD_FAILURE() << "libpng: " << image.message;
    return r;
  }
  image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  r.w = int(image.width);
  r.h = int(image.height);
  r.colourType = image.format;
  r.px.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, r.px.data(), 0, nullptr)) {
    ADD_FAILURE() << "libpng: " << image.message;
    r.px.clear();
  }
  return r;
}

// Premultiplied 0xAARRGGBB as the straight red, green, blue and alpha a file holds.
std::array<std::uint8_t, 4> Straight(std::uint32_t argb) {
  const unsigned a = argb >> 24;
  std::array<std::uint8_t, 4> v{};
  for (int k = 0; k < 3; ++k) {
    const unsigned c = (argb >> (16 - 8 * k)) & 0xFF;
    const unsigned s = a == 0 ? 0 : (c * 255 + a / 2) / a;
    v[std::size_t(k)] = std::uint8_t(std::min(255u, s));
  }
  v[3] = std::uint8_t(a);
  return v;
}

struct TPicture {
  const char* name;
  int w, h;
  std::function<std::uint32_t(int x, int y)> pixel;  // premultiplied 0xAARRGGBB
};

std::uint32_t Premultiplied(unsigned a, unsigned r, unsigned g, unsigned b) {
  return (a << 24) | ((r * a / 255) << 16) | ((g * a / 255) << 8) | (b * a / 255);
}

std::uint32_t Noise(int x, int y) {
  std::uint32_t v = std::uint32_t(x) * 2654435761u ^ std::uint32_t(y) * 40503u;
  v ^= v >> 13;
  v *= 0x5bd1e995u;
  return v ^ (v >> 15);
}

const TPicture kPictures[] = {
    {"one opaque pixel", 1, 1, [](int, int) { return 0xFF336699u; }},
    {"one transparent pixel", 1, 1, [](int, int) { return 0u; }},
    {"known 7x5", 7, 5, [](int x, int y) { return Premultiplied(255 - 40 * x - 7 * y, 30 * x, 50 * y, 200); }},
    {"fully transparent 9x4", 9, 4, [](int, int) { return 0u; }},
    {"every alpha 16x16", 16, 16,
     [](int x, int y) { return Premultiplied(unsigned(16 * y + x), unsigned(x * 17), unsigned(y * 13), 255 - unsigned(x * 9)); }},
    {"odd 13x11 semi-transparent", 13, 11, [](int x, int y) { return Premultiplied(128, unsigned(19 * x), unsigned(23 * y), 77); }},
    {"noise 37x9", 37, 9,
     [](int x, int y) {
       const std::uint32_t n = Noise(x, y);
       return Premultiplied(n >> 24, (n >> 16) & 0xFF, (n >> 8) & 0xFF, n & 0xFF);
     }},
    {"gradient 301x3", 301, 3, [](int x, int y) { return Premultiplied(255, unsigned(x * 255 / 300), unsigned(y * 100), 128); }},
    {"tall 1x300", 1, 300, [](int, int y) { return Premultiplied(unsigned(y % 256), 200, 100, 50); }},
    {"bands of repeated rows 33x40", 33, 40,
     [](int x, int y) { return y / 8 % 2 ? 0u : Premultiplied(x < 10 ? 255 : 180, 240, 200, 10); }},
};

TEST(PngWriter, FilesAreValidAndReadBackToTheirPixels) {
  TTestDir dir("pngwriter");
  const bool havePngcheck = ::access("/usr/bin/pngcheck", X_OK) == 0;
  if (!havePngcheck) std::fprintf(stderr, "pngcheck is not installed: its check is left out\n");
  struct TMode {
    const char* what;
    bool alpha, straighten;
  };
  const TMode modes[] = {{"premultiplied frame", true, true}, {"as it is", true, false}, {"colour only", false, false}};
  for (const TPicture& pic : kPictures) {
    TmemoryBitmap b(pic.w, pic.h);
    for (int y = 0; y < pic.h; ++y)
      for (int x = 0; x < pic.w; ++x) b.SetPixel(x, y, pic.pixel(x, y));
    for (const TMode& m : modes) {
      SCOPED_TRACE(std::string(pic.name) + ", " + m.what);
      const std::vector<std::uint8_t> png = image::EncodePng("t.png", b.Bits, pic.w, pic.h, m.alpha, m.straighten);
      if (havePngcheck) {
        const std::string file = (dir / "t.png").string();
        WriteBytes(file, png);
        const TRunResult check = RunProgram("/usr/bin/pngcheck", {"-q", file});
        EXPECT_EQ(check.code, 0) << check.out << check.err;
      }
      const TRead r = ReadWithLibpng(png, m.alpha);
      ASSERT_EQ(r.w, pic.w);
      ASSERT_EQ(r.h, pic.h);
      ASSERT_EQ(r.px.size(), std::size_t(pic.w) * pic.h * (m.alpha ? 4 : 3));
      const std::size_t channels = m.alpha ? 4 : 3;
      for (int y = 0; y < pic.h; ++y) {
        for (int x = 0; x < pic.w; ++x) {
          const std::uint32_t p = pic.pixel(x, y);
          const std::array<std::uint8_t, 4> want =
              m.straighten ? Straight(p)
                           : std::array<std::uint8_t, 4>{std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p),
                                                         std::uint8_t(p >> 24)};
          const std::uint8_t* got = &r.px[(std::size_t(y) * pic.w + x) * channels];
          for (std::size_t k = 0; k < channels; ++k)
            ASSERT_EQ(int(got[k]), int(want[k])) << "pixel " << x << "," << y << " byte " << k;
        }
      }
    }
  }
}

// The file's chunks in order, with their checksums, as a reader walks them.
TEST(PngWriter, ChunksAreSignatureHeaderDataEnd) {
  TmemoryBitmap b(5, 3);
  b.Fill(0x80402010u);
  const std::vector<std::uint8_t> png = image::EncodePng("t.png", b.Bits, 5, 3, true, true);
  const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  ASSERT_GT(png.size(), 8u);
  EXPECT_TRUE(std::equal(signature, signature + 8, png.begin()));
  std::vector<std::string> types;
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const std::size_t length = (std::size_t(png[at]) << 24) | (std::size_t(png[at + 1]) << 16) |
                               (std::size_t(png[at + 2]) << 8) | png[at + 3];
    types.emplace_back(png.begin() + std::ptrdiff_t(at + 4), png.begin() + std::ptrdiff_t(at + 8));
    at += 12 + length;
    if (types.back() == "IEND") {
      EXPECT_EQ(at, png.size());
    }
  }
  EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  // IHDR: 5 x 3, 8 bits, RGBA, deflate, adaptive filters, no interlacing.
  const std::vector<std::uint8_t> header(png.begin() + 16, png.begin() + 29);
  EXPECT_EQ(header, (std::vector<std::uint8_t>{0, 0, 0, 5, 0, 0, 0, 3, 8, 6, 0, 0, 0}));
}

}  // namespace
}  // namespace qv
