#pragma once
// The interfaces between the raster engine and its plug-ins (shared libraries opened on first
// need), in plain C so that neither side depends on how the other was built. The codec plug-in
// reads and writes the formats our own readers and writers do not cover; the resampling plug-in
// scales pictures bicubically. Processes that never meet such a file, or never scale a picture,
// do not load them (nor the many libraries behind them).
#include <stddef.h>

extern "C" {

enum {
  QV_CODEC_OK = 0,
  QV_CODEC_DAMAGED = 1,       // message: what is wrong with the file
  QV_CODEC_NO_CODEC = 2,      // no reader (writer) for this format (extension)
  QV_CODEC_REFUSED = 3,       // the engine's reserve callback refused the size
  QV_CODEC_NO_MEMORY = 4,
  QV_CODEC_NO_STREAM = 5,     // the writer cannot write into memory
  QV_CODEC_WRITE_FAILED = 6,  // message: why
};

// Asked for the pixel block once the image's size is known: w * h pixels of 4 bytes, or null to
// refuse (the engine keeps its own reason).
typedef unsigned char* (*TQvReserve)(void* context, int w, int h);
// Receives the encoded bytes of an image written into memory (possibly in several pieces).
typedef void (*TQvSink)(void* context, const unsigned char* bytes, size_t count);

struct TQvCodecPlugin {
  int abi;  // QV_CODEC_ABI
  // Decodes the first image of `format` (a name of the engine's format table) from data/size, or
  // from the file `name` when data is null. Each pixel of the reserved block receives the first
  // *channels bytes (red, green, blue, alpha; grey or grey + alpha) and *hasAlpha tells whether
  // the last of them is an alpha. message (messageSize bytes) receives the reason of a failure.
  int (*decode)(const char* name, const unsigned char* data, size_t size, const char* format,
                TQvReserve reserve, void* context, int* channels, int* hasAlpha, char* message,
                size_t messageSize);
  // Writes w x h pixels (blue, green, red, alpha) in the format `name`'s extension selects, into
  // the file `name`, or into `sink` when it is not null. withAlpha: keep the alpha byte when the
  // format can hold it.
  int (*encode)(const char* name, const unsigned char* bgra, int w, int h, int withAlpha, TQvSink sink,
                void* context, char* message, size_t messageSize);
};

#define QV_CODEC_ABI 1
#define QV_CODEC_ENTRY "qv_codec_plugin"

struct TQvResizePlugin {
  int abi;  // QV_RESIZE_ABI
  // Resamples sw x sh pixels of 4 bytes into dw x dh with a bicubic filter, all four bytes alike.
  // 0 on success.
  int (*resize)(const unsigned char* src, int sw, int sh, unsigned char* dst, int dw, int dh);
};

#define QV_RESIZE_ABI 1
#define QV_RESIZE_ENTRY "qv_resize_plugin"

// Each plug-in exports one entry (TQvPluginEntry in base/Plugin.h) under its name above; it returns
// the plug-in's table (a TQvCodecPlugin or TQvResizePlugin, whose first member is its ABI number).
}
