#include "batch/BatchRows.h"

#include "model/BasicTypes.h"
#include "project/ProjectFile.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <unordered_map>

namespace qv {

namespace {

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// "Meta3" -> 2, "NextMeta1" -> 0 (letter case aside); -1 for anything else.
int SlotOf(std::string_view name, std::string_view prefix) {
  if (name.size() != prefix.size() + 1 || !SameText(name.substr(0, prefix.size()), prefix)) return -1;
  const char d = name.back();
  return d >= '1' && d <= '4' ? d - '1' : -1;
}

std::vector<std::string> Split(std::string_view s, char sep) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  for (;;) {
    const std::size_t next = s.find(sep, at);
    parts.emplace_back(s.substr(at, next == std::string_view::npos ? std::string_view::npos : next - at));
    if (next == std::string_view::npos) return parts;
    at = next + 1;
  }
}

// The property at Path under Root (each part a child's name, letter case aside), or none.
TBaseProperty* Walk(TBaseProperty* root, const std::vector<std::string>& path, std::string& problem) {
  TBaseProperty* at = root;
  std::string walked;
  for (const std::string& part : path) {
    auto* container = dynamic_cast<TCustomContainerObject*>(at);
    if (container == nullptr) {
      problem = walked + " has no parts";
      return nullptr;
    }
    TBaseProperty* child = part.empty() ? nullptr : container->GetProperty(part);
    walked += walked.empty() ? part : "." + part;
    if (child == nullptr) {
      problem = "no property " + walked;
      return nullptr;
    }
    at = child;
  }
  if (dynamic_cast<TCustomContainerObject*>(at) != nullptr) {
    problem = walked + " is a group of properties, not one value";
    return nullptr;
  }
  return at;
}

}  // namespace

std::vector<TBatchColumn> ClassifyColumns(const std::vector<std::string>& header, const TQVSystem& page,
                                          const std::vector<std::string>& patternColumns) {
  std::vector<TBatchColumn> columns;
  for (const std::string& name : header) {
    TBatchColumn c;
    c.Name = name;
    const bool inPattern = std::find(patternColumns.begin(), patternColumns.end(), name) != patternColumns.end();
    if (const int m = SlotOf(name, "Meta"); m >= 0) {
      c.Kind = TColumnKind::ckMeta;
      c.Slot = m;
    } else if (const int n = SlotOf(name, "NextMeta"); n >= 0) {
      c.Kind = TColumnKind::ckNextMeta;
      c.Slot = n;
    } else {
      // The layer whose name, followed by ".", starts the column's name; the longest such name
      // wins, as a layer's name may hold dots of its own.
      int found = -1;
      std::size_t foundLength = 0;
      bool twice = false;
      for (std::size_t i = 0; i < page.Layers.size(); ++i) {
        const std::string& layer = page.Layers[i]->layerName();
        if (layer.empty() || name.size() <= layer.size() + 1 || name.compare(0, layer.size(), layer) != 0 ||
            name[layer.size()] != '.') {
          continue;
        }
        if (found < 0 || layer.size() > foundLength) {
          found = static_cast<int>(i);
          foundLength = layer.size();
          twice = false;
        } else if (layer.size() == foundLength) {
          twice = true;
        }
      }
      if (found >= 0 && twice) {
        c.Problem = "more than one layer is named \"" + name.substr(0, foundLength) + "\"";
      } else if (found >= 0) {
        c.Kind = TColumnKind::ckProperty;
        c.Layer = found;
        c.Path = Split(std::string_view(name).substr(foundLength + 1), '.');
        std::string problem;
        if (FindColumnProperty(page, c, &problem) == nullptr) {
          c.Kind = TColumnKind::ckUnknown;
          c.Problem = "layer \"" + name.substr(0, foundLength) + "\" has " + problem;
        }
      } else if (inPattern) {
        c.Kind = TColumnKind::ckData;
      } else if (name.find('.') != std::string::npos) {
        c.Problem = "no layer of the template is named as the column starts";
      } else {
        c.Problem = "neither a metadata slot, a layer's property nor part of the output name";
      }
    }
    columns.push_back(std::move(c));
  }
  return columns;
}

TBaseProperty* FindColumnProperty(const TQVSystem& page, const TBatchColumn& column, std::string* problem) {
  std::string why;
  TBaseProperty* p = nullptr;
  if (column.Kind != TColumnKind::ckProperty || column.Layer < 0 ||
      static_cast<std::size_t>(column.Layer) >= page.Layers.size()) {
    why = "no such layer";
  } else {
    p = Walk(page.Layers[static_cast<std::size_t>(column.Layer)].get(), column.Path, why);
  }
  if (p == nullptr && problem != nullptr) *problem = why;
  return p;
}

std::optional<TOutputPattern> TOutputPattern::Parse(const std::string& pattern, std::string& error) {
  TOutputPattern p;
  std::string text;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if ((c == '{' || c == '}') && i + 1 < pattern.size() && pattern[i + 1] == c) {
      text += c;
      ++i;
    } else if (c == '{') {
      const std::size_t close = pattern.find('}', i + 1);
      if (close == std::string::npos) {
        error = "a \"{\" without its \"}\" in the output name: " + pattern;
        return std::nullopt;
      }
      if (close == i + 1) {
        error = "\"{}\" names no column in the output name: " + pattern;
        return std::nullopt;
      }
      p.Parts.push_back(std::move(text));
      text.clear();
      p.Parts.push_back(pattern.substr(i + 1, close - i - 1));
      i = close;
    } else if (c == '}') {
      error = "a \"}\" without its \"{\" in the output name (write \"}}\" for one): " + pattern;
      return std::nullopt;
    } else {
      text += c;
    }
  }
  p.Parts.push_back(std::move(text));
  return p;
}

std::vector<std::string> TOutputPattern::Columns() const {
  std::vector<std::string> names;
  for (std::size_t i = 1; i < Parts.size(); i += 2) names.push_back(Parts[i]);
  return names;
}

std::string TOutputPattern::Expand(const std::vector<std::string>& header, const std::vector<std::string>& row,
                                   bool escapePercent) const {
  std::string out;
  for (std::size_t i = 0; i < Parts.size(); ++i) {
    if (i % 2 == 0) {
      out += Parts[i];
      continue;
    }
    const auto at = std::find(header.begin(), header.end(), Parts[i]);
    const std::size_t column = static_cast<std::size_t>(at - header.begin());
    const std::string value = FileNameSafe(column < row.size() ? row[column] : std::string());
    for (char c : value) {
      out += c;
      if (c == '%' && escapePercent) out += '%';
    }
  }
  return out;
}

std::string FileNameSafe(const std::string& value) {
  std::string s;
  for (char c : value) {
    const auto u = static_cast<unsigned char>(c);
    s += u < 32 || u == 127 || std::strchr("/\\:*?\"<>|", c) != nullptr ? '_' : c;
  }
  const std::size_t first = s.find_first_not_of(" .");
  if (first == std::string::npos) return "_";
  s = s.substr(first, s.find_last_not_of(" .") - first + 1);
  if (s.size() > 200) {
    std::size_t cut = 200;
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;  // not inside a character
    s.resize(cut);
  }
  return s;
}

std::optional<std::pair<std::size_t, std::size_t>> FirstDuplicate(const std::vector<std::string>& names) {
  std::unordered_map<std::string_view, std::size_t> seen;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i].empty()) continue;
    const auto [it, fresh] = seen.emplace(names[i], i);
    if (!fresh) return std::pair{it->second, i};
  }
  return std::nullopt;
}

std::optional<TShard> TShard::Parse(const std::string& text) {
  const std::size_t slash = text.find('/');
  if (slash == std::string::npos) return std::nullopt;
  TShard s;
  auto number = [](std::string_view t, int& v) {
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    return !t.empty() && r.ec == std::errc() && r.ptr == t.data() + t.size();
  };
  if (!number(std::string_view(text).substr(0, slash), s.Index) ||
      !number(std::string_view(text).substr(slash + 1), s.Count)) {
    return std::nullopt;
  }
  if (s.Count < 1 || s.Index < 0 || s.Index >= s.Count) return std::nullopt;
  return s;
}

std::vector<std::size_t> TShard::Rows(std::size_t rowCount) const {
  std::vector<std::size_t> rows;
  for (std::size_t r = static_cast<std::size_t>(Index); r < rowCount; r += static_cast<std::size_t>(Count)) {
    rows.push_back(r);
  }
  return rows;
}

TPageSnapshot::TPageSnapshot(TQVSystem& page) : fPage(page) {
  for (const auto& layer : page.Layers) {
    TLayerValues l{layer.get(), {}};
    for (const auto& child : layer->Properties()) CollectValues(*child, l.Values);
    fLayers.push_back(std::move(l));
  }
}

TPageSnapshot::TPageSnapshot(TQVSystem& page, const std::vector<TBatchColumn>& columns) : fPage(page) {
  for (const TBatchColumn& c : columns) {
    TBaseProperty* p = FindColumnProperty(page, c);
    if (p == nullptr) continue;
    TLayer* layer = page.Layers[static_cast<std::size_t>(c.Layer)].get();
    auto it = std::find_if(fLayers.begin(), fLayers.end(), [&](const TLayerValues& l) { return l.Layer == layer; });
    if (it == fLayers.end()) it = fLayers.insert(fLayers.end(), TLayerValues{layer, {}});
    const bool held = std::any_of(it->Values.begin(), it->Values.end(), [&](const TValue& v) { return v.Property == p; });
    if (!held) CollectValues(*p, it->Values);
  }
}

std::vector<std::vector<double>> TPageSnapshot::KeysOf(const TBaseProperty& p) {
  std::vector<std::vector<double>> all;
  if (const TAnimRec* rec = p.AnimRecord()) {
    for (const auto& track : rec->AnimationList) {
      if (!track) continue;
      std::vector<double> keys;
      for (int i = 0; i < track->Count(); ++i) keys.push_back(track->key(i)->fvalue);
      all.push_back(std::move(keys));
    }
  }
  return all;
}

void TPageSnapshot::CollectValues(TBaseProperty& p, std::vector<TValue>& values) {
  if (auto* container = dynamic_cast<TCustomContainerObject*>(&p)) {
    for (const auto& child : container->Properties()) CollectValues(*child, values);
    return;
  }
  values.push_back(TValue{&p, p.StringForm(), KeysOf(p)});
}

std::vector<TLayer*> TPageSnapshot::Restore(const std::vector<TBatchColumn>& columns, TString& carrier) const {
  std::vector<const TBaseProperty*> rowSets;
  for (const TBatchColumn& c : columns) {
    if (c.Kind != TColumnKind::ckProperty) continue;
    if (const TBaseProperty* p = FindColumnProperty(fPage, c)) rowSets.push_back(p);
  }
  return PutBack(rowSets, true, carrier);
}

std::vector<TLayer*> TPageSnapshot::RestoreExcept(const std::vector<const TBaseProperty*>& keep, TString& carrier) const {
  return PutBack(keep, false, carrier);
}

std::vector<TLayer*> TPageSnapshot::PutBack(const std::vector<const TBaseProperty*>& keep, bool restoreKeysOfKept,
                                            TString& carrier) const {
  std::vector<TLayer*> restored;
  for (const TLayerValues& l : fLayers) {
    bool opened = false;
    for (const TValue& v : l.Values) {
      const bool kept = std::find(keep.begin(), keep.end(), v.Property) != keep.end();
      if (!v.Keys.empty()) {
        if (kept && !restoreKeysOfKept) continue;
        // The value follows its tracks; only a column's shift of the curve is undone.
        std::size_t k = 0;
        for (const auto& track : v.Property->AnimRecord()->AnimationList) {
          if (!track || k >= v.Keys.size()) continue;
          const std::vector<double>& keys = v.Keys[k++];
          for (int i = 0; i < track->Count() && static_cast<std::size_t>(i) < keys.size(); ++i) {
            track->key(i)->fvalue = keys[static_cast<std::size_t>(i)];
          }
        }
        continue;
      }
      if (kept) continue;
      if (v.Property->StringForm() == v.Text) continue;
      if (!opened) {
        l.Layer->BeginChange(0);
        opened = true;
      }
      carrier.SetValue(v.Text);
      SetPropertyFromText(*v.Property, carrier);
    }
    if (opened) {
      l.Layer->EndChange(0);
      restored.push_back(l.Layer);
    }
  }
  return restored;
}

std::vector<const TBaseProperty*> TPageSnapshot::Changed() const {
  std::vector<const TBaseProperty*> changed;
  for (const TLayerValues& l : fLayers) {
    for (const TValue& v : l.Values) {
      const bool differs = v.Keys.empty() ? v.Property->StringForm() != v.Text : KeysOf(*v.Property) != v.Keys;
      if (differs) changed.push_back(v.Property);
    }
  }
  return changed;
}

void TPageSnapshot::ForgetMissingLayers() {
  std::erase_if(fLayers, [&](const TLayerValues& l) { return fPage.IndexOf(l.Layer) < 0; });
}

std::vector<std::string> ApplyRow(TQVSystem& page, const std::vector<TBatchColumn>& columns,
                                  const std::vector<std::string>& row, TString& carrier) {
  std::vector<std::string> problems;
  if (row.size() != columns.size()) {
    problems.push_back("has " + std::to_string(row.size()) + " fields where the header names " +
                       std::to_string(columns.size()) + " columns");
    return problems;
  }
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].Kind == TColumnKind::ckUnknown && !row[i].empty()) {
      problems.push_back("column \"" + columns[i].Name + "\": " + columns[i].Problem);
    }
  }
  if (!problems.empty()) return problems;

  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].Kind == TColumnKind::ckMeta) page.Meta(columns[i].Slot) = row[i];
    if (columns[i].Kind == TColumnKind::ckNextMeta) page.NextMeta(columns[i].Slot) = row[i];
  }
  // Layer by layer, in stack order, as the reader goes through a project's blocks.
  for (std::size_t l = 0; l < page.Layers.size(); ++l) {
    TLayer& layer = *page.Layers[l];
    bool opened = false;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const TBatchColumn& c = columns[i];
      if (c.Kind != TColumnKind::ckProperty || static_cast<std::size_t>(c.Layer) != l) continue;
      std::string problem;
      TBaseProperty* p = FindColumnProperty(page, c, &problem);
      if (p == nullptr) {
        problems.push_back("column \"" + c.Name + "\": " + problem);
        continue;
      }
      if (!opened) {
        layer.BeginChange(0);
        opened = true;
      }
      carrier.SetValue(row[i]);
      // The reader stores a whole number as it is, while its track decides what a frame shows:
      // an animated one is set as an edit sets it, its curve moving to pass through the value
      // (as an animated TDouble's does when the reader sets it).
      auto* whole = dynamic_cast<TInteger*>(p);
      const bool animated = whole != nullptr && whole->Animation(false) != nullptr;
      const std::int32_t before = whole != nullptr ? whole->Value() : 0;
      if (!SetPropertyFromText(*p, carrier)) {
        problems.push_back("column \"" + c.Name + "\": \"" + row[i] + "\" is not a value it takes");
      } else if (animated) {
        const std::int32_t value = whole->Value();
        whole->StoreDerived(before);
        whole->SetValue(value);
      }
    }
    if (opened) {
      layer.EndChange(0);
      layer.CloseObject();
    }
  }
  return problems;
}

}  // namespace qv
