#include "app/qvrender/Play.h"

#include "app/qvrender/Playout.h"
#include "batch/BatchRows.h"
#include "video/DataFile.h"

#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qv::render {

namespace {

// Sets the data file's "<layerName>.<property>" members on the page, those that changed since the
// last version taken; a name the page does not have is reported once per version.
class TPropertyFeed {
 public:
  explicit TPropertyFeed(TQVSystem& Page) : fPage(Page) {}

  void Take(const std::vector<std::pair<std::string, std::string>>& properties) {
    std::vector<std::string> names, values;
    for (const auto& [name, value] : properties) {
      const auto seen = fTaken.find(name);
      if (seen != fTaken.end() && seen->second == value) continue;
      names.push_back(name);
      values.push_back(value);
    }
    if (names.empty()) return;
    std::vector<TBatchColumn> columns = ClassifyColumns(names, fPage, {});
    std::vector<TBatchColumn> known;
    std::vector<std::string> knownValues;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (columns[i].Kind == TColumnKind::ckProperty) {
        known.push_back(columns[i]);
        knownValues.push_back(values[i]);
      } else {
        std::cerr << "qvrender: data file: \"" << names[i] << "\": " << columns[i].Problem << "\n";
      }
      fTaken[names[i]] = values[i];
    }
    for (const std::string& problem : ApplyRow(fPage, known, knownValues, fCarrier))
      std::cerr << "qvrender: data file: " << problem << "\n";
  }

 private:
  TQVSystem& fPage;
  std::map<std::string, std::string> fTaken;
  TString fCarrier;
};

}  // namespace

int Play(const TOptions& o, video::TFrameRenderer& frames, const std::atomic<bool>& stop) {
  TQVSystem& sys = frames.System();
  std::optional<video::TDataFileWatcher> data;
  if (!o.DataFile.empty()) data.emplace(o.DataFile);
  TPropertyFeed properties(sys);

  const TPlayoutTarget target{o.Output, o.Stream.value_or(TStreamFormat::sfRaw), o.Background, o.Frames};
  auto frame = [&](std::int64_t n) -> const TmemoryBitmap& {
    if (data) {
      if (auto values = data->Poll()) {
        for (int i = 0; i < 4; ++i) {
          if (values->Meta[std::size_t(i)]) sys.Meta(i) = *values->Meta[std::size_t(i)];
          if (values->NextMeta[std::size_t(i)]) sys.NextMeta(i) = *values->NextMeta[std::size_t(i)];
        }
        properties.Take(values->Properties);
      }
    }
    return frames.Compose(static_cast<int>(n));
  };
  return RunPlayout(target, sys.work->Width(), sys.work->Height(), frames.HasFieldLayers(), frame, stop);
}

}  // namespace qv::render
