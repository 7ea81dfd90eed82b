// Opening the raster engine's plug-ins on first need, and calling them.
#include <new>
#include <string>
#include <vector>

#include "base/Plugin.h"
#include "raster/Plugins.h"
#include "raster/ImageFormats.h"

namespace qv::image {

namespace {

#ifndef QV_CODEC_PLUGIN_BUILT
#define QV_CODEC_PLUGIN_BUILT ""
#endif
#ifndef QV_RESIZE_PLUGIN_BUILT
#define QV_RESIZE_PLUGIN_BUILT ""
#endif

TPluginSlot& CodecSlot() {
  static TPluginSlot slot{"qv_oiio_plugin.so", QV_CODEC_ENTRY, QV_CODEC_PLUGIN_BUILT, QV_CODEC_ABI};
  return slot;
}
TPluginSlot& ResizeSlot() {
  static TPluginSlot slot{"qv_resize_plugin.so", QV_RESIZE_ENTRY, QV_RESIZE_PLUGIN_BUILT, QV_RESIZE_ABI};
  return slot;
}

const TQvCodecPlugin* Plugin() { return static_cast<const TQvCodecPlugin*>(CodecSlot().Table()); }

struct TReserveContext {
  TDecoded* out;
  const std::string* name;
  std::int64_t refusedW = -1, refusedH = -1;
};

unsigned char* ReserveForPlugin(void* context, int w, int h) {
  auto* c = static_cast<TReserveContext*>(context);
  if (w <= 0 || h <= 0 || TooLarge(w, h)) {
    c->refusedW = w;
    c->refusedH = h;
    return nullptr;
  }
  c->out->pixels.Resize(w, h, false);
  return c->out->pixels.Bits;
}

void Collect(void* context, const unsigned char* bytes, std::size_t count) {
  auto* v = static_cast<std::vector<std::uint8_t>*>(context);
  v->insert(v->end(), bytes, bytes + count);
}

}  // namespace

void UseCodecPlugin(const std::string& path) { CodecSlot().Choose(path); }
void UseResizePlugin(const std::string& path) { ResizeSlot().Choose(path); }

bool ResizeBicubic(const std::uint8_t* src, int sw, int sh, std::uint8_t* dst, int dw, int dh) {
  const auto* p = static_cast<const TQvResizePlugin*>(ResizeSlot().Table());
  return p && p->resize(src, sw, sh, dst, dw, dh) == 0;
}

void DecodeWithPlugin(const TImageInput& in, const TImageFormat& format, TDecoded& out) {
  const TQvCodecPlugin* p = Plugin();
  if (!p) throw EImageError(in.name, std::string("no reader for ") + format.name + " images");
  TReserveContext context{&out, &in.name};
  int channels = 4, hasAlpha = 1;
  char message[1024] = "";
  const int status = p->decode(in.name.c_str(), in.data, in.size, format.name, ReserveForPlugin, &context,
                               &channels, &hasAlpha, message, sizeof message);
  switch (status) {
    case QV_CODEC_OK:
      out.bgra = false;
      out.channels = channels;
      out.hasAlpha = hasAlpha != 0;
      return;
    case QV_CODEC_NO_CODEC:
      throw EImageError(in.name, std::string("no reader for ") + format.name + " images");
    case QV_CODEC_REFUSED:
      if (context.refusedW <= 0 || context.refusedH <= 0) ThrowDamaged(in.name, format, "invalid size");
      ThrowTooLarge(in.name, context.refusedW, context.refusedH);
    case QV_CODEC_NO_MEMORY:
      throw EImageError(in.name, "not enough memory to decode the image");
    default:
      ThrowDamaged(in.name, format, message);
  }
}

std::vector<std::uint8_t> EncodeWithPlugin(const std::string& name, const std::string& shownName,
                                           const std::uint8_t* bgra, int w, int h, bool withAlpha, bool toMemory) {
  const TQvCodecPlugin* p = Plugin();
  if (!p) throw EImageError(shownName, "no image writer for this file extension");
  std::vector<std::uint8_t> bytes;
  char message[1024] = "";
  const int status = p->encode(name.c_str(), bgra, w, h, withAlpha ? 1 : 0, toMemory ? Collect : nullptr, &bytes,
                               message, sizeof message);
  switch (status) {
    case QV_CODEC_OK:
      return bytes;
    case QV_CODEC_NO_CODEC:
      throw EImageError(shownName, "no image writer for this file extension");
    case QV_CODEC_NO_STREAM:
      throw EImageError(shownName, "this format cannot be written to a stream");
    case QV_CODEC_NO_MEMORY:
      throw std::bad_alloc();
    default:
      throw EImageError(shownName, std::string("cannot write the image: ") + message);
  }
}

}  // namespace qv::image
