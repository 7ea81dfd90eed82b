#include "editor_logic/Checkerboard.h"

#include "editor_logic/RenderLoop.h"

#include <fstream>
#include <system_error>

namespace qv {

void GenerateGrid(const std::filesystem::path& File, int Width, int Height) {
  const TStreamedBitmap grid = MakeCheckerboard(Width, Height);
  std::filesystem::path temp = File;
  temp += ".new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) throw std::filesystem::filesystem_error("cannot write", temp, std::make_error_code(std::errc::permission_denied));
    grid.SaveToStream("png", out);  // colour only: the background has no alpha
    out.close();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      throw std::filesystem::filesystem_error("cannot write", temp, std::make_error_code(std::errc::io_error));
    }
  }
  std::filesystem::rename(temp, File);
}

std::string GridFileName(int Width, int Height) {
  if (Width == 768 && Height == 576) return kGridFileName;
  return "grid-" + std::to_string(Width) + "x" + std::to_string(Height) + ".png";
}

namespace {

// The stored grid when it is a readable picture of the right width.
bool TryLoad(const std::filesystem::path& File, int Width, TStreamedBitmap& Image) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(File, ec)) return false;
  try {
    TStreamedBitmap loaded;
    loaded.LoadFromFile(File.string());
    if (loaded.Empty() || loaded.Width() != Width) return false;
    Image = std::move(loaded);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

TCheckerboard LoadCheckerboard(const std::vector<std::filesystem::path>& Folders, int Width, int Height) {
  TCheckerboard result;
  for (const std::filesystem::path& folder : Folders) {
    if (folder.empty()) continue;
    const std::filesystem::path file = folder / GridFileName(Width, Height);
    if (TryLoad(file, Width, result.Image)) {
      result.File = file;
      result.Opaque = IsOpaque(result.Image);
      return result;
    }
    try {
      std::filesystem::create_directories(folder);
      GenerateGrid(file, Width, Height);
    } catch (const std::exception&) {
      continue;  // a folder we may not write to: try the next
    }
    if (TryLoad(file, Width, result.Image)) {
      result.File = file;
      return result;
    }
  }
  result.Image = MakeCheckerboard(Width, Height);
  return result;
}

}  // namespace qv
