#include "editor_logic/ExportRequest.h"

#include "base/NumberText.h"
#include "video/FrameFiles.h"

namespace qv {

namespace {

bool EndsWithNoCase(const std::string& Text, const std::string& Tail) {
  return Text.size() >= Tail.size() && SameText(std::string_view(Text).substr(Text.size() - Tail.size()), Tail);
}

}  // namespace

std::optional<video::TExportSettings> ExportSettingsFor(const TExportRequest& Request, std::string& Error) {
  if (Request.Output.empty()) {
    Error = "Choose where the export goes.";
    return std::nullopt;
  }
  if (Request.From < 0 || Request.To < Request.From) {
    Error = "The range runs from frame " + std::to_string(Request.From) + " to frame " + std::to_string(Request.To) +
            ": the first frame must be 0 or more and not after the last.";
    return std::nullopt;
  }
  video::TExportSettings s;
  s.Kind = Request.Kind;
  s.Codec = Request.Codec;
  s.From = Request.From;
  s.To = Request.To;
  s.Output = Request.Output;
  s.Time = Request.Time;
  if (Request.Kind == video::TExportKind::ekVideo) {
    const std::string ext = video::CodecExtension(Request.Codec);
    if (!EndsWithNoCase(s.Output, ext)) s.Output += ext;
    return s;
  }
  if (!IsValidFramePattern(s.Output)) {
    const std::string ext = Request.Kind == video::TExportKind::ekTga ? ".tga" : ".png";
    if (EndsWithNoCase(s.Output, ext)) s.Output.resize(s.Output.size() - ext.size());
    s.Output += "_%05d" + ext;
    if (!IsValidFramePattern(s.Output)) {
      Error = "\"" + Request.Output + "\" cannot name numbered frames (it holds a % of its own).";
      return std::nullopt;
    }
  }
  return s;
}

std::filesystem::path ExportProjectFile(const std::filesystem::path& ProjectFolder, int ProcessId) {
  const std::string name = ".qveditor-export-" + std::to_string(ProcessId) + ".QV";
  std::error_code ec;
  if (!ProjectFolder.empty() && std::filesystem::is_directory(ProjectFolder, ec)) return ProjectFolder / name;
  return std::filesystem::temp_directory_path(ec) / name;
}

}  // namespace qv
