#pragma once
// The ".QV" project file: a tree of "Object" blocks with one "Name = value" line per property and
// "Anim" lines carrying keyframe tracks. Containers write themselves (SaveToStream); this file
// holds the file writer and the reader.
#include "model/BaseLib.h"
#include "model/BasicTypes.h"
#include "project/ProjectError.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace qv {

// Collects what SaveToStream writes, each line ended by CR LF, UTF-8 without a byte-order mark,
// and saves it in one piece.
class TProjectTextWriter final : public TLineWriter {
 public:
  // Media paths as the page holds them.
  TProjectTextWriter() = default;
  // Media paths (pictures, sequence folders, text files) as a project in MediaTo keeps them, for a
  // page whose relative paths start from MediaFrom (PortableMediaPath).
  TProjectTextWriter(std::filesystem::path MediaFrom, std::filesystem::path MediaTo)
      : fMediaFrom(std::move(MediaFrom)), fMediaTo(std::move(MediaTo)), fPortable(true) {}
  std::string ValueText(const TBaseProperty& Property) const override;
  void WriteLine(const std::string& Line) override {
    fText += Line;
    fText += "\r\n";
  }
  const std::string& Text() const { return fText; }
  // Replaces FileName atomically (the old file survives any failure); EProjectError on failure.
  void SaveTo(const std::string& FileName) const;

 private:
  std::string fText;
  std::filesystem::path fMediaFrom;
  std::filesystem::path fMediaTo;
  bool fPortable = false;
};

// Sets Property from the text a project file keeps for it ("True", "0.50000000", an enumeration's
// ordinal, a file name), through the property's own conversion from a string; answers whether the
// property took the text. Text carries the value (a TString made by the caller, so that a thread
// that sets values makes and frees no properties of its own).
bool SetPropertyFromText(TBaseProperty& Property, const TString& Text);

// Called for every object whose block was still open when a damaged line stopped the reading
// (innermost first), after its notifications were switched back on; the composition uses it to
// take a half-read layer out again.
using TDiscardObject = std::function<void(TContainerObject* Object)>;

// Reads the lines of a project into Root. Each "Object" header asks the current object for the
// child (Root's GetObject answers the top-level blocks); property lines hand their text to the
// property found by name; "Anim" lines add keys to the property's track in the slot they name.
// Each object is muted (BeginChange(0)) while its block is read, then EndChange(0) and CloseObject
// run at its "End" (or at the end of the file for blocks a truncated file leaves open).
// Blocks of unknown classes are skipped with everything in them; blank lines and an "End" with no
// block open are ignored; an "Anim" line whose slot is outside 0..15 is skipped. A slot, frame or
// value that is not a number stops the reading: EProjectError names FileName and the line (1-based);
// what was read before stays, except the objects whose blocks were open (see Discard).
void ParseProjectLines(const std::vector<std::string>& Lines, const std::string& FileName,
                       TContainerObject& Root, const TDiscardObject& Discard);

// The class keywords (upper case, "TTEXTLAYER") of every "Object" header of FileName, in file
// order, without making anything; none when the file cannot be read.
std::vector<std::string> ProjectObjectClasses(const std::string& FileName);

// Reads FileName (any line ends, UTF-8 or a UTF-16 byte-order mark) with ParseProjectLines.
void LoadProjectFile(const std::string& FileName, TContainerObject& Root, const TDiscardObject& Discard);

}  // namespace qv
