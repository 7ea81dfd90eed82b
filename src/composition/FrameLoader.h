#pragma once
// Loading pictures for the image layers: one file into a bitmap whose colours are weighted by
// alpha, and whole image sequences decoded on all cores.
#include "raster/StreamBitmaps.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qv {

// Colour bytes c become the nearest integer to c * a / 255 (never exactly halfway); alpha stays.
void Premultiply(TmemoryBitmap& Bmp);

// Loads FileName (LoadFromFile without unmatte) and premultiplies it. Throws what the codec
// throws (EImageError naming the file); a file no codec recognises gives an empty bitmap.
std::unique_ptr<TStreamedBitmap> LoadPremultiplied(const std::string& FileName);

// The plain, visible files of a folder in natural name order (frame_2 before frame_10); folders
// and hidden files (names starting with ".") are left out. A folder that cannot be listed has no
// files.
std::vector<std::string> ListSequenceFiles(const std::string& Folder);

struct TLoadedFrame {
  std::unique_ptr<TStreamedBitmap> Bitmap;  // none when the file could not be read
  std::string Error;                        // why, naming the file
};

// Loads every file, in the order given, with LoadPremultiplied. Threads 0 means one per core.
// Each file is decoded into its own slot of the result, so the frames, their order and their
// pixels are those of loading one file after the other, and nothing but the frames (and one
// decoder's working memory per thread) is held at any time.
std::vector<TLoadedFrame> LoadFrames(const std::vector<std::string>& Files, unsigned Threads = 0);

// Told, on the thread that called LoadFrames, how many files are done of how many there are:
// every few hundredths of a second while the decoders work, and once more with all of them.
using TLoadProgress = std::function<void(std::size_t Loaded, std::size_t Found)>;
// As above; with Progress the calling thread only reports while Threads workers (0: one per
// core) decode, so a window can keep painting and show how far the load is.
std::vector<TLoadedFrame> LoadFrames(const std::vector<std::string>& Files, unsigned Threads,
                                     const TLoadProgress& Progress);

}  // namespace qv
