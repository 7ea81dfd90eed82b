// The codec plug-in over OpenImageIO: reads the formats our own readers do not (TIFF, PSD, DDS,
// HDR, EXR, WebP, PNM) and writes the formats our own writers do not (JPEG, TIFF, BMP, ...).
// Built as a shared library of its own and opened by the raster engine only when a file needs it.
#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "raster/Plugins.h"

namespace {

// The codecs run on the caller's thread: their own pools would compete with ours for the cores.
void ConfigureCodecs() {
  static std::once_flag once;
  std::call_once(once, [] {
    OIIO::attribute("threads", 1);
    OIIO::attribute("exr_threads", 1);
  });
}

void Tell(char* message, std::size_t size, const std::string& text) {
  if (!message || size == 0) return;
  const std::size_t n = std::min(text.size(), size - 1);
  std::memcpy(message, text.data(), n);
  message[n] = 0;
}

// The codec's messages as one short line: the first reason, and how many more there were (a
// damaged TIFF gives one per scanline, thousands of them).
std::string ErrorText(const std::string& text, const char* fallback) {
  constexpr std::size_t kMaxReason = 200;  // bytes of the first reason kept
  std::string first;
  std::size_t more = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::size_t last = end;
    while (last > start && (text[last - 1] == ' ' || text[last - 1] == '\r')) --last;
    if (last > start) {
      if (first.empty()) {
        first = text.substr(start, std::min(last - start, kMaxReason));
        // A cut never ends inside a UTF-8 sequence.
        if (last - start > kMaxReason) {
          while (!first.empty() && (static_cast<unsigned char>(first.back()) & 0xC0) == 0x80) first.pop_back();
          if (!first.empty() && static_cast<unsigned char>(first.back()) >= 0xC0) first.pop_back();
          first += "...";
        }
      } else {
        ++more;
      }
    }
    start = end + 1;
  }
  if (first.empty()) return fallback;
  if (more > 0) first += " (and " + std::to_string(more) + (more == 1 ? " more error)" : " more errors)");
  return first;
}

int Decode(const char* name, const unsigned char* data, std::size_t size, const char* format,
           TQvReserve reserve, void* context, int* channels, int* hasAlphaOut, std::string& message) {
  ConfigureCodecs();
  std::unique_ptr<OIIO::Filesystem::IOMemReader> proxy;
  OIIO::ImageSpec config;
  config.attribute("oiio:UnassociatedAlpha", 1);  // keep the file's colour bytes as they are
  if (data) {
    proxy = std::make_unique<OIIO::Filesystem::IOMemReader>(const_cast<unsigned char*>(data), size);
    void* ptr = proxy.get();
    config.attribute("oiio:ioproxy", OIIO::TypeDesc::PTR, &ptr);
  }
  auto in = OIIO::ImageInput::create(format);
  if (!in) return QV_CODEC_NO_CODEC;
  OIIO::ImageSpec layout;
  if (!in->open(data ? std::string("stream.") + format : std::string(name), layout, config)) {
    message = ErrorText(in->geterror(), "cannot read the header");
    return QV_CODEC_DAMAGED;
  }
  const int w = layout.width, h = layout.height, nch = layout.nchannels;
  if (w <= 0 || h <= 0 || nch <= 0 || layout.depth > 1) {
    message = "invalid size";
    return QV_CODEC_DAMAGED;
  }
  std::uint8_t* bits = reserve(context, w, h);
  if (!bits) return QV_CODEC_REFUSED;
  const std::size_t count = std::size_t(w) * std::size_t(h);
  // Some readers report an alpha channel past the last one (GIF says 4 of 4); then the last of
  // two or four channels is the alpha.
  int a = layout.alpha_channel;
  if (a >= nch) a = (nch == 2 || nch == 4) ? nch - 1 : -1;
  bool ok;
  bool hasAlpha;
  int used;
  if (nch <= 4 && (a < 0 || a == nch - 1)) {
    // The usual layouts: decoded straight into the pixel block, 4 bytes apart.
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
      std::uint8_t* d = bits + 4 * i;
      d[0] = s[colour[0]];
      d[1] = s[colour[1]];
      d[2] = s[colour[2]];
      d[3] = hasAlpha ? s[a] : 255;
    }
  }
  // A decoder that met trouble but still filled the image (a truncated file, say) reports an error.
  if (!ok || in->has_error()) {
    message = ErrorText(in->geterror(), "cannot decode the pixels");
    return QV_CODEC_DAMAGED;
  }
  *channels = used;
  *hasAlphaOut = hasAlpha ? 1 : 0;
  return QV_CODEC_OK;
}

// Collects what a writer puts into memory and hands it to the engine's sink once complete.
int Encode(const char* name, const unsigned char* bgra, int w, int h, bool withAlpha, TQvSink sink,
           void* context, std::string& message) {
  ConfigureCodecs();
  auto out = OIIO::ImageOutput::create(name);
  if (!out) return QV_CODEC_NO_CODEC;
  std::vector<unsigned char> bytes;
  OIIO::Filesystem::IOVecOutput proxy(bytes);
  if (sink) {
    if (!out->supports("ioproxy")) return QV_CODEC_NO_STREAM;
    out->set_ioproxy(&proxy);
  }
  const int nch = withAlpha && out->supports("alpha") ? 4 : 3;
  OIIO::ImageSpec layout(w, h, nch, OIIO::TypeDesc::UINT8);
  if (nch == 4) {
    layout.alpha_channel = 3;
    layout.attribute("oiio:UnassociatedAlpha", 1);  // store the alpha byte; do not divide colours by it
  }
  const std::size_t count = std::size_t(w) * std::size_t(h);
  std::vector<std::uint8_t> rgb(count * std::size_t(nch));
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* s = bgra + 4 * i;
    std::uint8_t* d = &rgb[i * std::size_t(nch)];
    d[0] = s[2];
    d[1] = s[1];
    d[2] = s[0];
    if (nch == 4) d[3] = s[3];
  }
  if (!out->open(name, layout) || !out->write_image(OIIO::TypeDesc::UINT8, rgb.data()) || !out->close()) {
    message = ErrorText(out->geterror(), "write failed");
    return QV_CODEC_WRITE_FAILED;
  }
  if (sink) sink(context, bytes.data(), bytes.size());
  return QV_CODEC_OK;
}

// Runs body(text), which returns a status; nothing may leave the plug-in but a status (some of
// the codec's readers throw their own exceptions on damaged files: the GIF reader a
// std::length_error for an absurd size). `failure` is the status of such an exception.
template <class F>
int Guarded(F body, int failure, char* message, std::size_t messageSize) {
  std::string text;
  int status;
  try {
    status = body(text);
  } catch (const std::bad_alloc&) {
    status = QV_CODEC_NO_MEMORY;
  } catch (const std::exception& e) {
    text = e.what();
    status = failure;
  } catch (...) {
    text = "unknown failure";
    status = failure;
  }
  Tell(message, messageSize, text);
  return status;
}

int DecodeEntry(const char* name, const unsigned char* data, std::size_t size, const char* format,
                TQvReserve reserve, void* context, int* channels, int* hasAlpha, char* message,
                std::size_t messageSize) {
  return Guarded([&](std::string& text) { return Decode(name, data, size, format, reserve, context, channels, hasAlpha, text); },
                 QV_CODEC_DAMAGED, message, messageSize);
}

int EncodeEntry(const char* name, const unsigned char* bgra, int w, int h, int withAlpha, TQvSink sink,
                void* context, char* message, std::size_t messageSize) {
  return Guarded([&](std::string& text) { return Encode(name, bgra, w, h, withAlpha != 0, sink, context, text); },
                 QV_CODEC_WRITE_FAILED, message, messageSize);
}

const TQvCodecPlugin kPlugin = {QV_CODEC_ABI, &DecodeEntry, &EncodeEntry};

}  // namespace

extern "C" __attribute__((visibility("default"))) const void* qv_codec_plugin(void) { return &kPlugin; }
