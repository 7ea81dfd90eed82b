#include "raster/StreamBitmaps.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <istream>
#include <limits>
#include <ostream>
#include <stdexcept>
#include <vector>

#include "raster/ImageFormats.h"

namespace qv {

namespace {

using image::TDecoded;

std::vector<std::uint8_t> ReadFile(std::ifstream& f) {
  std::vector<std::uint8_t> data;
  f.seekg(0, std::ios::end);
  const std::streamoff size = f.tellg();
  f.seekg(0, std::ios::beg);
  if (size > 0) {
    data.resize(std::size_t(size));
    f.read(reinterpret_cast<char*>(data.data()), size);
    data.resize(std::size_t(f.gcount()));
  }
  return data;
}

// Decodes the first image of `name` (or of `memory` when given), recognised by content through
// the format table. The size a header states is checked before the decoder runs, so a few bytes
// claiming a huge image cost nothing.
TDecoded DecodeImage(const std::string& name, const std::vector<std::uint8_t>* memory) {
  std::uint8_t head[image::kHeadBytes];
  std::size_t headLen = 0;
  std::ifstream f;
  if (memory) {
    headLen = std::min(memory->size(), sizeof head);
    if (headLen > 0) std::memcpy(head, memory->data(), headLen);  // an empty stream has no data pointer
  } else {
    f.open(name, std::ios::binary);
    if (!f) throw EImageError(name, "cannot open the file");
    f.read(reinterpret_cast<char*>(head), sizeof head);
    headLen = std::size_t(f.gcount());
    f.clear();
  }
  const image::TImageFormat* format = image::FindImageFormat(head, headLen);
  if (!format) return {};
  std::int64_t statedW = 0, statedH = 0;
  if (format->statedSize && format->statedSize(head, headLen, statedW, statedH) && image::TooLarge(statedW, statedH))
    image::ThrowTooLarge(name, statedW, statedH);

  TDecoded out;
  if (memory) {
    format->decode({name, memory->empty() ? nullptr : memory->data(), memory->size()}, *format, out);
  } else if (!format->wantsWholeFile) {
    format->decode({name, nullptr, 0}, *format, out);
  } else {
    const std::vector<std::uint8_t> data = ReadFile(f);
    format->decode({name, data.data(), data.size()}, *format, out);
  }
  return out;
}

// Decoders that meet something they cannot handle throw their own exceptions at times; they
// become the damaged-file error like every other.
TDecoded Decode(const std::string& name, const std::vector<std::uint8_t>* memory) {
  try {
    return DecodeImage(name, memory);
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

std::string Extension(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  const std::size_t slash = name.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = name.substr(dot + 1);
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

// Encodes bits (w x h, our layout) in the format `name`'s extension selects: PNG and TGA with our
// own writers, the rest through the codec plug-in. toMemory: the bytes are returned instead of
// written to the file `name`.
std::vector<std::uint8_t> Encode(const std::string& name, const std::string& shownName, const std::uint8_t* bits,
                                 int w, int h, bool withAlpha, bool toMemory) {
  if (!bits || w <= 0 || h <= 0) throw EImageError(shownName, "cannot save an empty bitmap");
  const std::string ext = Extension(name);
  std::vector<std::uint8_t> bytes;
  if (ext == "png") {
    bytes = image::EncodePng(shownName, bits, w, h, withAlpha);
  } else if (ext == "tga" || ext == "tpic") {
    bytes = image::EncodeTga(bits, w, h, withAlpha);
  } else {
    return image::EncodeWithPlugin(name, shownName, bits, w, h, withAlpha, toMemory);
  }
  if (!toMemory) {
    std::ofstream f(name, std::ios::binary | std::ios::trunc);
    if (f) f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (f) f.close();
    if (!f) throw EImageError(shownName, "cannot write the image: cannot write the file");
    bytes.clear();
  }
  return bytes;
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
  Encode(filename, filename, Bits, Width(), Height(), true, false);
}

void TStreamedBitmap::SaveToStream(const std::string& Ext, std::ostream& Stream) const {
  std::string ext = Ext;
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  const std::vector<std::uint8_t> bytes = Encode("stream." + ext, "<stream>", Bits, Width(), Height(), false, true);
  Stream.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!Stream) throw EImageError("<stream>", "cannot write to the stream");
}

std::vector<std::uint8_t> TStreamedBitmap::EncodeToMemory(const std::string& Ext) const {
  std::string ext = Ext;
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  return Encode("memory." + ext, "<memory>", Bits, Width(), Height(), true, true);
}

std::vector<std::uint8_t> TStreamedBitmap::StraightAlphaPng(const TmemoryBitmap& Premultiplied) {
  const TmemoryBitmap& b = Premultiplied;
  if (!b.Bits || b.Width() <= 0 || b.Height() <= 0) throw EImageError("<memory>", "cannot save an empty bitmap");
  return image::EncodePng("<memory>", b.Bits, b.Width(), b.Height(), true, true);
}

// --- resampling ---------------------------------------------------------------------------------

void TStreamedBitmap::Resizeto(int W, int H, bool) {
  if (!Bits || W <= 0 || H <= 0) {
    Resize(W, H, true);
    return;
  }
  TmemoryBitmap dst;
  dst.Resize(W, H, false);  // every pixel is written by the resampler
  if (!image::ResizeBicubic(Bits, Width(), Height(), dst.Bits, W, H))
    throw std::runtime_error("cannot resample the picture: the resampling plug-in (qv_resize_plugin.so) is missing or failed");
  std::uint8_t* block = dst.Bits;
  dst.FreeMemory = false;
  AdoptPixels(block, W, H);
}

}  // namespace qv
