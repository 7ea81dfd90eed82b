#pragma once
// Test data: values the operator gives a page's fields to see it filled in, without the values
// ever becoming part of the page. A field is a metadata slot ("Meta1".."Meta4",
// "NextMeta1".."NextMeta4") or a layer's property ("<layerName>.<path>", as "headline.Text"):
// the names a batch table's columns use, applied the way a batch row is. Withdrawing the values
// puts the page back as it was, keeping whatever the operator changed on the page meanwhile; the
// page is saved with them withdrawn, so its file never holds them.
#include "batch/BatchRows.h"
#include "batch/CsvTable.h"
#include "composition/QvSystem.h"
#include "model/Signal.h"
#include "video/DataFile.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv {

struct TTestField {
  std::string Name;
  std::string Value;  // empty: the field gives the page nothing
  friend bool operator==(const TTestField&, const TTestField&) = default;
};

// The eight metadata slots' field names, in the panel's order: Meta1..Meta4, NextMeta1..NextMeta4.
const std::array<std::string, 8>& MetaFieldNames();

// The layer fields a page offers, in stack order: "<layerName>.<path>" for every value the grid
// shows of every named layer (groups walked: "headline.Font.FontSize").
std::vector<std::string> FieldSuggestions(const TQVSystem& Page);

class TTestData {
 public:
  // Page must outlive the test data.
  explicit TTestData(TQVSystem& Page);
  ~TTestData();
  TTestData(const TTestData&) = delete;
  TTestData& operator=(const TTestData&) = delete;

  // The fields: the eight slots first, then the layers' fields in the order they were added.
  const std::vector<TTestField>& Fields() const { return fFields; }
  // Gives a field its value, adding the field when it is new. A slot's name is taken in any
  // letter case and stored as MetaFieldNames() spells it. Nothing reaches the page before Apply.
  void Set(const std::string& Name, const std::string& Value);
  // Takes a layer's field out (the slots stay; their value is emptied).
  void Remove(const std::string& Name);
  // Every value emptied; the layers' fields go.
  void Clear();
  // Every field of the table's row (0-based, after the header) by its column's name. False, with
  // nothing changed, for a row the table does not have.
  bool LoadCsvRow(const TCsvTable& Table, std::size_t Row);
  // The slots a data file gives (those it does not name keep their value).
  void LoadMeta(const video::TMetaValues& Values);

  // Puts the values on the page (what an earlier Apply put there is withdrawn first); answers the
  // problems, one per field the page cannot take ("field \"x.Text\": no layer ..."); the fields
  // that work are applied all the same.
  std::vector<std::string> Apply();
  // Puts the page back as it was before Apply: the slots' text, every property a field set, and
  // the text a layer took from a slot. A value the operator changed since Apply stays as they set
  // it. Nothing happens when nothing is applied.
  void Withdraw();
  bool Applied() const { return fApplied != nullptr; }
  // Runs Work (a save, an export) with the values withdrawn, then applies them again.
  void WithoutTestData(const std::function<void()>& Work);

 private:
  struct TAppliedState;
  TQVSystem& fPage;
  std::vector<TTestField> fFields;
  std::unique_ptr<TAppliedState> fApplied;
  TConnection fLayersChanged;
  TString fCarrier;
};

}  // namespace qv
