#pragma once
// Frames as image files: the names of a numbered sequence and the PNG / TGA writer shared by
// qvrender and the editor's export.
#include "raster/Bitmap.h"

#include <string>

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

}  // namespace qv
