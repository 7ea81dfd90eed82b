#pragma once
// The rundown: the pages a show plays, in order, each on the on-air layer it takes and with the
// values of its fields. Kept as a JSON file beside the pages:
//
//   {"rows": [{"id": "anna", "page": "lower-third.QV", "layer": 1,
//              "fields": {"Meta1": "Anna Berg", "title.Text": "Reporter"}}]}
//
// Field names are those of a batch's columns (batch/BatchRows.h): "Meta1".."Meta4",
// "NextMeta1".."NextMeta4" and "<layerName>.<property>". Whether a name exists on a page is the
// page's business (serve/PageSchema.h); this file only keeps the rows well-formed.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace qv::serve {

using TJson = nlohmann::ordered_json;

// On-air layers are numbered from 1 (the bottom) to this.
constexpr int kMaxLayer = 99;

struct TRundownRow {
  std::string Id;
  std::string Page;  // a .QV path relative to the rundown's folder
  int Layer = 1;
  std::vector<std::pair<std::string, std::string>> Fields;  // in the file's order

  const std::string* Field(std::string_view Name) const;
  bool operator==(const TRundownRow&) const = default;
};

struct TRundown {
  std::vector<TRundownRow> Rows;

  // The row with Id, or none.
  const TRundownRow* Find(std::string_view Id) const;
  TRundownRow* Find(std::string_view Id);
  // The index of the row with Id, or -1.
  int IndexOf(std::string_view Id) const;
  bool operator==(const TRundown&) const = default;
};

// "The value of X" checks each return an empty string when the value is fine, else one line
// saying what is wrong with it (for the client's error message).
std::string IdProblem(std::string_view Id);
std::string PageNameProblem(std::string_view Page);

// A row from its JSON object. Id may be left out when AllowNoId (the server names a new row);
// every other member must be of its type: "page" a string (whose path PageNameProblem and the
// folder's guard judge), "layer" a whole number from 1 to kMaxLayer, "fields" an object of
// strings; any other member is refused.
std::optional<TRundownRow> RowFromJson(const TJson& Object, bool AllowNoId, std::string& Error);
TJson RowToJson(const TRundownRow& Row);

// The rundown of a file's text: a JSON object with one member "rows", an array of rows whose ids
// are all different and whose pages pass PageNameProblem. Errors say which row and what is wrong.
std::optional<TRundown> ParseRundown(std::string_view Text, std::string& Error);
TJson RundownToJson(const TRundown& Rundown);
// The file's text: indented JSON ending with a line end.
std::string RundownText(const TRundown& Rundown);

// Reads FileName; throws std::runtime_error naming the file (and the problem) when it cannot be
// read or is no rundown.
TRundown ReadRundownFile(const std::string& FileName);
// Replaces FileName with the rundown's text: written to a new file beside it and renamed over it,
// so the file is always the old rundown or the new one. Flushed to the disk at once, or with
// Flush false later by SyncFile (project/TextFile.h). Throws std::runtime_error.
void WriteRundownFile(const std::string& FileName, const TRundown& Rundown, bool Flush = true);

// The first id "row1", "row2", ... that no row has.
std::string FreeRowId(const TRundown& Rundown);

}  // namespace qv::serve
