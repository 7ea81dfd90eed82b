#pragma once
// What a row of a batch does to a page. Each column of the table either fills a metadata slot
// ("Meta1".."Meta4", "NextMeta1".."NextMeta4"), or sets a layer's property ("<layerName>.<path>",
// as "headline.Text" or "headline.Font.FontColor.Red": the layer by its exact name, the path's
// parts as the project file names them), or only gives a value to the output name ("{name}").
// Rows are independent; which ones a run renders is chosen by shards.
#include "batch/CsvTable.h"
#include "composition/QvSystem.h"

#include <optional>
#include <string>
#include <vector>

namespace qv {

enum class TColumnKind { ckMeta, ckNextMeta, ckProperty, ckData, ckUnknown };

struct TBatchColumn {
  std::string Name;
  TColumnKind Kind = TColumnKind::ckUnknown;
  int Slot = 0;        // ckMeta, ckNextMeta: 0..3
  int Layer = -1;      // ckProperty: the layer's index in the template's stack
  std::vector<std::string> Path;  // ckProperty: the property's path inside the layer
  std::string Problem;            // ckUnknown: why the column sets nothing
};

// What each column of Header does on the page Template; PatternColumns are the columns the
// output name uses. A column that is none of these is unknown: a row that gives it a value is
// refused (an empty value sets nothing, so a spreadsheet's empty trailing column does no harm).
std::vector<TBatchColumn> ClassifyColumns(const std::vector<std::string>& Header, const TQVSystem& Template,
                                          const std::vector<std::string>& PatternColumns);

// The property a ckProperty column sets on Page (a page loaded from the same template); none when
// the path leads nowhere, with Problem saying why.
TBaseProperty* FindColumnProperty(const TQVSystem& Page, const TBatchColumn& Column, std::string* Problem = nullptr);

// The output name pattern: "{column}" takes the row's value, made safe for a file name; "{{" and
// "}}" stand for the braces themselves. Everything else is kept, a frame-number field too.
struct TOutputPattern {
  std::vector<std::string> Parts;   // text, then a column's name, then text, ... (odd: columns)
  // Reads Pattern; on an unclosed or empty brace the result is empty and Error says why.
  static std::optional<TOutputPattern> Parse(const std::string& Pattern, std::string& Error);
  std::vector<std::string> Columns() const;
  // The name for Row. With EscapePercent a "%" of a value is written "%%", so that a frame-number
  // field after it still reads the same.
  std::string Expand(const std::vector<std::string>& Header, const std::vector<std::string>& Row,
                      bool EscapePercent) const;
};

// Value as one file name: no folder separators, no control characters, none of the characters
// other systems refuse (: * ? " < > |), no leading or trailing blanks or dots, at most 200 bytes
// (cut on a character boundary), and "_" for what is left empty.
std::string FileNameSafe(const std::string& Value);

// The first pair of rows (0-based, in table order) that Names gives the same name; Names[i] empty
// means row i is left out.
std::optional<std::pair<std::size_t, std::size_t>> FirstDuplicate(const std::vector<std::string>& Names);

// --shard I/N: rows I, I + N, I + 2N, ... (0-based data rows) of Count.
struct TShard {
  int Index = 0;
  int Count = 1;
  static std::optional<TShard> Parse(const std::string& Text);
  std::vector<std::size_t> Rows(std::size_t RowCount) const;
  bool operator==(const TShard&) const = default;
};

// The values of a page's layers as loaded, so that each row starts from the template and not
// from what the rows before it left: a text layer keeps the metadata text it took, a column's
// value moves an animation's curve. Made when the page is loaded; Page must outlive it.
class TPageSnapshot {
 public:
  explicit TPageSnapshot(TQVSystem& Page);
  // Only the values Columns set (classified on Page); the layers' other values are not taken.
  TPageSnapshot(TQVSystem& Page, const std::vector<TBatchColumn>& Columns);
  // Puts back every value that differs from the template's (read back through the project
  // reader's conversion from the text the writer makes of it) and the keys of every track. The
  // values the row sets itself (Columns) are left for it, so that a picture a column names is not
  // loaded twice. Answers the layers that had a value put back: each is to be closed, as the
  // reader closes a layer, before its frame is drawn (a text layer that takes a metadata slot is
  // best closed after the frame's Advance, when it has taken the slot's text, so that it renders
  // once).
  std::vector<TLayer*> Restore(const std::vector<TBatchColumn>& Columns, TString& Carrier) const;
  // Puts back every value held that differs now, keys of animated ones included, except the
  // values of Keep; answers the layers to close as Restore does.
  std::vector<TLayer*> RestoreExcept(const std::vector<const TBaseProperty*>& Keep, TString& Carrier) const;
  // The values held that differ now from what was taken: the text of a plain one, the keys of an
  // animated one.
  std::vector<const TBaseProperty*> Changed() const;
  // Lets go of the layers that are no longer in the page's stack. A snapshot that outlives
  // changes to the stack calls it after each one: a layer deleted since is never looked at.
  void ForgetMissingLayers();

 private:
  struct TValue {
    TBaseProperty* Property;
    std::string Text;
    std::vector<std::vector<double>> Keys;  // per occupied slot, in slot order
  };
  struct TLayerValues {
    TLayer* Layer;
    std::vector<TValue> Values;
  };
  static void CollectValues(TBaseProperty& Property, std::vector<TValue>& Values);
  // The keys of an animated value, per occupied slot in slot order.
  static std::vector<std::vector<double>> KeysOf(const TBaseProperty& Property);
  // Keep: values left as they are. RestoreKeysOfKept: the keys of animated values are put back
  // even when Keep holds them (a row sets its value from the template's curve).
  std::vector<TLayer*> PutBack(const std::vector<const TBaseProperty*>& Keep, bool RestoreKeysOfKept,
                               TString& Carrier) const;
  TQVSystem& fPage;
  std::vector<TLayerValues> fLayers;
};

// Sets Row's values on Page (a page loaded from the template the columns were classified on).
// Meta columns fill the slots; each layer that a column sets is muted while its values are set
// and then closed, as the project reader does with a layer's block, so it renders its text and
// loads its pictures once. Carrier is a string property of the caller's, reused for each value.
// Answers the row's problems (a wrong number of fields, a value for an unknown column, a value a
// property refuses); the page's own reports of missing pictures come through its OnMediaProblem.
std::vector<std::string> ApplyRow(TQVSystem& Page, const std::vector<TBatchColumn>& Columns,
                                  const std::vector<std::string>& Row, TString& Carrier);

}  // namespace qv
