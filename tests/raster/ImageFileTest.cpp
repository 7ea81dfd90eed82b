// TStreamedBitmap: decoding every variant the editor must read into blue, green, red, alpha with
// the right orientation; damaged, unrecognised and oversized files; saving; resampling.
#include <OpenImageIO/imageio.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "FixtureWriters.h"
#include "TestImages.h"
#include "raster/ImageFormats.h"
#include "raster/StreamBitmaps.h"
#include "support/Files.h"

namespace qv {
namespace {

using namespace qv::test;
namespace fs = std::filesystem;

class ImageFiles : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    WriteBytes(Path(name), bytes);
    return Path(name);
  }
  TTestDir dir_{"raster"};
};

// Every pixel as the picture says, alpha as given by the file (or 255 when it has none).
void ExpectPicture(const TmemoryBitmap& b, const Rgba& pic, bool hasAlpha, bool grey, const std::string& what) {
  ASSERT_EQ(b.Width(), pic.w) << what;
  ASSERT_EQ(b.Height(), pic.h) << what;
  for (int y = 0; y < pic.h; ++y)
    for (int x = 0; x < pic.w; ++x) {
      const std::uint8_t* q = pic.at(x, y);
      const std::uint32_t r = q[0], g = grey ? q[0] : q[1], bl = grey ? q[0] : q[2];
      const std::uint32_t a = hasAlpha ? q[3] : 255;
      const std::uint32_t want = (a << 24) | (r << 16) | (g << 8) | bl;
      ASSERT_EQ(Hex(b.Pixel(x, y)), Hex(want)) << what << " at " << x << "," << y;
    }
}

TEST_F(ImageFiles, TgaVariants) {
  const Rgba pic = KnownPicture();
  // A picture with runs, so that RLE files hold run packets as well as raw ones.
  Rgba runs = KnownPicture(9, 4);
  for (int x = 2; x < 7; ++x) std::memcpy(runs.at(x, 1), runs.at(1, 1), 4);
  struct Case {
    const char* name;
    TgaOptions o;
    const Rgba* pic;
    bool alpha, grey;
  } cases[] = {
      {"tc32_bottom", {TgaKind::TrueColor, 32, false, false}, &pic, true, false},
      {"tc32_top", {TgaKind::TrueColor, 32, false, true}, &pic, true, false},
      {"tc24_bottom", {TgaKind::TrueColor, 24, false, false}, &pic, false, false},
      {"tc24_top", {TgaKind::TrueColor, 24, false, true}, &pic, false, false},
      {"rle32_bottom", {TgaKind::TrueColor, 32, true, false}, &runs, true, false},
      {"rle32_top", {TgaKind::TrueColor, 32, true, true}, &runs, true, false},
      {"rle24_bottom", {TgaKind::TrueColor, 24, true, false}, &runs, false, false},
      {"grey_bottom", {TgaKind::Grey, 8, false, false}, &pic, false, true},
      {"grey_rle_top", {TgaKind::Grey, 8, true, true}, &runs, false, true},
      {"mapped_bottom", {TgaKind::ColorMapped, 8, false, false}, &pic, false, false},
      {"mapped_rle_top", {TgaKind::ColorMapped, 8, true, true}, &runs, false, false},
  };
  for (const Case& c : cases) {
    const std::string path = Write(std::string(c.name) + ".tga", EncodeTga(*c.pic, c.o));
    TStreamedBitmap b;
    b.LoadFromFile(path);
    ExpectPicture(b, *c.pic, c.alpha, c.grey, c.name);
  }
}

// What a 16-bit pixel or palette entry keeps of a colour byte: its top 5 bits, repeated.
std::uint8_t Widen5(std::uint8_t c) {
  const int v = c >> 3;
  return std::uint8_t((v << 3) | (v >> 2));
}

enum class TAlpha { Opaque, OneBit, Full };

// Every pixel as the picture says after the file's colour depth and alpha: 16-bit files keep 5
// bits per colour; alpha as stored (Full), as its top bit (OneBit) or 255 (Opaque).
void ExpectStored(const TmemoryBitmap& b, const Rgba& pic, TAlpha alpha, bool fiveBits, bool grey,
                  const std::string& what) {
  ASSERT_EQ(b.Width(), pic.w) << what;
  ASSERT_EQ(b.Height(), pic.h) << what;
  for (int y = 0; y < pic.h; ++y)
    for (int x = 0; x < pic.w; ++x) {
      const std::uint8_t* q = pic.at(x, y);
      auto c = [&](int i) -> std::uint32_t { return fiveBits ? Widen5(q[grey ? 0 : i]) : q[grey ? 0 : i]; };
      const std::uint32_t a = alpha == TAlpha::Full ? q[3] : alpha == TAlpha::OneBit ? (q[3] >= 128 ? 255 : 0) : 255;
      const std::uint32_t want = (a << 24) | (c(0) << 16) | (c(1) << 8) | c(2);
      ASSERT_EQ(Hex(b.Pixel(x, y)), Hex(want)) << what << " at " << x << "," << y;
    }
}

// Alpha comes from what the header declares: the top bit of 16-bit pixels and palette entries
// only with an attribute bit, the fourth byte of 32-bit ones always; every image type, both origins.
TEST_F(ImageFiles, TgaAlphaFollowsTheHeader) {
  const Rgba pic = KnownPicture();  // alphas on both sides of 128, 0 and 255 among them
  using K = TgaKind;
  struct Case {
    const char* name;
    TgaOptions o;
    TAlpha alpha;
    bool fiveBits, grey;
  } cases[] = {
      {"t2_16_attr1_bottom", {K::TrueColor, 16, false, false, 24, 1}, TAlpha::OneBit, true, false},
      {"t2_16_attr1_top", {K::TrueColor, 16, false, true, 24, 1}, TAlpha::OneBit, true, false},
      {"t2_16_attr0_bottom", {K::TrueColor, 16, false, false, 24, 0}, TAlpha::Opaque, true, false},
      {"t2_16_attr0_top", {K::TrueColor, 16, false, true, 24, 0}, TAlpha::Opaque, true, false},
      {"t10_16_attr1_bottom", {K::TrueColor, 16, true, false, 24, 1}, TAlpha::OneBit, true, false},
      {"t10_16_attr1_top", {K::TrueColor, 16, true, true, 24, 1}, TAlpha::OneBit, true, false},
      {"t10_16_attr0_top", {K::TrueColor, 16, true, true, 24, 0}, TAlpha::Opaque, true, false},
      {"t2_32_attr8_bottom", {K::TrueColor, 32, false, false, 24, 8}, TAlpha::Full, false, false},
      {"t2_32_attr0_top", {K::TrueColor, 32, false, true, 24, 0}, TAlpha::Full, false, false},
      {"t10_32_attr0_bottom", {K::TrueColor, 32, true, false, 24, 0}, TAlpha::Full, false, false},
      {"t2_24_top", {K::TrueColor, 24, false, true}, TAlpha::Opaque, false, false},
      {"t1_e16_attr1_bottom", {K::ColorMapped, 8, false, false, 16, 1}, TAlpha::OneBit, true, false},
      {"t1_e16_attr1_top", {K::ColorMapped, 8, false, true, 16, 1}, TAlpha::OneBit, true, false},
      {"t1_e16_attr0_top", {K::ColorMapped, 8, false, true, 16, 0}, TAlpha::Opaque, true, false},
      {"t9_e16_attr1_bottom", {K::ColorMapped, 8, true, false, 16, 1}, TAlpha::OneBit, true, false},
      {"t9_e16_attr0_top", {K::ColorMapped, 8, true, true, 16, 0}, TAlpha::Opaque, true, false},
      {"t1_e32_attr8_bottom", {K::ColorMapped, 8, false, false, 32, 8}, TAlpha::Full, false, false},
      {"t9_e32_attr8_top", {K::ColorMapped, 8, true, true, 32, 8}, TAlpha::Full, false, false},
      {"t1_e24_top", {K::ColorMapped, 8, false, true, 24}, TAlpha::Opaque, false, false},
      {"t3_bottom", {K::Grey, 8, false, false}, TAlpha::Opaque, false, true},
      {"t3_top", {K::Grey, 8, false, true}, TAlpha::Opaque, false, true},
      {"t11_bottom", {K::Grey, 8, true, false}, TAlpha::Opaque, false, true},
      {"t11_top", {K::Grey, 8, true, true}, TAlpha::Opaque, false, true},
  };
  for (const Case& c : cases) {
    TStreamedBitmap b;
    b.LoadFromFile(Write(std::string(c.name) + ".tga", EncodeTga(pic, c.o)));
    ExpectStored(b, pic, c.alpha, c.fiveBits, c.grey, c.name);
  }
}

// Columns stored right first, and palette indices counted from the colour map's first index.
TEST_F(ImageFiles, TgaRightOriginsAndColourMapOffsets) {
  const Rgba pic = KnownPicture();
  using K = TgaKind;
  struct Case {
    const char* name;
    TgaOptions o;
    TAlpha alpha;
  } cases[] = {
      {"t2_32_top_right", {K::TrueColor, 32, false, true, 24, 8, true}, TAlpha::Full},
      {"t10_32_bottom_right", {K::TrueColor, 32, true, false, 24, 8, true}, TAlpha::Full},
      {"t1_first7_bottom", {K::ColorMapped, 8, false, false, 24, 0, false, 7}, TAlpha::Opaque},
      {"t9_first200_top", {K::ColorMapped, 8, true, true, 24, 0, false, 200}, TAlpha::Opaque},
  };
  for (const Case& c : cases) {
    TStreamedBitmap b;
    b.LoadFromFile(Write(std::string(c.name) + ".tga", EncodeTga(pic, c.o)));
    ExpectStored(b, pic, c.alpha, false, false, c.name);
  }
}

// A TGA 2.0 extension area whose attributes type says the attribute bits hold no alpha (0 to 2)
// makes the picture opaque; 3 (alpha) and 4 (premultiplied) keep it.
TEST_F(ImageFiles, TgaExtensionAreaDecidesWhetherAttributeBitsAreAlpha) {
  const Rgba pic = KnownPicture();
  for (const auto& [type, alpha] : {std::pair{0, TAlpha::Opaque}, {2, TAlpha::Opaque}, {3, TAlpha::OneBit}, {4, TAlpha::OneBit}}) {
    std::vector<std::uint8_t> v = EncodeTga(pic, {TgaKind::TrueColor, 16, false, false, 24, 1});
    const std::uint32_t ext = std::uint32_t(v.size());
    std::vector<std::uint8_t> area(495, 0);
    area[0] = 495 & 0xFF;
    area[1] = 495 >> 8;
    area[494] = std::uint8_t(type);
    v.insert(v.end(), area.begin(), area.end());
    for (int k = 0; k < 4; ++k) v.push_back(std::uint8_t(ext >> (8 * k)));
    for (int k = 0; k < 4; ++k) v.push_back(0);
    const char sig[] = "TRUEVISION-XFILE.";
    v.insert(v.end(), sig, sig + sizeof sig);  // with its closing zero
    TStreamedBitmap b;
    b.LoadFromFile(Write("ext" + std::to_string(type) + ".tga", v));
    ExpectStored(b, pic, alpha, true, false, "attributes type " + std::to_string(type));
  }
}

// A 3 x 2 A1R5G5B5 file, top-left origin, whose header declares one attribute bit: red, green
// (transparent), blue / white (transparent), (16, 8, 4), (1, 2, 3) (transparent) in 5-bit values.
TEST_F(ImageFiles, Tga16WithAnAlphaBitKeepsItsTransparency) {
  TStreamedBitmap b;
  b.LoadFromFile(std::string(QV_TEST_DATA_DIR) + "/tga16-alpha-bit.tga");
  ASSERT_EQ(b.Width(), 3);
  ASSERT_EQ(b.Height(), 2);
  const std::uint32_t want[2][3] = {{0xFFFF0000u, 0x0000FF00u, 0xFF0000FFu},
                                    {0x00FFFFFFu, 0xFF844221u, 0x00081018u}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(Hex(b.Pixel(x, y)), Hex(want[y][x])) << x << "," << y;
}

// Loading must throw an error naming the file and leave the bitmap as it was.
void ExpectDamaged(const std::string& path, const std::string& part, const std::string& what) {
  TStreamedBitmap b = TStreamedBitmap(MarkedBitmap(5, 4));
  const std::uint8_t* bits = b.Bits;
  try {
    b.LoadFromFile(path);
    ADD_FAILURE() << what << ": no error";
  } catch (const EImageError& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << what << ": " << e.what();
    EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << what << ": " << e.what();
    EXPECT_EQ(e.FileName(), path) << what;
  }
  ASSERT_EQ(b.Width(), 5) << what;
  EXPECT_EQ(b.Bits, bits) << what;
  EXPECT_EQ(b.Pixel(4, 3), Marker(4, 3)) << what;
}

// Colour-mapped files whose pixels name entries the colour map does not have (the map starts at
// 32768 and holds 2 entries; the pixels say 0, 0x33, 1, 7): raw (type 1) and run-length (type 9).
TEST_F(ImageFiles, TgaIndicesOutsideTheColourMapAreDamage) {
  for (const char* file : {"tga-cmap-index-outside.tga", "tga-rle-cmap-index-outside.tga"}) {
    const std::string path = std::string(QV_TEST_DATA_DIR) + "/" + file;
    ExpectDamaged(path, "damaged targa image", file);
    std::ifstream f(path, std::ios::binary);
    TStreamedBitmap s = TStreamedBitmap(MarkedBitmap(2, 2));
    EXPECT_THROW(s.LoadFromStream(f), EImageError) << file;
    EXPECT_EQ(s.Pixel(1, 1), Marker(1, 1)) << file;
  }
  // An index below the map's first entry, in a file written whole.
  std::vector<std::uint8_t> low = EncodeTga(KnownPicture(), {TgaKind::ColorMapped, 8, false, false, 24, 0, false, 7});
  low.back() = 6;
  ExpectDamaged(Write("low.tga", low), "damaged targa image", "index below the map");
}

// Files cut anywhere after the header: in the colour map, in the pixels, one byte short.
TEST_F(ImageFiles, TruncatedTgaFilesAreDamage) {
  const Rgba pic = KnownPicture();
  Rgba runs = KnownPicture(9, 4);
  for (int x = 2; x < 7; ++x) std::memcpy(runs.at(x, 1), runs.at(1, 1), 4);
  using K = TgaKind;
  struct Kind {
    const char* name;
    TgaOptions o;
  } kinds[] = {
      {"t1", {K::ColorMapped, 8, false, false}}, {"t2", {K::TrueColor, 32, false, false}},
      {"t3", {K::Grey, 8, false, true}},         {"t9", {K::ColorMapped, 8, true, true}},
      {"t10", {K::TrueColor, 24, true, false}},  {"t11", {K::Grey, 8, true, false}},
      {"t2_16", {K::TrueColor, 16, false, true, 24, 1}},
  };
  for (const Kind& k : kinds) {
    const std::vector<std::uint8_t> whole = EncodeTga(k.o.rle ? runs : pic, k.o);
    std::vector<std::size_t> cuts = {18, whole.size() / 2, whole.size() - 1};
    if (k.o.kind == K::ColorMapped) cuts.push_back(18 + 5);  // inside the colour map
    for (std::size_t keep : cuts) {
      const std::string name = std::string(k.name) + "_" + std::to_string(keep) + ".tga";
      ExpectDamaged(Write(name, std::vector<std::uint8_t>(whole.begin(), whole.begin() + std::ptrdiff_t(keep))),
                    "damaged targa image", name);
    }
    // Shorter than a header: nothing a reader recognises.
    TStreamedBitmap b = TStreamedBitmap(MarkedBitmap(2, 2));
    b.LoadFromFile(Write(std::string(k.name) + "_17.tga", std::vector<std::uint8_t>(whole.begin(), whole.begin() + 17)));
    EXPECT_EQ(b.Bits, nullptr) << k.name;
  }
}

// Our BMP reader: every header size, bit depth and layout the format has, and alpha only where
// the file holds it (a picture whose every alpha is 0 is one whose writer left the byte unused).
TEST_F(ImageFiles, BmpVariants) {
  const Rgba pic = KnownPicture();
  Rgba opaque = pic;
  for (int y = 0; y < opaque.h; ++y)
    for (int x = 0; x < opaque.w; ++x) opaque.at(x, y)[3] = 255;
  Rgba clear = pic;
  for (int y = 0; y < clear.h; ++y)
    for (int x = 0; x < clear.w; ++x) clear.at(x, y)[3] = 0;
  Rgba few = KnownPicture(5, 3);  // 15 colours: fits 4 bits
  for (int y = 0; y < few.h; ++y)
    for (int x = 0; x < few.w; ++x) few.at(x, y)[3] = 255;
  Rgba two = few;  // 2 colours: fits 1 bit
  for (int y = 0; y < two.h; ++y)
    for (int x = 0; x < two.w; ++x) std::memcpy(two.at(x, y), few.at((x + y) % 2, 0), 4);
  Rgba four = few;  // 4 colours: fits 2 bits
  for (int y = 0; y < four.h; ++y)
    for (int x = 0; x < four.w; ++x) std::memcpy(four.at(x, y), few.at((x + 2 * y) % 4, 0), 4);
  struct Case {
    const char* name;
    const Rgba* pic;
    BmpOptions o;
    TAlpha alpha;
    bool fiveBits;
  } cases[] = {
      {"core24", &opaque, {24, 12}, TAlpha::Opaque, false},
      {"info24_top", &opaque, {24, 40, 0, {}, true}, TAlpha::Opaque, false},
      {"info32_alpha", &pic, {32, 40}, TAlpha::Full, false},
      {"info32_unused_alpha", &clear, {32, 40}, TAlpha::Opaque, false},
      {"info16_x1r5g5b5", &opaque, {16, 40}, TAlpha::Opaque, true},
      {"info16_a1r5g5b5_fields_top", &pic, {16, 56, 3, {0x7C00, 0x03E0, 0x001F, 0x8000}, true}, TAlpha::OneBit, true},
      {"v5_32_fields_alpha", &pic, {32, 124, 3, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}}, TAlpha::Full, false},
      {"v4_32_fields_rgba_order", &pic, {32, 108, 3, {0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF}}, TAlpha::Full, false},
      {"info32_fields_after_header", &opaque, {32, 40, 3, {0x000000FF, 0x0000FF00, 0x00FF0000}}, TAlpha::Opaque, false},
      {"pal8", &opaque, {8, 40}, TAlpha::Opaque, false},
      {"pal8_core_top", &opaque, {8, 12, 0, {}, false}, TAlpha::Opaque, false},
      {"pal4", &few, {4, 40}, TAlpha::Opaque, false},
      {"pal1_top", &two, {1, 40, 0, {}, true}, TAlpha::Opaque, false},
      {"rle8", &opaque, {8, 40, 1}, TAlpha::Opaque, false},
      {"pal2", &four, {2, 40}, TAlpha::Opaque, false},
      {"pal2_core", &four, {2, 12}, TAlpha::Opaque, false},
      {"rle24", &opaque, {24, 40, 4}, TAlpha::Opaque, false},
      {"rle24_top", &opaque, {24, 40, 4, {}, true}, TAlpha::Opaque, false},
  };
  for (const Case& c : cases) {
    TStreamedBitmap b;
    b.LoadFromFile(Write(std::string(c.name) + ".bmp", EncodeBmp(*c.pic, c.o)));
    ExpectStored(b, *c.pic, c.alpha, c.fiveBits, false, c.name);
  }
  // 5 and 6 bits: red 5 bits, green 6 (its top 6 bits repeated), blue 5.
  TStreamedBitmap b;
  b.LoadFromFile(Write("565.bmp", EncodeBmp(opaque, {16, 40, 3, {0xF800, 0x07E0, 0x001F}})));
  for (int y = 0; y < opaque.h; ++y)
    for (int x = 0; x < opaque.w; ++x) {
      const std::uint8_t* q = opaque.at(x, y);
      const std::uint32_t g = (q[1] >> 2 << 2) | (q[1] >> 6);
      EXPECT_EQ(Hex(b.Pixel(x, y)), Hex(0xFF000000u | (std::uint32_t(Widen5(q[0])) << 16) | (g << 8) | Widen5(q[2])))
          << x << "," << y;
    }
}

// RLE8 with a literal run, a delta that skips pixels (they stay transparent black) and an early
// end of the bitmap; cut and impossible files are damage.
TEST_F(ImageFiles, BmpRunLengthDetailsAndDamage) {
  // 4 x 3, bottom row first. Palette: 0 red, 1 green, 2 blue.
  std::vector<std::uint8_t> v = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 14 + 40 + 12, 0, 0, 0};
  const std::uint8_t info[40] = {40, 0, 0, 0, 4, 0, 0, 0, 3, 0, 0, 0, 1, 0, 8, 0, 1, 0, 0, 0};
  v.insert(v.end(), info, info + 40);
  v[14 + 32] = 3;  // colours used
  v.insert(v.end(), {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0});
  v.insert(v.end(), {0, 4, 1, 2, 1, 0,  // literal: green, blue, green, red; 4 = even, no padding
                     0, 0,              // end of line
                     2, 2,              // two blue
                     0, 2, 1, 1,        // move right 1, down 1: to (3, row 2)
                     1, 0,              // one red
                     0, 1});            // end of bitmap
  TStreamedBitmap b;
  b.LoadFromFile(Write("rle.bmp", v));
  ASSERT_EQ(b.Width(), 4);
  ASSERT_EQ(b.Height(), 3);
  const std::uint32_t R = 0xFFFF0000u, G = 0xFF00FF00u, B = 0xFF0000FFu;
  const std::uint32_t want[3][4] = {{0, 0, 0, R}, {B, B, 0, 0}, {G, B, G, R}};  // top row first
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Hex(b.Pixel(x, y)), Hex(want[y][x])) << x << "," << y;

  const Rgba pic = KnownPicture();
  const auto rle = EncodeBmp(pic, {8, 40, 1});
  const auto fields = EncodeBmp(pic, {16, 40, 3, {0xF800, 0x07E0, 0x001F}});
  auto cut = [](std::vector<std::uint8_t> x, std::size_t keep) {
    x.resize(keep);
    return x;
  };
  auto with = [](std::vector<std::uint8_t> x, std::size_t at, std::uint8_t value) {
    x[at] = value;
    return x;
  };
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
  } cases[] = {
      {"rle_cut.bmp", cut(rle, rle.size() - 5)},
      {"fields_cut.bmp", cut(fields, fields.size() - 1)},
      {"masks_cut.bmp", cut(fields, 14 + 40 + 6)},
      {"bits_3.bmp", with(EncodeBmp(pic, {24, 40}), 28, 3)},
      {"rle_with_24_bits.bmp", with(EncodeBmp(pic, {24, 40}), 30, 1)},
      {"jpeg_inside.bmp", with(with(EncodeBmp(pic, {24, 40}), 30, 4), 28, 0)},  // JPEG data: no bit count
      {"rle24_with_8_bits.bmp", with(EncodeBmp(pic, {24, 40, 4}), 28, 8)},
      {"rle24_cut.bmp", cut(EncodeBmp(pic, {24, 40, 4}), EncodeBmp(pic, {24, 40, 4}).size() - 7)},
      {"zero_width.bmp", with(with(with(with(EncodeBmp(pic, {24, 40}), 18, 0), 19, 0), 20, 0), 21, 0)},
  };
  for (const Case& c : cases) ExpectDamaged(Write(c.name, c.bytes), "damaged bmp image", c.name);
}

// One row per format: each recognises its own signature and nothing else's, and reads the size
// its header states where it has one.
TEST_F(ImageFiles, FormatTableRows) {
  const Rgba pic = KnownPicture();
  struct Case {
    const char* format;
    std::vector<std::uint8_t> bytes;
  } cases[] = {
      {"png", EncodePng(pic, {})},
      {"jpeg", EncodeJpeg(pic, {})},
      {"gif", EncodeGif(pic)},
      {"bmp", EncodeBmp24(pic)},
      {"targa", EncodeTga(pic, {})},
      {"tiff", {'I', 'I', 42, 0, 8, 0, 0, 0}},
      {"psd", {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 5, 0, 0, 0, 7}},
      {"dds", {'D', 'D', 'S', ' ', 124, 0, 0, 0, 7, 0x10, 0, 0, 5, 0, 0, 0, 7, 0, 0, 0}},
      {"hdr", {'#', '?', 'R', 'A', 'D', 'I', 'A', 'N', 'C', 'E', '\n'}},
      {"openexr", {0x76, 0x2f, 0x31, 0x01, 2, 0, 0, 0}},
      {"webp", {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P'}},
      {"pnm", {'P', '6', '\n', '7', ' ', '5', '\n', '2', '5', '5', '\n'}},
  };
  std::set<std::string> seen;
  for (const Case& c : cases) {
    const image::TImageFormat* f = image::FindImageFormat(c.bytes.data(), c.bytes.size());
    ASSERT_NE(f, nullptr) << c.format;
    EXPECT_EQ(std::string(f->name), c.format);
    seen.insert(f->name);
    std::int64_t w = 0, h = 0;
    if (f->statedSize && f->statedSize(c.bytes.data(), c.bytes.size(), w, h)) {
      EXPECT_EQ(w, 7) << c.format;
      EXPECT_EQ(h, 5) << c.format;
    }
  }
  EXPECT_EQ(seen.size(), image::ImageFormats().size()) << "a row without a case here";
  const std::string text = "hello world, not an image at all";
  EXPECT_EQ(image::FindImageFormat(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), nullptr);
}

// The names pictures go by, from the same rows: what the editor's picture dialog lists and what a
// file dropped on the page is taken for.
TEST(ImageFormatNames, EveryRowNamesItsExtensions) {
  const std::vector<std::string> all = image::PictureExtensions();
  for (const image::TImageFormat& f : image::ImageFormats()) {
    ASSERT_NE(std::string(f.extensions), "") << f.name;
    const std::string first = std::string(f.extensions).substr(0, std::string(f.extensions).find(' '));
    EXPECT_NE(std::find(all.begin(), all.end(), first), all.end()) << f.name;
  }
  EXPECT_EQ(std::set<std::string>(all.begin(), all.end()).size(), all.size()) << "an extension in two rows";
  const std::pair<const char*, bool> cases[] = {
      {"png", true},  {".png", true},  {".PNG", true},  {"jpg", true},  {".JPEG", true}, {".tga", true},
      {".tif", true}, {".tiff", true}, {".bmp", true},  {".gif", true}, {".exr", true},  {".webp", true},
      {".ppm", true}, {".txt", false}, {".rtf", false}, {".qv", false}, {"", false},     {".", false},
      {"pn", false},  {".png.", false},
  };
  for (const auto& [ext, picture] : cases) EXPECT_EQ(image::IsPictureExtension(ext), picture) << ext;
}

// Without the codec plug-in the formats it serves fail as damaged files do, naming the file, and
// writing them fails as an unknown extension does; our own readers and writers go on working.
TEST_F(ImageFiles, WithoutThePluginItsFormatsFailCleanly) {
  const Rgba pic = KnownPicture();
  TStreamedBitmap b = TStreamedBitmap(MarkedBitmap(3, 3));
  b.SaveToFile(Path("k.tif"));  // written while the plug-in is there
  image::UseCodecPlugin(Path("no-such-plugin.so"));
  struct Restore {
    ~Restore() { image::UseCodecPlugin(""); }
  } restore;
  ExpectDamaged(Path("k.tif"), "no reader for tiff images", "tiff");
  try {
    b.SaveToFile(Path("again.tif"));
    ADD_FAILURE() << "no error";
  } catch (const EImageError& e) {
    EXPECT_NE(std::string(e.what()).find("no image writer"), std::string::npos) << e.what();
  }
  TStreamedBitmap png;
  png.LoadFromFile(Write("k.png", EncodePng(pic, {})));
  ExpectPicture(png, pic, true, false, "png without the plug-in");
  png.SaveToFile(Path("back.tga"));
  TStreamedBitmap back;
  back.LoadFromFile(Path("back.tga"));
  ExpectPicture(back, pic, true, false, "tga without the plug-in");
}

TEST_F(ImageFiles, PngVariants) {
  const Rgba pic = KnownPicture();
  struct Case {
    const char* name;
    PngOptions o;
    bool alpha, grey;
  } cases[] = {
      {"rgb8", {PngKind::Rgb, 8, false, true}, false, false},
      {"rgba8", {PngKind::Rgba, 8, false, false}, true, false},
      {"grey8", {PngKind::Grey, 8, false, false}, false, true},
      {"greyalpha8", {PngKind::GreyAlpha, 8, false, false}, true, true},
      {"palette_trns", {PngKind::Palette, 8, false, false}, true, false},
      {"rgb16", {PngKind::Rgb, 16, false, false}, false, false},
      {"rgba16", {PngKind::Rgba, 16, false, false}, true, false},
      {"grey16", {PngKind::Grey, 16, false, false}, false, true},
      {"greyalpha16", {PngKind::GreyAlpha, 16, false, false}, true, true},
      {"rgba8_interlaced", {PngKind::Rgba, 8, true, false}, true, false},
      {"palette_interlaced", {PngKind::Palette, 8, true, false}, true, false},
  };
  for (const Case& c : cases) {
    const std::string path = Write(std::string(c.name) + ".png", EncodePng(pic, c.o));
    TStreamedBitmap b;
    b.LoadFromFile(path);
    ExpectPicture(b, pic, c.alpha, c.grey, c.name);
  }
}

TEST_F(ImageFiles, JpegVariantsLoadOpaqueInBlueGreenRedOrder) {
  const Rgba pic = Quadrants();
  struct Case {
    const char* name;
    JpegOptions o;
  } cases[] = {{"baseline", {false, false}}, {"progressive", {false, true}}, {"grey", {true, false}},
               {"grey_progressive", {true, true}}};
  for (const Case& c : cases) {
    const std::string path = Write(std::string(c.name) + ".jpg", EncodeJpeg(pic, c.o));
    TStreamedBitmap b;
    b.LoadFromFile(path);
    ASSERT_EQ(b.Width(), 32) << c.name;
    ASSERT_EQ(b.Height(), 32) << c.name;
    // Quadrant centres: red, green / blue, white (grey: the red byte of each).
    const int pts[4][2] = {{8, 8}, {24, 8}, {8, 24}, {24, 24}};
    for (const auto& p : pts) {
      const std::uint8_t* q = pic.at(p[0], p[1]);
      const std::uint8_t* got = b.PixelPtr(p[0], p[1]);
      const int want[4] = {c.o.grey ? q[0] : q[2], c.o.grey ? q[0] : q[1], q[0], 255};
      for (int ch = 0; ch < 4; ++ch)
        EXPECT_NEAR(got[ch], want[ch], ch == 3 ? 0 : 6) << c.name << " at " << p[0] << "," << p[1] << " byte " << ch;
    }
  }
}

TEST_F(ImageFiles, BmpAndGif) {
  const Rgba pic = KnownPicture();
  TStreamedBitmap b;
  b.LoadFromFile(Write("k.bmp", EncodeBmp24(pic)));
  ExpectPicture(b, pic, false, false, "bmp");

  // GIF: one bit of transparency; fully transparent pixels arrive as 0 alpha, the rest opaque.
  Rgba gifPic = pic;
  for (int y = 0; y < gifPic.h; ++y)
    for (int x = 0; x < gifPic.w; ++x) gifPic.at(x, y)[3] = (x + y) % 4 == 3 ? 0 : 255;
  TStreamedBitmap g;
  g.LoadFromFile(Write("k.gif", EncodeGif(gifPic)));
  ASSERT_EQ(g.Width(), pic.w);
  ASSERT_EQ(g.Height(), pic.h);
  for (int y = 0; y < pic.h; ++y)
    for (int x = 0; x < pic.w; ++x) {
      if (gifPic.at(x, y)[3] == 0)
        EXPECT_EQ(g.Pixel(x, y) >> 24, 0u) << x << "," << y;
      else
        EXPECT_EQ(Hex(g.Pixel(x, y)), Hex(gifPic.Argb(x, y))) << x << "," << y;
    }
}

// The first image on its logical screen: interlaced rows put back in order, and an image smaller
// than the screen at its offset, the rest of the screen transparent black.
TEST_F(ImageFiles, GifInterlacedAndOffsetImages) {
  const Rgba pic = KnownPicture(7, 11);  // 11 rows: every interlace pass has rows
  Rgba opaque = pic;
  for (int y = 0; y < opaque.h; ++y)
    for (int x = 0; x < opaque.w; ++x) opaque.at(x, y)[3] = 255;
  struct Case {
    const char* name;
    GifOptions o;
  } cases[] = {
      {"interlaced", {true}},
      {"offset", {false, 3, 2, 12, 15}},
      {"interlaced_offset", {true, 5, 4, 12, 15}},
  };
  for (const Case& c : cases) {
    TStreamedBitmap b;
    b.LoadFromFile(Write(std::string(c.name) + ".gif", EncodeGif(opaque, c.o)));
    const int sw = c.o.screenW ? c.o.screenW : pic.w, sh = c.o.screenH ? c.o.screenH : pic.h;
    ASSERT_EQ(b.Width(), sw) << c.name;
    ASSERT_EQ(b.Height(), sh) << c.name;
    for (int y = 0; y < sh; ++y)
      for (int x = 0; x < sw; ++x) {
        const int px = x - c.o.left, py = y - c.o.top;
        const bool inside = px >= 0 && py >= 0 && px < pic.w && py < pic.h;
        ASSERT_EQ(Hex(b.Pixel(x, y)), Hex(inside ? opaque.Argb(px, py) : 0u)) << c.name << " at " << x << "," << y;
      }
  }
}

TEST_F(ImageFiles, ExtraChannelsAreLeftOut) {
  // A TIFF of red, green, blue, alpha and a depth channel: the depth must not show anywhere.
  const Rgba pic = KnownPicture();
  std::vector<std::uint8_t> five;
  for (int y = 0; y < pic.h; ++y)
    for (int x = 0; x < pic.w; ++x) {
      five.insert(five.end(), pic.at(x, y), pic.at(x, y) + 4);
      five.push_back(0xEE);
    }
  const std::string path = Path("five.tif");
  auto out = OIIO::ImageOutput::create(path);
  ASSERT_TRUE(out);
  OIIO::ImageSpec layout(pic.w, pic.h, 5, OIIO::TypeDesc::UINT8);
  layout.channelnames = {"R", "G", "B", "A", "Z"};
  layout.alpha_channel = 3;
  layout.z_channel = 4;
  layout.attribute("oiio:UnassociatedAlpha", 1);
  ASSERT_TRUE(out->open(path, layout) && out->write_image(OIIO::TypeDesc::UINT8, five.data()) && out->close());
  TStreamedBitmap b;
  b.LoadFromFile(path);
  ExpectPicture(b, pic, true, false, "five channels");
}

// A TIFF whose every strip is damaged: the codec complains once per strip, the error is one
// short line with the first reason and the count of the others, naming the file.
TEST_F(ImageFiles, ManyCodecErrorsMakeOneLine) {
  const int w = 16, h = 3000;
  std::vector<std::uint8_t> grey(std::size_t(w) * h);
  for (std::size_t i = 0; i < grey.size(); ++i) grey[i] = std::uint8_t(i * 37 + i / 16);
  const std::string path = Path("strips.tif");
  auto out = OIIO::ImageOutput::create(path);
  ASSERT_TRUE(out);
  OIIO::ImageSpec layout(w, h, 1, OIIO::TypeDesc::UINT8);
  layout.attribute("compression", "lzw");
  layout.attribute("tiff:RowsPerStrip", 1);
  ASSERT_TRUE(out->open(path, layout) && out->write_image(OIIO::TypeDesc::UINT8, grey.data()) && out->close());
  out.reset();
  std::vector<std::uint8_t> bytes;
  {
    std::ifstream f(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  }
  ASSERT_GT(bytes.size(), 40000u);
  // The strips' data lies after the directory and its tables of 3000 offsets and sizes.
  for (std::size_t i = bytes.size() / 2; i < bytes.size(); ++i) bytes[i] = i % 3 ? 0xFF : 0x13;
  const std::string damaged = Write("strips_damaged.tif", bytes);
  ExpectDamaged(damaged, "damaged tiff image", "damaged strips");
  try {
    TStreamedBitmap b;
    b.LoadFromFile(damaged);
  } catch (const EImageError& e) {
    const std::string m = e.what();
    EXPECT_LT(m.size(), 400u) << m;
    EXPECT_EQ(m.find('\n'), std::string::npos) << m;
    EXPECT_EQ(m.find(';'), std::string::npos) << m;
    EXPECT_NE(m.find(" more errors)"), std::string::npos) << m;
  }
}

TEST_F(ImageFiles, GammaChunkDoesNotChangePixels) {
  const Rgba pic = KnownPicture();
  TStreamedBitmap b;
  b.LoadFromFile(Write("g.png", EncodePng(pic, {PngKind::Rgba, 8, false, true})));
  ExpectPicture(b, pic, true, false, "gAMA");
}

TEST_F(ImageFiles, ContentDecidesNotTheName) {
  const Rgba pic = KnownPicture();
  TStreamedBitmap b;
  b.LoadFromFile(Write("really_a_png.tga", EncodePng(pic, {})));
  ExpectPicture(b, pic, true, false, "png named tga");
  TStreamedBitmap t;
  t.LoadFromFile(Write("really_a_tga.png", EncodeTga(pic, {})));
  ExpectPicture(t, pic, true, false, "tga named png");
  TStreamedBitmap n;
  n.LoadFromFile(Write("no_extension", EncodeBmp24(pic)));
  ExpectPicture(n, pic, false, false, "bmp without extension");
}

TEST_F(ImageFiles, SameSizeKeepsThePixelBlockOtherSizesResize) {
  const Rgba pic = KnownPicture(100, 50);
  const std::string path = Write("k.png", EncodePng(pic, {}));
  TStreamedBitmap same(100, 50);
  same.SetFactor(77);
  const std::uint8_t* before = same.Bits;
  same.LoadFromFile(path);
  EXPECT_EQ(same.Bits, before);
  EXPECT_EQ(same.Factor(), 77);  // loading changes size and pixels only
  ExpectPicture(same, pic, true, false, "same size");

  TStreamedBitmap small(10, 10);
  small.ClipX = 4;
  small.LoadFromFile(path);
  ExpectPicture(small, pic, true, false, "resized");
  EXPECT_EQ(small.ClipX, 0);
  EXPECT_EQ(small.ClipW, 100);
}

TEST_F(ImageFiles, UnmatteMultipliesColoursByAlpha) {
  Rgba pic{2, 1, {50, 100, 200, 128, 255, 255, 255, 255}};  // red 50, green 100, blue 200, alpha 128
  TStreamedBitmap b;
  b.LoadFromFile(Write("u.png", EncodePng(pic, {})), true);
  EXPECT_EQ(Hex(b.Pixel(0, 0)), Hex(0x80193264u));  // blue 100, green 50, red 25, alpha 128
  EXPECT_EQ(Hex(b.Pixel(1, 0)), Hex(0xFFFEFEFEu));
  TStreamedBitmap c;
  c.LoadFromFile(Path("u.png"), false);
  EXPECT_EQ(Hex(c.Pixel(0, 0)), Hex(0x803264C8u));
  c.UnmatteImage();
  EXPECT_EQ(Hex(c.Pixel(0, 0)), Hex(0x80193264u));
}

TEST_F(ImageFiles, UnrecognisedContentGivesAnEmptyBitmap) {
  const std::vector<std::uint8_t> text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'};
  for (const char* name : {"text.png", "text.tga", "text.jpg", "text.dat"}) {
    TStreamedBitmap b = TStreamedBitmap(MarkedBitmap(3, 3));
    EXPECT_NO_THROW(b.LoadFromFile(Write(name, text))) << name;
    EXPECT_EQ(b.Width(), 0) << name;
    EXPECT_EQ(b.Height(), 0) << name;
    EXPECT_EQ(b.Bits, nullptr) << name;
  }
  TStreamedBitmap e = TStreamedBitmap(MarkedBitmap(3, 3));
  e.LoadFromFile(Write("empty.png", {}));
  EXPECT_EQ(e.Bits, nullptr);
}

// A damaged file throws an error naming the file, and the bitmap keeps its size and pixels.
TEST_F(ImageFiles, DamagedFilesThrowAndLeaveTheBitmapAlone) {
  const Rgba pic = KnownPicture(64, 48);
  Rgba noisy = pic;
  for (std::size_t i = 0; i < noisy.px.size(); ++i) noisy.px[i] = std::uint8_t(i * 2654435761u >> 13);
  const auto png = EncodePng(noisy, {});
  const auto jpg = EncodeJpeg(noisy, {});
  const auto tga = EncodeTga(noisy, {});
  const auto bmp = EncodeBmp24(noisy);
  const auto gif = EncodeGif(KnownPicture(64, 4));
  auto cut = [](std::vector<std::uint8_t> v, std::size_t keep) {
    v.resize(keep);
    return v;
  };
  // Checksums. Chunks: (offset of the type, data length) of the first and the last IDAT.
  const std::string idat = "IDAT";
  std::vector<std::pair<std::size_t, std::size_t>> chunks;
  for (auto it = png.begin(); (it = std::search(it, png.end(), idat.begin(), idat.end())) != png.end(); ++it) {
    const std::size_t at = std::size_t(it - png.begin());
    chunks.emplace_back(at, (std::size_t(png[at - 4]) << 24) | (png[at - 3] << 16) | (png[at - 2] << 8) | png[at - 1]);
  }
  ASSERT_FALSE(chunks.empty());
  // Flips a byte; with fixCrc the CRC of the chunk whose type starts at `chunk` is made right again.
  auto flip = [&](std::size_t pos, std::size_t chunk, std::size_t len, bool fixCrc) {
    auto v = png;
    v[pos] ^= 0x55;
    if (fixCrc) {
      const std::uint32_t crc = std::uint32_t(crc32(0, v.data() + chunk, uInt(len + 4)));
      for (int k = 0; k < 4; ++k) v[chunk + 4 + len + std::size_t(k)] = std::uint8_t(crc >> (24 - 8 * k));
    }
    return v;
  };
  const auto [first, firstLen] = chunks.front();
  const auto [last, lastLen] = chunks.back();
  // A chunk before the first IDAT whose length claims far more than the file holds (as in
  // libpng's crashers): the reader must give up on it without keeping what it allocated.
  auto huge = [&](const char* type) {
    std::vector<std::uint8_t> v(png.begin(), png.begin() + std::ptrdiff_t(first - 4));
    v.insert(v.end(), {0x7F, 0xFF, 0xFF, 0x00});
    v.insert(v.end(), type, type + 4);
    v.insert(v.end(), 64, 'x');
    return v;
  };
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
  } cases[] = {
      {"huge_text.png", huge("tEXt")},
      {"huge_ztxt.png", huge("zTXt")},
      {"huge_itxt.png", huge("iTXt")},
      {"huge_iccp.png", huge("iCCP")},
      {"huge_exif.png", huge("eXIf")},
      {"huge_splt.png", huge("sPLT")},
      {"huge_unknown_safe.png", huge("juNk")},
      {"huge_unknown_unsafe.png", huge("juNK")},
      {"huge_idat.png", huge("IDAT")},
      {"cut.png", cut(png, png.size() / 2)},
      {"header_only.png", cut(png, 40)},
      {"data_crc.png", flip(first + 10, first, firstLen, false)},      // data changed, CRC left
      {"idat_crc.png", flip(first + 4 + firstLen, first, firstLen, false)},  // the CRC itself
      {"ihdr_crc.png", flip(8 + 4 + 4 + 13, 0, 0, false)},
      {"adler.png", flip(last + 4 + lastLen - 1, last, lastLen, true)},   // zlib's Adler-32 only
      {"cut.jpg", cut(jpg, jpg.size() / 2)},
      {"cut.tga", cut(tga, tga.size() / 2)},
      {"cut.bmp", cut(bmp, bmp.size() / 2)},
      {"cut.gif", cut(gif, gif.size() - 40)},
  };
  for (const Case& c : cases) {
    const std::string path = Write(c.name, c.bytes);
    TStreamedBitmap b = TStreamedBitmap(MarkedBitmap(5, 4));
    const std::uint8_t* bits = b.Bits;
    try {
      b.LoadFromFile(path);
      ADD_FAILURE() << c.name << ": no error";
    } catch (const EImageError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos) << e.what();
      EXPECT_EQ(e.FileName(), path);
    }
    ASSERT_EQ(b.Width(), 5) << c.name;
    ASSERT_EQ(b.Height(), 4) << c.name;
    EXPECT_EQ(b.Bits, bits) << c.name;
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) ASSERT_EQ(b.Pixel(x, y), Marker(x, y)) << c.name;
  }
}

TEST_F(ImageFiles, MissingFileIsAnError) {
  TStreamedBitmap b;
  EXPECT_THROW(b.LoadFromFile(Path("nothing-here.png")), EImageError);
}

// A PNG whose header claims the given size, with valid checksums, and no pixel data to speak of.
std::vector<std::uint8_t> PngHeaderClaiming(std::uint32_t w, std::uint32_t h) {
  std::vector<std::uint8_t> v = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  auto be32 = [&](std::uint32_t x) {
    for (int s = 24; s >= 0; s -= 8) v.push_back(std::uint8_t(x >> s));
  };
  be32(13);
  const std::size_t start = v.size();
  v.insert(v.end(), {'I', 'H', 'D', 'R'});
  be32(w);
  be32(h);
  v.insert(v.end(), {8, 6, 0, 0, 0});
  be32(std::uint32_t(crc32(0, v.data() + start, uInt(v.size() - start))));
  const std::uint8_t idat[] = {0, 0, 0, 0, 'I', 'D', 'A', 'T'};
  v.insert(v.end(), idat, idat + 8);
  be32(std::uint32_t(crc32(0, idat + 4, 4)));
  return v;
}

TEST_F(ImageFiles, AbsurdDimensionsAreRefusedBeforeAllocation) {
  std::vector<std::uint8_t> tga = EncodeTga(KnownPicture(), {});
  tga[12] = tga[13] = tga[14] = tga[15] = 0xFF;  // 65535 x 65535
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
  } cases[] = {
      {"huge.png", PngHeaderClaiming(100000, 100000)},
      {"wide.png", PngHeaderClaiming(16385, 2)},
      {"square.png", PngHeaderClaiming(16384, 16384)},
      {"huge.tga", tga},
  };
  for (const Case& c : cases) {
    const std::string path = Write(c.name, c.bytes);
    TStreamedBitmap b = TStreamedBitmap(MarkedBitmap(2, 2));
    try {
      b.LoadFromFile(path);
      ADD_FAILURE() << c.name << ": no error";
    } catch (const EImageError& e) {
      const std::string what = e.what();
      EXPECT_NE(what.find(path), std::string::npos) << what;
      EXPECT_NE(what.find("too large"), std::string::npos) << what;
    }
    EXPECT_EQ(b.Width(), 2);
    EXPECT_EQ(b.Pixel(1, 1), Marker(1, 1));
  }
}

TEST_F(ImageFiles, StreamsAndConstructors) {
  const Rgba pic = KnownPicture();
  const auto png = EncodePng(pic, {});
  std::istringstream in(std::string(png.begin(), png.end()));
  TStreamedBitmap s = TStreamedBitmap::CreateFromStream(in, true, false);
  EXPECT_EQ(s.Kind, 1);
  ExpectPicture(s, pic, true, false, "stream");

  const auto tga = EncodeTga(pic, {TgaKind::TrueColor, 32, true, true});
  std::istringstream tin(std::string(tga.begin(), tga.end()));
  TStreamedBitmap t;
  t.LoadFromStream(tin);
  ExpectPicture(t, pic, true, false, "tga stream");

  const std::string path = Write("k.png", png);
  TStreamedBitmap f = TStreamedBitmap::CreateFromFile(path, false, true);
  EXPECT_EQ(f.Kind, 0);
  EXPECT_EQ(f.Pixel(0, 0) >> 24, 255u);
  EXPECT_EQ(Hex(f.Pixel(1, 0)), Hex([&] {
              TStreamedBitmap plain;
              plain.LoadFromFile(path);
              plain.UnmatteImage();
              return plain.Pixel(1, 0);
            }()));

  std::istringstream junk("not an image at all");
  TStreamedBitmap j = TStreamedBitmap(MarkedBitmap(2, 2));
  j.LoadFromStream(junk);
  EXPECT_EQ(j.Bits, nullptr);

  const auto cut = std::string(png.begin(), png.begin() + std::ptrdiff_t(png.size() / 2));
  std::istringstream bad(cut);
  TStreamedBitmap k = TStreamedBitmap(MarkedBitmap(2, 2));
  EXPECT_THROW(k.LoadFromStream(bad), EImageError);
  EXPECT_EQ(k.Pixel(1, 1), Marker(1, 1));
}

TEST_F(ImageFiles, SaveAndLoadBack) {
  const Rgba pic = KnownPicture();
  TStreamedBitmap b;
  b.LoadFromFile(Write("k.tga", EncodeTga(pic, {})));
  // PNG and TGA keep every byte, alpha included (the colours are not divided by alpha).
  for (const char* name : {"out.png", "out.tga", "out.tif"}) {
    b.SaveToFile(Path(name));
    TStreamedBitmap back;
    back.LoadFromFile(Path(name));
    ExpectPicture(back, pic, true, false, name);
  }
  // Our own TGA writer's files load back with their alpha.
  b.SaveTga(Path("raw.tga"));
  TStreamedBitmap raw;
  raw.LoadFromFile(Path("raw.tga"));
  ExpectPicture(raw, pic, true, false, "SaveTga");
  // A fully transparent frame stays transparent (it is not taken for a file without alpha).
  TStreamedBitmap clear = TStreamedBitmap(Filled(3, 2, 0x00102030u));
  clear.SaveTga(Path("clear.tga"));
  TStreamedBitmap clearBack;
  clearBack.LoadFromFile(Path("clear.tga"));
  EXPECT_EQ(Hex(clearBack.Pixel(2, 1)), Hex(0x00102030u));
  // JPEG has no alpha: written as colour, read back opaque.
  b.SaveToFile(Path("out.jpg"));
  TStreamedBitmap j;
  j.LoadFromFile(Path("out.jpg"));
  EXPECT_EQ(j.Width(), pic.w);
  EXPECT_EQ(j.Pixel(3, 3) >> 24, 255u);

  // Streams carry colour only.
  std::stringstream png;
  b.SaveToStream(".png", png);
  TStreamedBitmap s;
  s.LoadFromStream(png);
  ExpectPicture(s, pic, false, false, "stream");
}

// Premultiplied pixels written with straight alpha: c * 255 / a rounded and capped, 0 where a is 0.
TEST_F(ImageFiles, StraightAlphaPngDividesByAlpha) {
  const struct {
    std::uint32_t premultiplied, straight;  // 0xAARRGGBB
  } cases[] = {
      {0xFF102030u, 0xFF102030u},  // opaque: as it is
      {0x80402010u, 0x80804020u},  // 64 * 255 / 128 = 127.5 -> 128; 32 -> 64; 16 -> 32 (rounded)
      {0x01010101u, 0x01FFFFFFu},  // 1 * 255 / 1
      {0x02030303u, 0x02FFFFFFu},  // more than the alpha allows: capped at 255
      {0x00FFFFFFu, 0x00000000u},  // fully transparent: no colour
      {0x40100804u, 0x40402010u},
  };
  TmemoryBitmap b(int(std::size(cases)), 2);
  for (int x = 0; x < b.Width(); ++x) {
    b.SetPixel(x, 0, cases[x].premultiplied);
    b.SetPixel(x, 1, cases[x].premultiplied);
  }
  const std::vector<std::uint8_t> png = TStreamedBitmap::StraightAlphaPng(b);
  TStreamedBitmap back;
  back.LoadFromFile(Write("straight.png", png));
  ASSERT_EQ(back.Width(), b.Width());
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < b.Width(); ++x) EXPECT_EQ(Hex(back.Pixel(x, y)), Hex(cases[x].straight)) << x << "," << y;
  EXPECT_EQ(Hex(b.Pixel(1, 0)), Hex(0x80402010u));  // the source is left as it was
  EXPECT_THROW(TStreamedBitmap::StraightAlphaPng(TmemoryBitmap()), EImageError);
}

TEST_F(ImageFiles, SaveErrorsNameTheFile) {
  TStreamedBitmap b = TStreamedBitmap(MarkedBitmap(3, 3));
  for (const std::string& path : {Path("x.unknownext"), std::string("/nonexistent-dir/x.png")}) {
    try {
      b.SaveToFile(path);
      ADD_FAILURE() << path << ": no error";
    } catch (const EImageError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
  }
  TStreamedBitmap empty;
  EXPECT_THROW(empty.SaveToFile(Path("e.png")), EImageError);
  std::stringstream s;
  EXPECT_THROW(b.SaveToStream("nope", s), EImageError);
}

TEST_F(ImageFiles, ResizetoFiltersBicubically) {
  // A 1-pixel checkerboard doubled: nearest-neighbour copying would give only 0 and 255.
  TStreamedBitmap b(100, 50);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 100; ++x) b.SetPixel(x, y, (x + y) % 2 ? 0xFFFFFFFFu : 0xFF000000u);
  b.SetFactor(40);
  b.Resizeto(200, 100, false);
  ASSERT_EQ(b.Width(), 200);
  ASSERT_EQ(b.Height(), 100);
  EXPECT_EQ(b.ClipW, 200);
  EXPECT_EQ(b.Factor(), 40);
  int between = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x) {
      const std::uint8_t* p = b.PixelPtr(x, y);
      ASSERT_EQ(p[3], 255);
      ASSERT_TRUE(p[0] == p[1] && p[1] == p[2]) << x << "," << y;  // all lanes filtered alike
      between += p[0] > 10 && p[0] < 245;
    }
  EXPECT_GT(between, 100 * 200 / 2);

  // A flat picture stays flat, alpha included; a horizontal ramp stays a ramp.
  TStreamedBitmap flat = TStreamedBitmap(Filled(30, 20, 0x80402010u));
  flat.Resizeto(47, 33);
  for (int y = 0; y < 33; ++y)
    for (int x = 0; x < 47; ++x) ASSERT_EQ(Hex(flat.Pixel(x, y)), Hex(0x80402010u)) << x << "," << y;
  TStreamedBitmap ramp(64, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 64; ++x) ramp.SetPixel(x, y, 0xFF000000u | std::uint32_t(x * 4));
  ramp.Resizeto(32, 4);
  for (int x = 1; x < 32; ++x) EXPECT_GE(ramp.PixelPtr(x, 2)[0], ramp.PixelPtr(x - 1, 2)[0]) << x;
}

TEST_F(ImageFiles, ResizetoEdgeCases) {
  TStreamedBitmap empty;
  empty.Resizeto(20, 10);
  ASSERT_EQ(empty.Width(), 20);
  ASSERT_NE(empty.Bits, nullptr);
  EXPECT_EQ(empty.Pixel(19, 9), 0u);

  for (auto [w, h] : {std::pair{0, 10}, {10, 0}, {-5, 7}}) {
    TStreamedBitmap b = TStreamedBitmap(MarkedBitmap(4, 4));
    b.Resizeto(w, h);
    EXPECT_EQ(b.Bits, nullptr) << w << " x " << h;
  }
  TStreamedBitmap big = TStreamedBitmap(MarkedBitmap(4, 4));
  EXPECT_THROW(big.Resizeto(100000, 100000), std::length_error);
  EXPECT_EQ(big.Width(), 4);  // refused before anything changed
  EXPECT_EQ(big.Pixel(3, 3), Marker(3, 3));
}

// Without the resampling plug-in a resize fails before anything changes (a layer then shows
// nothing at that size); with it back, the same call works.
TEST_F(ImageFiles, WithoutTheResamplerResizetoFailsCleanly) {
  TStreamedBitmap b = TStreamedBitmap(MarkedBitmap(4, 3));
  image::UseResizePlugin(Path("no-such-plugin.so"));
  {
    struct Restore {
      ~Restore() { image::UseResizePlugin(""); }
    } restore;
    EXPECT_THROW(b.Resizeto(8, 6), std::runtime_error);
    ASSERT_EQ(b.Width(), 4);
    EXPECT_EQ(b.Pixel(3, 2), Marker(3, 2));
  }
  b.Resizeto(8, 6);
  EXPECT_EQ(b.Width(), 8);
  EXPECT_EQ(b.Height(), 6);
}

// Inputs the image fuzzer found, kept in data/: loading them from a stream is safe and gives the
// documented outcome (an empty bitmap for content no reader knows, an error that leaves the
// bitmap alone for a damaged file).
TEST_F(ImageFiles, FuzzerFindingsLoadSafelyFromAStream) {
  enum class TOutcome { Empty, Error };
  const struct {
    const char* file;
    TOutcome outcome;
    const char* message;  // part of the error
  } cases[] = {
      {"empty-stream.bin", TOutcome::Empty, ""},  // no bytes at all: the signature test read from no data
      // A 24832 x 26474 screen, for which the codec's GIF reader threw its own length_error.
      {"gif-absurd-size.gif", TOutcome::Error, "24832 x 26474 pixels is too large"},
      // 15 bytes stating a 10064 x 26217 screen, which the codec's GIF reader allocated and
      // cleared while opening: refused from the header, before the codec sees it.
      {"gif-huge-screen.gif", TOutcome::Error, "10064 x 26217 pixels is too large"},
  };
  for (const auto& c : cases) {
    std::ifstream f(std::string(QV_TEST_DATA_DIR) + "/" + c.file, std::ios::binary);
    ASSERT_TRUE(f) << c.file;
    TStreamedBitmap b = TStreamedBitmap(MarkedBitmap(3, 2));
    if (c.outcome == TOutcome::Error) {
      try {
        b.LoadFromStream(f);
        ADD_FAILURE() << c.file << ": no error";
      } catch (const EImageError& e) {
        EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.file << ": " << e.what();
      }
      EXPECT_EQ(b.Width(), 3) << c.file;
      EXPECT_EQ(b.Pixel(2, 1), Marker(2, 1)) << c.file;
    } else {
      EXPECT_NO_THROW(b.LoadFromStream(f)) << c.file;
      EXPECT_EQ(b.Bits, nullptr) << c.file;
      EXPECT_EQ(b.Width(), 0) << c.file;
    }
  }
}

}  // namespace
}  // namespace qv
