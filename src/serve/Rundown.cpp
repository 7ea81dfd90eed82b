#include "serve/Rundown.h"

#include "project/TextFile.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace qv::serve {

namespace {

bool EndsWithQv(std::string_view s) {
  if (s.size() < 4) return false;
  const std::string_view ext = s.substr(s.size() - 3);
  return s[s.size() - 4] != '/' && ext.size() == 3 && ext[0] == '.' &&
         std::tolower(static_cast<unsigned char>(ext[1])) == 'q' &&
         std::tolower(static_cast<unsigned char>(ext[2])) == 'v';
}

// "rows[2] (\"anna\")" or "rows[2]" for the error of a row.
std::string RowPlace(std::size_t index, const TJson& row) {
  std::string place = "rows[" + std::to_string(index) + "]";
  if (row.is_object()) {
    const auto id = row.find("id");
    if (id != row.end() && id->is_string()) place += " (\"" + id->get<std::string>() + "\")";
  }
  return place;
}

}  // namespace

const std::string* TRundownRow::Field(std::string_view name) const {
  for (const auto& [n, v] : Fields) {
    if (n == name) return &v;
  }
  return nullptr;
}

const TRundownRow* TRundown::Find(std::string_view id) const {
  const int i = IndexOf(id);
  return i < 0 ? nullptr : &Rows[static_cast<std::size_t>(i)];
}

TRundownRow* TRundown::Find(std::string_view id) {
  const int i = IndexOf(id);
  return i < 0 ? nullptr : &Rows[static_cast<std::size_t>(i)];
}

int TRundown::IndexOf(std::string_view id) const {
  for (std::size_t i = 0; i < Rows.size(); ++i) {
    if (Rows[i].Id == id) return static_cast<int>(i);
  }
  return -1;
}

std::string IdProblem(std::string_view id) {
  if (id.empty() || id.size() > 64) return "an id has 1 to 64 characters";
  const bool plain = std::all_of(id.begin(), id.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.';
  });
  if (!plain) return "an id holds only letters, digits, '-', '_' and '.'";
  return {};
}

std::string PageNameProblem(std::string_view page) {
  if (page.empty()) return "a page is a .QV file in the rundown's folder; none was given";
  if (page.size() > 1024) return "a page's path is at most 1024 bytes";
  if (std::any_of(page.begin(), page.end(), [](char c) { return static_cast<unsigned char>(c) < 32 || c == 127; }))
    return "a page's path holds no control characters";
  if (page.front() == '/') return "a page's path is relative to the rundown's folder, not absolute";
  if (page.find('\\') != std::string_view::npos) return "a page's path separates its folders with '/'";
  std::size_t at = 0;
  for (;;) {
    const std::size_t slash = page.find('/', at);
    const std::string_view part = page.substr(at, slash == std::string_view::npos ? std::string_view::npos : slash - at);
    if (part == "..") return "a page's path may not leave the rundown's folder (\"..\")";
    if (slash == std::string_view::npos) break;
    at = slash + 1;
  }
  if (!EndsWithQv(page)) return "a page is a .QV file";
  return {};
}

std::optional<TRundownRow> RowFromJson(const TJson& o, bool allowNoId, std::string& error) {
  if (!o.is_object()) {
    error = "a row is a JSON object";
    return std::nullopt;
  }
  TRundownRow row;
  bool haveId = false, havePage = false, haveLayer = false;
  for (const auto& [key, value] : o.items()) {
    if (key == "id") {
      if (!value.is_string()) {
        error = "\"id\" is a string";
        return std::nullopt;
      }
      row.Id = value.get<std::string>();
      if (const std::string p = IdProblem(row.Id); !p.empty()) {
        error = "\"id\": " + p;
        return std::nullopt;
      }
      haveId = true;
    } else if (key == "page") {
      if (!value.is_string()) {
        error = "\"page\" is a string";
        return std::nullopt;
      }
      row.Page = value.get<std::string>();
      havePage = true;
    } else if (key == "layer") {
      if (!value.is_number_integer() || value.get<std::int64_t>() < 1 || value.get<std::int64_t>() > kMaxLayer) {
        error = "\"layer\" is a whole number from 1 to " + std::to_string(kMaxLayer);
        return std::nullopt;
      }
      row.Layer = static_cast<int>(value.get<std::int64_t>());
      haveLayer = true;
    } else if (key == "fields") {
      if (!value.is_object()) {
        error = "\"fields\" is an object of names and texts";
        return std::nullopt;
      }
      for (const auto& [name, text] : value.items()) {
        if (!text.is_string()) {
          error = "field \"" + name + "\": a value is a string";
          return std::nullopt;
        }
        if (name.empty()) {
          error = "a field has a name";
          return std::nullopt;
        }
        row.Fields.emplace_back(name, text.get<std::string>());
      }
    } else {
      error = "a row has no member \"" + key + "\" (id, page, layer, fields)";
      return std::nullopt;
    }
  }
  if (!haveId && !allowNoId) {
    error = "a row needs an \"id\"";
    return std::nullopt;
  }
  if (!havePage) {
    error = "a row needs a \"page\"";
    return std::nullopt;
  }
  if (!haveLayer) {
    error = "a row needs a \"layer\"";
    return std::nullopt;
  }
  return row;
}

TJson RowToJson(const TRundownRow& row) {
  TJson fields = TJson::object();
  for (const auto& [name, value] : row.Fields) fields[name] = value;
  return TJson{{"id", row.Id}, {"page", row.Page}, {"layer", row.Layer}, {"fields", std::move(fields)}};
}

std::optional<TRundown> ParseRundown(std::string_view text, std::string& error) {
  const TJson doc = TJson::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
  if (doc.is_discarded()) {
    error = "not JSON";
    return std::nullopt;
  }
  if (!doc.is_object()) {
    error = "a rundown is a JSON object with \"rows\"";
    return std::nullopt;
  }
  for (const auto& [key, value] : doc.items()) {
    if (key != "rows") {
      error = "a rundown has no member \"" + key + "\" (only \"rows\")";
      return std::nullopt;
    }
  }
  const auto rows = doc.find("rows");
  if (rows == doc.end() || !rows->is_array()) {
    error = "a rundown's \"rows\" is an array";
    return std::nullopt;
  }
  TRundown r;
  for (std::size_t i = 0; i < rows->size(); ++i) {
    const TJson& item = (*rows)[i];
    std::string problem;
    auto row = RowFromJson(item, false, problem);
    if (!row) {
      error = RowPlace(i, item) + ": " + problem;
      return std::nullopt;
    }
    if (const std::string p = PageNameProblem(row->Page); !p.empty()) {
      error = RowPlace(i, item) + ": \"page\": " + p;
      return std::nullopt;
    }
    if (r.Find(row->Id) != nullptr) {
      error = RowPlace(i, item) + ": another row has the id \"" + row->Id + "\"";
      return std::nullopt;
    }
    r.Rows.push_back(std::move(*row));
  }
  return r;
}

TJson RundownToJson(const TRundown& r) {
  TJson rows = TJson::array();
  for (const TRundownRow& row : r.Rows) rows.push_back(RowToJson(row));
  return TJson{{"rows", std::move(rows)}};
}

std::string RundownText(const TRundown& r) { return RundownToJson(r).dump(2) + "\n"; }

TRundown ReadRundownFile(const std::string& fileName) {
  // EProjectError names the file and is a std::runtime_error.
  const std::string text = ReadWholeFile(fileName, std::size_t(64) << 20);
  std::string error;
  auto r = ParseRundown(text, error);
  if (!r) throw std::runtime_error(fileName + ": " + error);
  return std::move(*r);
}

void WriteRundownFile(const std::string& fileName, const TRundown& r, bool flush) {
  WriteFileAtomically(fileName, RundownText(r), flush);
}

std::string FreeRowId(const TRundown& r) {
  for (std::size_t n = r.Rows.size() + 1;; ++n) {
    // Counting from the number of rows finds a free id within as many steps as there are rows.
    std::string id = "row" + std::to_string(n);
    if (r.Find(id) == nullptr) return id;
  }
}

}  // namespace qv::serve
