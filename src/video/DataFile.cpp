#include "video/DataFile.h"

#include <nlohmann/json.hpp>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

namespace qv::video {

std::optional<TMetaValues> ParseMetaJson(std::string_view text) {
  const nlohmann::json doc = nlohmann::json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
  if (doc.is_discarded() || !doc.is_object()) return std::nullopt;
  TMetaValues values;
  auto take = [&](const std::string& key, std::optional<std::string>& slot) {
    const auto it = doc.find(key);
    if (it == doc.end()) return;
    if (it->is_string()) {
      slot = it->get<std::string>();
    } else if (it->is_number() || it->is_boolean()) {
      slot = it->dump();
    }
  };
  for (int i = 0; i < 4; ++i) {
    take("Meta" + std::to_string(i + 1), values.Meta[static_cast<std::size_t>(i)]);
    take("NextMeta" + std::to_string(i + 1), values.NextMeta[static_cast<std::size_t>(i)]);
  }
  return values;
}

std::optional<TMetaValues> TDataFileWatcher::Poll() {
  struct stat st{};
  if (::stat(fFileName.c_str(), &st) != 0) return std::nullopt;
  const TStamp stamp{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                     static_cast<std::int64_t>(st.st_size),
                     std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                     std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
  if (fTaken && *fTaken == stamp) return std::nullopt;
  std::ifstream in(fFileName, std::ios::binary);
  if (!in) return std::nullopt;
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto values = ParseMetaJson(text);
  if (values) fTaken = stamp;
  return values;
}

}  // namespace qv::video
