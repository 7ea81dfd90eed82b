// Opening the raster engine's plug-ins on first need, and calling them.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "raster/Plugins.h"
#include "raster/ImageFormats.h"

namespace qv::image {

namespace {

std::string ExecutableFolder() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  std::string path(buf, std::size_t(n));
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// One plug-in: its file name, the entry it exports, where the build put it.
struct TPluginSlot {
  TPluginSlot(const char* f, const char* e, const char* b, int a) : file(f), entry(e), built(b), abi(a) {}
  const char* file;
  const char* entry;
  const char* built;
  int abi;
  std::mutex lock;
  bool searched = false;
  std::string chosenPath;  // empty: search
  const void* table = nullptr;
};

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

// The plug-in's table of operations (each table starts with its ABI number), or nullptr.
const void* Open(const std::string& path, const TPluginSlot& s) {
  // Handles stay open for the life of the process: the plug-ins' libraries keep state.
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) return nullptr;
  const auto entry = reinterpret_cast<TQvPluginEntry>(::dlsym(handle, s.entry));
  const void* table = entry ? entry() : nullptr;
  return table && *static_cast<const int*>(table) == s.abi ? table : nullptr;
}

// Opened on the first call: next to the running executable, in ../lib/qv beside it, or where the
// build put it.
const void* Find(TPluginSlot& s) {
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.searched) return s.table;
  s.searched = true;
  std::vector<std::string> candidates;
  if (!s.chosenPath.empty()) {
    candidates.push_back(s.chosenPath);
  } else {
    const std::string here = ExecutableFolder();
    if (!here.empty()) {
      candidates.push_back(here + "/" + s.file);
      candidates.push_back(here + "/../lib/qv/" + s.file);
    }
    if (*s.built) candidates.push_back(s.built);
  }
  for (const std::string& c : candidates)
    if ((s.table = Open(c, s))) break;
  return s.table;
}

void Choose(TPluginSlot& s, const std::string& path) {
  std::lock_guard<std::mutex> guard(s.lock);
  s.chosenPath = path;
  s.searched = false;
  s.table = nullptr;
}

const TQvCodecPlugin* Plugin() { return static_cast<const TQvCodecPlugin*>(Find(CodecSlot())); }

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

void UseCodecPlugin(const std::string& path) { Choose(CodecSlot(), path); }
void UseResizePlugin(const std::string& path) { Choose(ResizeSlot(), path); }

bool ResizeBicubic(const std::uint8_t* src, int sw, int sh, std::uint8_t* dst, int dw, int dh) {
  const auto* p = static_cast<const TQvResizePlugin*>(Find(ResizeSlot()));
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
