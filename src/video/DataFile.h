#pragma once
// The newsroom's data file for live playout: a JSON object whose "Meta1".."Meta4" and
// "NextMeta1".."NextMeta4" members give the composition's text slots and whose
// "<layerName>.<property>" members (the names of a batch's columns) set layers' properties. The
// file is looked at once
// a frame; a new version is taken only once it parses, so a file caught half-written is read
// again at the next frame rather than shown cut.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv::video {

struct TMetaValues {
  std::array<std::optional<std::string>, 4> Meta;
  std::array<std::optional<std::string>, 4> NextMeta;
  // Members whose names hold a "." (a layer's property), in the file's order.
  std::vector<std::pair<std::string, std::string>> Properties;
};

// Empty unless Text is one complete JSON object. Strings are taken as they are, numbers and
// booleans as their JSON text; other members (other names without a ".", other types) are
// ignored.
std::optional<TMetaValues> ParseMetaJson(std::string_view Text);

class TDataFileWatcher {
 public:
  explicit TDataFileWatcher(std::string FileName) : fFileName(std::move(FileName)) {}

  // The values of a version of the file not seen before that parses; empty when the file is
  // unchanged, missing, or not (yet) valid.
  std::optional<TMetaValues> Poll();

 private:
  struct TStamp {
    std::uint64_t Device = 0, Inode = 0;
    std::int64_t Size = -1, ModifiedNs = 0, ChangedNs = 0;
    bool operator==(const TStamp&) const = default;
  };
  std::string fFileName;
  std::optional<TStamp> fSeen;  // the stamp of the file when last read
  std::string fTakenText;       // the version last taken
};

}  // namespace qv::video
