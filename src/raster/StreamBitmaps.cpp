#include "raster/StreamBitmaps.h"

#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <istream>
#include <iterator>
#include <limits>
#include <mutex>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <ostream>
#include <string_view>
#include <vector>

namespace qv {

namespace {

// The codecs run on the caller's thread: their own pools would compete with ours for the cores.
void ConfigureCodecs() {
  static std::once_flag once;
  std::call_once(once, [] {
    OIIO::attribute("threads", 1);
    OIIO::attribute("exr_threads", 1);
  });
}

void ConfigureResampler() {
  static std::once_flag once;
  std::call_once(once, [] { cv::setNumThreads(1); });
}

bool StartsWith(const std::uint8_t* h, std::size_t n, std::string_view sig) {
  return n >= sig.size() && std::memcmp(h, sig.data(), sig.size()) == 0;
}

// A TGA header that makes sense: TGA files carry no signature, so this is all there is to go on.
bool PlausibleTga(const std::uint8_t* h, std::size_t n) {
  if (n < 18) return false;
  const int cmapType = h[1], type = h[2], bpp = h[16];
  const int w = h[12] | (h[13] << 8), hgt = h[14] | (h[15] << 8);
  if (cmapType > 1 || w == 0 || hgt == 0) return false;
  switch (type) {
    case 1: case 9:  // colour-mapped
      return cmapType == 1 && (bpp == 8 || bpp == 16) &&
             (h[7] == 15 || h[7] == 16 || h[7] == 24 || h[7] == 32);
    case 2: case 10:  // true colour
      return bpp == 15 || bpp == 16 || bpp == 24 || bpp == 32;
    case 3: case 11:  // grey
      return bpp == 8 || bpp == 16;
    default:
      return false;
  }
}

// The reader for the content, by signature; TGA by a sensible header. Empty: not an image we read.
std::string SniffFormat(const std::uint8_t* h, std::size_t n) {
  if (StartsWith(h, n, "\x89PNG\r\n\x1a\n")) return "png";
  if (StartsWith(h, n, "\xff\xd8\xff")) return "jpeg";
  if (StartsWith(h, n, "GIF87a") || StartsWith(h, n, "GIF89a")) return "gif";
  if (StartsWith(h, n, "BM") && n >= 18) {
    const std::uint32_t hs = h[14] | (h[15] << 8) | (h[16] << 16) | (std::uint32_t(h[17]) << 24);
    if (hs == 12 || hs == 40 || hs == 52 || hs == 56 || hs == 64 || hs == 108 || hs == 124) return "bmp";
  }
  if (StartsWith(h, n, std::string_view("II*\0", 4)) || StartsWith(h, n, std::string_view("MM\0*", 4))) return "tiff";
  if (StartsWith(h, n, "8BPS")) return "psd";
  if (StartsWith(h, n, "DDS ")) return "dds";
  if (StartsWith(h, n, "#?RADIANCE") || StartsWith(h, n, "#?RGBE")) return "hdr";
  if (n >= 12 && StartsWith(h, n, "RIFF") && std::memcmp(h + 8, "WEBP", 4) == 0) return "webp";
  if (n >= 3 && h[0] == 'P' && ((h[1] >= '1' && h[1] <= '6') || h[1] == 'f' || h[1] == 'F') &&
      (h[2] == '\n' || h[2] == '\r' || h[2] == ' ' || h[2] == '\t'))
    return "pnm";
  if (PlausibleTga(h, n)) return "targa";
  return {};
}

bool TooLarge(std::int64_t w, std::int64_t h) {
  return w > TmemoryBitmap::MaxSide || h > TmemoryBitmap::MaxSide || w * h > TmemoryBitmap::MaxPixels;
}

std::uint32_t Le16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }
std::uint32_t Be32(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

// The size the header of a recognised file states, for the formats that have it at a fixed place.
bool StatedSize(const std::string& format, const std::uint8_t* h, std::size_t n, std::int64_t& w, std::int64_t& ht) {
  if (format == "gif" && n >= 10) {  // logical screen
    w = Le16(h + 6);
    ht = Le16(h + 8);
  } else if (format == "png" && n >= 24) {  // IHDR
    w = Be32(h + 16);
    ht = Be32(h + 20);
  } else if (format == "targa" && n >= 16) {
    w = Le16(h + 12);
    ht = Le16(h + 14);
  } else if (format == "psd" && n >= 22) {
    ht = Be32(h + 14);
    w = Be32(h + 18);
  } else {
    return false;
  }
  return true;
}

// Puts the nch bytes that the codec wrote at the start of each 4-byte pixel of `from` into blue,
// green, red, alpha order in `to` (which may be `from`).
void ToBgra(const std::uint8_t* from, std::uint8_t* to, std::size_t count, int nch, bool hasAlpha) {
  const std::uint32_t* p = reinterpret_cast<const std::uint32_t*>(from);
  std::uint32_t* q = reinterpret_cast<std::uint32_t*>(to);
  switch (nch) {
    case 1:
      for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t g = p[i] & 0xFF;
        q[i] = 0xFF000000u | (g << 16) | (g << 8) | g;
      }
      break;
    case 2:
      for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t g = p[i] & 0xFF;
        const std::uint32_t a = hasAlpha ? (p[i] >> 8) & 0xFF : 0xFF;
        q[i] = (a << 24) | (g << 16) | (g << 8) | g;
      }
      break;
    case 3:
      for (std::size_t i = 0; i < count; ++i) q[i] = 0xFF000000u | SwapRedBlue(p[i] & 0xFFFFFF);
      break;
    default:
      if (hasAlpha)
        for (std::size_t i = 0; i < count; ++i) q[i] = SwapRedBlue(p[i]);
      else
        for (std::size_t i = 0; i < count; ++i) q[i] = 0xFF000000u | SwapRedBlue(p[i] & 0xFFFFFF);
      break;
  }
}

// One decoded image, 4 bytes per pixel still in the codec's channel order (the first `channels`
// bytes of each pixel used), in a block not yet given to the bitmap being loaded.
struct TDecoded {
  TmemoryBitmap pixels;  // empty when the content was not recognised
  int channels = 4;
  bool hasAlpha = true;
  // The pixels in our order into `to` (which may be pixels.Bits): the one conversion pass.
  void ConvertTo(std::uint8_t* to) const {
    ToBgra(pixels.Bits, to, pixels.ByteSize() / 4, channels, hasAlpha);
  }
};

// The codec's messages on one line ("a; b").
std::string ErrorText(const std::string& text, const char* fallback) {
  std::string t;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
    if (!line.empty()) t += (t.empty() ? "" : "; ") + line;
    start = end + 1;
  }
  return t.empty() ? fallback : t;
}

// Decodes the first image of `name` (or of `memory` when given), recognised by content.
TDecoded DecodeWithCodec(const std::string& name, const std::vector<std::uint8_t>* memory) {
  ConfigureCodecs();
  std::uint8_t head[64];
  std::size_t headLen = 0;
  if (memory) {
    headLen = std::min(memory->size(), sizeof head);
    if (headLen > 0) std::memcpy(head, memory->data(), headLen);  // an empty stream has no data pointer
  } else {
    std::ifstream f(name, std::ios::binary);
    if (!f) throw EImageError(name, "cannot open the file");
    f.read(reinterpret_cast<char*>(head), sizeof head);
    headLen = std::size_t(f.gcount());
  }
  const std::string format = SniffFormat(head, headLen);
  if (format.empty()) return {};
  // Some readers decode (and allocate the whole canvas) while opening: the size a header states is
  // checked first, so a few bytes claiming a huge image cost nothing.
  std::int64_t statedW = 0, statedH = 0;
  if (StatedSize(format, head, headLen, statedW, statedH) && TooLarge(statedW, statedH))
    throw EImageError(name, "image of " + std::to_string(statedW) + " x " + std::to_string(statedH) +
                                " pixels is too large");

  std::unique_ptr<OIIO::Filesystem::IOMemReader> proxy;
  OIIO::ImageSpec config;
  config.attribute("oiio:UnassociatedAlpha", 1);  // keep the file's colour bytes as they are
  if (memory) {
    proxy = std::make_unique<OIIO::Filesystem::IOMemReader>(const_cast<std::uint8_t*>(memory->data()),
                                                            memory->size());
    void* ptr = proxy.get();
    config.attribute("oiio:ioproxy", OIIO::TypeDesc::PTR, &ptr);
  }
  auto in = OIIO::ImageInput::create(format);
  if (!in) throw EImageError(name, "no reader for " + format + " images");
  OIIO::ImageSpec layout;
  if (!in->open(memory ? "stream." + format : name, layout, config))
    throw EImageError(name, "damaged " + format + " image: " + ErrorText(in->geterror(), "cannot read the header"));

  const int w = layout.width, h = layout.height, nch = layout.nchannels;
  if (w <= 0 || h <= 0 || nch <= 0 || layout.depth > 1)
    throw EImageError(name, "damaged " + format + " image: invalid size");
  if (TooLarge(w, h))
    throw EImageError(name, "image of " + std::to_string(w) + " x " + std::to_string(h) + " pixels is too large");

  TDecoded out;
  out.pixels.Resize(w, h, false);
  std::uint8_t* bits = out.pixels.Bits;
  const std::size_t count = std::size_t(w) * std::size_t(h);
  // Some readers report an alpha channel past the last one (GIF says 4 of 4); then the last of
  // two or four channels is the alpha.
  int a = layout.alpha_channel;
  if (a >= nch) a = (nch == 2 || nch == 4) ? nch - 1 : -1;
  bool ok;
  bool hasAlpha;
  int used;
  if (nch <= 4 && (a < 0 || a == nch - 1)) {
    // The usual layouts: decoded straight into the pixel block, 4 bytes apart, then reordered.
    used = nch;
    hasAlpha = a >= 0 && nch != 3 && nch != 1;
    ok = in->read_image(0, 0, 0, nch, OIIO::TypeDesc::UINT8, bits, 4);
  } else {
    // Extra channels, or alpha elsewhere: decode everything, then pick red, green, blue, alpha.
    std::vector<std::uint8_t> all(count * std::size_t(nch));
    ok = in->read_image(0, 0, 0, nch, OIIO::TypeDesc::UINT8, all.data());
    // Colour from the first channels that are not the alpha: three of them, or one grey.
    int colour[3];
    int found = 0;
    for (int c = 0; c < nch && found < 3; ++c)
      if (c != a) colour[found++] = c;
    if (found == 0) colour[found++] = 0;
    if (found < 3) colour[1] = colour[2] = colour[0];
    used = 4;
    hasAlpha = a >= 0;
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t* s = &all[i * std::size_t(nch)];
      std::uint8_t* d = bits + 4 * i;  // red, green, blue, alpha, as the codec's own order
      d[0] = s[colour[0]];
      d[1] = s[colour[1]];
      d[2] = s[colour[2]];
      d[3] = hasAlpha ? s[a] : 255;
    }
  }
  // A decoder that met trouble but still filled the image (a truncated JPEG, say) reports an error.
  if (!ok || in->has_error())
    throw EImageError(name, "damaged " + format + " image: " + ErrorText(in->geterror(), "cannot decode the pixels"));
  out.channels = used;
  out.hasAlpha = hasAlpha;
  return out;
}

// Some of the codec's readers throw their own exceptions on damaged files (the GIF reader a
// std::length_error for an absurd size); they become the damaged-file error like every other.
TDecoded Decode(const std::string& name, const std::vector<std::uint8_t>* memory) {
  try {
    return DecodeWithCodec(name, memory);
  } catch (const EImageError&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw EImageError(name, "not enough memory to decode the image");
  } catch (const std::exception& e) {
    throw EImageError(name, std::string("damaged image: ") + e.what());
  }
}

void Unmatte(std::uint8_t* p, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, p += 4) {
    const std::uint32_t a = p[3];
    p[0] = std::uint8_t(p[0] * a / 256);
    p[1] = std::uint8_t(p[1] * a / 256);
    p[2] = std::uint8_t(p[2] * a / 256);
  }
}

std::vector<std::uint8_t> ReadAll(std::istream& s) {
  std::vector<std::uint8_t> data;
  char buf[65536];
  while (s.read(buf, sizeof buf) || s.gcount() > 0) {
    data.insert(data.end(), buf, buf + s.gcount());
    if (std::size_t(std::numeric_limits<std::ptrdiff_t>::max()) - data.size() < sizeof buf) break;
  }
  return data;
}

// Encodes bits (w x h, our layout) with the writer for `name`'s extension, into the file or the proxy.
void Encode(const std::string& name, const std::string& shownName, const std::uint8_t* bits, int w, int h,
            bool withAlpha, OIIO::Filesystem::IOProxy* proxy) {
  ConfigureCodecs();
  if (!bits || w <= 0 || h <= 0) throw EImageError(shownName, "cannot save an empty bitmap");
  auto out = OIIO::ImageOutput::create(name);
  if (!out) throw EImageError(shownName, "no image writer for this file extension");
  if (proxy && !out->supports("ioproxy")) throw EImageError(shownName, "this format cannot be written to a stream");
  if (proxy) out->set_ioproxy(proxy);
  const int nch = withAlpha && out->supports("alpha") ? 4 : 3;
  OIIO::ImageSpec layout(w, h, nch, OIIO::TypeDesc::UINT8);
  if (nch == 4) {
    layout.alpha_channel = 3;
    layout.attribute("oiio:UnassociatedAlpha", 1);  // store the alpha byte; do not divide colours by it
  }
  const std::size_t count = std::size_t(w) * std::size_t(h);
  std::vector<std::uint8_t> rgb(count * std::size_t(nch));
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* s = bits + 4 * i;
    std::uint8_t* d = &rgb[i * std::size_t(nch)];
    d[0] = s[2];
    d[1] = s[1];
    d[2] = s[0];
    if (nch == 4) d[3] = s[3];
  }
  if (!out->open(name, layout) || !out->write_image(OIIO::TypeDesc::UINT8, rgb.data()) || !out->close())
    throw EImageError(shownName, "cannot write the image: " + ErrorText(out->geterror(), "write failed"));
}

}  // namespace

// --- loading ------------------------------------------------------------------------------------

void TStreamedBitmap::LoadFromFile(const std::string& filename, bool unmatte, bool) {
  TDecoded d = Decode(filename, nullptr);
  TmemoryBitmap& img = d.pixels;
  if (img.Empty()) {
    if (Width() != 0 || Height() != 0 || Bits) Resize(0, 0, true);
    return;
  }
  if (img.Width() == Width() && img.Height() == Height() && Bits) {
    // Same size: the pixel block stays where it is; conversion and copy are one pass.
    d.ConvertTo(Bits);
    if (unmatte) UnmatteImage();
    return;
  }
  d.ConvertTo(img.Bits);
  if (unmatte) Unmatte(img.Bits, img.ByteSize() / 4);
  std::uint8_t* block = img.Bits;
  img.FreeMemory = false;  // ownership moves to this bitmap
  AdoptPixels(block, img.Width(), img.Height());
}

void TStreamedBitmap::LoadFromStream(std::istream& Stream, bool unmatte, bool) {
  const std::vector<std::uint8_t> data = ReadAll(Stream);
  TDecoded d = Decode("<stream>", &data);
  TmemoryBitmap& img = d.pixels;
  if (img.Empty()) {
    Resize(0, 0, true);
    return;
  }
  d.ConvertTo(img.Bits);
  if (unmatte) Unmatte(img.Bits, img.ByteSize() / 4);
  std::uint8_t* block = img.Bits;
  img.FreeMemory = false;
  AdoptPixels(block, img.Width(), img.Height());
}

TStreamedBitmap TStreamedBitmap::CreateFromFile(const std::string& filename, bool AsDib, bool unmatte) {
  TStreamedBitmap b;
  if (AsDib) b.Kind = 1;
  b.LoadFromFile(filename, unmatte, true);
  return b;
}

TStreamedBitmap TStreamedBitmap::CreateFromStream(std::istream& Stream, bool AsDib, bool unmatte) {
  TStreamedBitmap b;
  if (AsDib) b.Kind = 1;
  b.LoadFromStream(Stream, unmatte, true);
  return b;
}

void TStreamedBitmap::UnmatteImage() {
  if (Bits) Unmatte(Bits, ByteSize() / 4);
}

// --- saving -------------------------------------------------------------------------------------

void TStreamedBitmap::SaveToFile(const std::string& filename) const {
  Encode(filename, filename, Bits, Width(), Height(), true, nullptr);
}

void TStreamedBitmap::SaveToStream(const std::string& Ext, std::ostream& Stream) const {
  std::string ext = Ext;
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  std::vector<unsigned char> bytes;
  OIIO::Filesystem::IOVecOutput proxy(bytes);
  Encode("stream." + ext, "<stream>", Bits, Width(), Height(), false, &proxy);
  Stream.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!Stream) throw EImageError("<stream>", "cannot write to the stream");
}

std::vector<std::uint8_t> TStreamedBitmap::EncodeToMemory(const std::string& Ext) const {
  std::string ext = Ext;
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  std::vector<unsigned char> bytes;
  OIIO::Filesystem::IOVecOutput proxy(bytes);
  Encode("memory." + ext, "<memory>", Bits, Width(), Height(), true, &proxy);
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

// --- resampling ---------------------------------------------------------------------------------

void TStreamedBitmap::Resizeto(int W, int H, bool) {
  if (!Bits || W <= 0 || H <= 0) {
    Resize(W, H, true);
    return;
  }
  ConfigureResampler();
  TmemoryBitmap dst;
  dst.Resize(W, H, false);  // every pixel is written by the resampler
  const cv::Mat from(Height(), Width(), CV_8UC4, Bits);
  cv::Mat to(H, W, CV_8UC4, dst.Bits);
  cv::resize(from, to, to.size(), 0, 0, cv::INTER_CUBIC);
  std::uint8_t* block = dst.Bits;
  dst.FreeMemory = false;
  AdoptPixels(block, W, H);
}

}  // namespace qv
