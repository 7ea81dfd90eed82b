#pragma once
// The work area's background, the checkerboard of raster/Checkerboard.h, kept as "grid.png" so that
// later starts only read it.
#include "raster/Checkerboard.h"

#include <filesystem>
#include <string>
#include <vector>

namespace qv {

inline constexpr char kGridFileName[] = "grid.png";

// The file a Width × Height checkerboard is kept in: "grid.png" for 768 × 576 pages, and
// "grid-1920x1080.png" and the like for other sizes, so that pages of two sizes do not take turns
// writing one file.
std::string GridFileName(int Width, int Height);

// Writes the checkerboard as a colour PNG without alpha to File, by writing a new file and renaming
// it over the old one. Throws EImageError or std::filesystem::filesystem_error.
void GenerateGrid(const std::filesystem::path& File, int Width, int Height);

struct TCheckerboard {
  TStreamedBitmap Image;        // Width × Height unless a stored file of that width is taller or shorter
  std::filesystem::path File;   // the "grid.png" read or written; empty when none could be
  bool Opaque = true;           // every pixel has alpha 255 (a file of our own always does)
};

// The checkerboard for a Width × Height work area from its file in the first of Folders where it
// can be read or written: a file of the same width is used as it is (another height included); a
// missing, unreadable or damaged one, or one of another width, is written anew. Never fails: when
// no folder can hold the file, the checkerboard is made in memory.
TCheckerboard LoadCheckerboard(const std::vector<std::filesystem::path>& Folders, int Width, int Height);

}  // namespace qv
