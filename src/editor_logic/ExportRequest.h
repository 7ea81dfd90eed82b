#pragma once
// What File > Export asks for, and how it becomes the export's settings: numbered PNG or TGA
// frames, or a video file in one of the codecs, over a range of frames.
#include "platform/Clock.h"
#include "video/Export.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace qv {

struct TExportRequest {
  video::TExportKind Kind = video::TExportKind::ekPng;
  video::TVideoCodec Codec = video::TVideoCodec::vcProRes4444;
  std::int32_t From = 0;
  std::int32_t To = 0;  // inclusive
  // The video file, or where the frames go: a name ("/out/news" or "/out/news.png") that gets a
  // frame number, or a pattern with one already ("/out/news_%05d.png").
  std::string Output;
  // The time of day the page's clocks start at, at From (the window offers the time it is now).
  TTimeOfDay Time;
};

// The settings for Request: frames get "_%05d" and the kind's extension unless the name has a
// frame-number field; a video gets its codec's extension unless it has it (any letter case). None,
// with Error set, for a request that cannot be exported (no name, From after To, a negative frame).
std::optional<video::TExportSettings> ExportSettingsFor(const TExportRequest& Request, std::string& Error);

// Where the page as it stands is written for the export to read: beside the project it came from
// (so media paths stored relative to it still resolve), or in the temporary folder for a page
// that has none.
std::filesystem::path ExportProjectFile(const std::filesystem::path& ProjectFolder, int ProcessId);

}  // namespace qv
