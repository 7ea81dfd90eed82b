#pragma once
// The keyed object text: a small writer (TFileSave) and the object base whose hooks a keyed
// reader calls (TPersistentClass). The tokenizer that both text readers share is base/Parser.h.
#include <cstdint>
#include <fstream>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace qv {

class TPersistentClass {
 public:
  virtual ~TPersistentClass() = default;
  virtual std::string_view ClassName() const { return "TPersistentClass"; }
  // Hooks of the keyed reader: a nested object by name and class, one "Key = Value" entry, and
  // the end of the object's block.
  virtual TPersistentClass* getObject(const std::string& Name, const std::string& ClassName);
  virtual void SetValue(const std::string& Key, const std::string& Value);
  virtual void CloseObject();
};

// Writes "Key = Value" lines ending in CR LF, indenting by three blanks per open object.
class TFileSave {
 public:
  // Creates or truncates the file; throws std::runtime_error when it cannot be created.
  explicit TFileSave(const std::string& FileName);
  // Writes into a stream the caller owns.
  explicit TFileSave(std::ostream& Stream);
  ~TFileSave();
  TFileSave(const TFileSave&) = delete;
  TFileSave& operator=(const TFileSave&) = delete;

  std::string Spacer;

  void OpenObjectKey(const TPersistentClass* Obj, const std::string& ObjectName);
  void CloseObjectKey();
  void AddIntKey(const std::string& KeyName, std::int32_t KeyValue);
  void AddDoubleKey(const std::string& KeyName, double KeyValue);
  void AddStrKey(const std::string& KeyName, const std::string& KeyValue);
  // Values[0 .. High]; a High past the end of Values is cut to the last entry.
  void AddDoubleArrayKey(const std::string& KeyName, std::span<const double> Values, int High);

 private:
  void WriteLine(const std::string& line);
  std::unique_ptr<std::ofstream> fFile;
  std::ostream* fOut = nullptr;
};

}  // namespace qv
