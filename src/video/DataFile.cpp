#include "video/DataFile.h"

#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <time.h>

#include <fstream>
#include <iterator>

namespace qv::video {

std::optional<TMetaValues> ParseMetaJson(std::string_view text) {
  const nlohmann::ordered_json doc =
      nlohmann::ordered_json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
  if (doc.is_discarded() || !doc.is_object()) return std::nullopt;
  TMetaValues values;
  auto asText = [](const nlohmann::ordered_json& v) -> std::optional<std::string> {
    if (v.is_string()) return v.get<std::string>();
    if (v.is_number() || v.is_boolean()) return v.dump();
    return std::nullopt;
  };
  auto take = [&](const std::string& key, std::optional<std::string>& slot) {
    const auto it = doc.find(key);
    if (it == doc.end()) return;
    if (auto t = asText(*it)) slot = std::move(t);
  };
  for (int i = 0; i < 4; ++i) {
    take("Meta" + std::to_string(i + 1), values.Meta[static_cast<std::size_t>(i)]);
    take("NextMeta" + std::to_string(i + 1), values.NextMeta[static_cast<std::size_t>(i)]);
  }
  for (const auto& [key, value] : doc.items()) {
    if (key.find('.') == std::string::npos) continue;
    if (auto t = asText(value)) values.Properties.emplace_back(key, std::move(*t));
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
  // File times move in steps of the kernel's tick, so two writes of the same size within one
  // step leave the same stamp: a file changed in the last second is read again every time, and
  // its text decides.
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const std::int64_t nowNs = std::int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
  const bool settled = nowNs - stamp.ModifiedNs > 1000000000 && nowNs - stamp.ChangedNs > 1000000000;
  if (settled && fSeen && *fSeen == stamp) return std::nullopt;
  std::ifstream in(fFileName, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  fSeen = stamp;
  if (text == fTakenText) return std::nullopt;
  auto values = ParseMetaJson(text);
  if (!values) {
    fSeen.reset();  // half-written: read again next time whatever its stamp says
    return std::nullopt;
  }
  fTakenText = std::move(text);
  return values;
}

}  // namespace qv::video
