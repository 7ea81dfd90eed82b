#pragma once
// Frames as image files: the names of a numbered sequence and the PNG / TGA writer shared by
// qvrender and the editor's export.
#include "raster/Bitmap.h"

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace qv {

// The file name of frame N under a sequence pattern holding one printf-style integer field
// ("%d" or "%05d"); "%%" stands for "%".
std::string FormatFramePattern(const std::string& Pattern, int Frame);
bool IsValidFramePattern(const std::string& Pattern);

// Writes a frame, PNG with straight alpha or TGA with the premultiplied bytes, so that the file
// is either complete or not changed: the image is encoded in memory first and then put in place
// (a new file renamed over the old one). A full disk or an unwritable folder throws an error
// naming the file and the reason.
void WriteFrame(const TmemoryBitmap& Bmp, const std::string& FileName, bool Tga);

// Many frames written one after another: each is put in place at once, complete or not there, as
// WriteFrame puts it, but they reach the disk together when Flush is called — one flush of the
// file system instead of two per frame, which were most of a small frame's cost and which
// several jobs writing side by side queued for. A writer is used by one thread at a time.
class TFrameWriter {
 public:
  void Write(const TmemoryBitmap& Bmp, const std::string& FileName, bool Tga);
  // Flushes every frame written since the last Flush to the disk. Throws an error naming a folder
  // of them and the reason when the disk reports that it could not keep them.
  void Flush();

 private:
  std::string fLastFolder;                          // the folder of the last frame written
  std::vector<std::pair<dev_t, std::string>> fUnflushed;  // a folder on each file system written to
};

}  // namespace qv
