#include "editor_logic/Drops.h"

#include "editor_logic/Commands.h"
#include "raster/ImageFormats.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <filesystem>

namespace qv {

namespace {

std::string LowerExtension(const std::string& Path) {
  std::string ext = std::filesystem::path(Path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return ext;
}

std::int32_t Clamp32(std::int64_t v) { return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); }

}  // namespace

TDropKind ClassifyDrop(const std::string& Path) {
  std::error_code ec;
  if (Path.empty()) return TDropKind::dkRefused;
  if (std::filesystem::is_directory(Path, ec)) return TDropKind::dkSequence;
  if (!std::filesystem::is_regular_file(Path, ec)) return TDropKind::dkRefused;
  const std::string ext = LowerExtension(Path);
  if (ext == ".qv") return TDropKind::dkProject;
  if (ext == ".txt" || ext == ".rtf") return TDropKind::dkCrawl;
  if (image::IsPictureExtension(ext)) return TDropKind::dkPicture;
  return TDropKind::dkRefused;
}

std::vector<TDropItem> ClassifyDrops(const std::vector<std::string>& Paths) {
  std::vector<TDropItem> items;
  for (const std::string& p : Paths) items.push_back({p, ClassifyDrop(p)});
  return items;
}

bool AnyTaken(const std::vector<TDropItem>& Items) {
  return std::any_of(Items.begin(), Items.end(), [](const TDropItem& i) { return i.Kind != TDropKind::dkRefused; });
}

std::string RefusedMessage(const std::vector<TDropItem>& Items) {
  std::string names;
  for (const TDropItem& i : Items) {
    if (i.Kind != TDropKind::dkRefused) continue;
    const std::string name = std::filesystem::path(i.Path).filename().string();
    names += names.empty() ? name : ", " + name;
  }
  if (names.empty()) return {};
  return "Cannot use " + names + ": not a picture, a folder, a text or RTF file or a QV project";
}

TLayer* DropLayer(TQVSystem& Sys, const TDropItem& Item, TPagePoint At) {
  TLayerKind kind;
  switch (Item.Kind) {
    case TDropKind::dkPicture: kind = TLayerKind::lkImage; break;
    case TDropKind::dkSequence: kind = TLayerKind::lkSequence; break;
    case TDropKind::dkCrawl: kind = TLayerKind::lkRoll; break;
    default: return nullptr;
  }
  TLayer& layer = InsertLayer(Sys, kind, Item.Path);
  if (kind != TLayerKind::lkRoll) layer.SetX(Clamp32(At.X));
  layer.SetY(Clamp32(At.Y));
  Sys.SetSelectedLayer(&layer);
  return &layer;
}

}  // namespace qv
