#include "project/ProjectFile.h"

#include "animation/AnimationManager.h"
#include "base/Parser.h"
#include "model/BasicTypes.h"
#include "model/MathLib.h"
#include "project/MediaPath.h"
#include "project/TextFile.h"

#include <string_view>

namespace qv {

void TProjectTextWriter::SaveTo(const std::string& FileName) const { WriteFileAtomically(FileName, fText); }

std::string TProjectTextWriter::ValueText(const TBaseProperty& Property) const {
  const bool media = dynamic_cast<const TImageFileName*>(&Property) != nullptr ||
                     dynamic_cast<const TDirectory*>(&Property) != nullptr ||
                     dynamic_cast<const TTextFile*>(&Property) != nullptr;
  if (!fPortable || !media) return TLineWriter::ValueText(Property);
  return PortableMediaPath(static_cast<const TString&>(Property).Value(), fMediaFrom, fMediaTo);
}

bool SetPropertyFromText(TBaseProperty& Property, const TString& Text) { return Property.GetValueFrom(&Text); }

namespace {

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

std::string_view TrimLeading(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && static_cast<unsigned char>(s[i]) <= 32) ++i;
  return s.substr(i);
}

struct TBlock {
  TContainerObject* Obj = nullptr;     // none inside a block that is being skipped
  TBaseProperty* Current = nullptr;    // the property the next "Anim" lines belong to
  bool Opened = false;                 // made by an "Object" header (not the root)
};

// "Object 'Font':TTextFont" -> name "Font", class "TTEXTFONT".
void SplitHeader(std::string_view line, std::string& name, std::string& cls) {
  const std::size_t colon = line.rfind(':');
  if (colon == std::string_view::npos) {
    name.clear();
    cls.clear();
    return;
  }
  // From the 9th character up to the closing quote before the colon.
  name = colon > 9 ? std::string(TrimBlanks(line.substr(8, colon - 9))) : std::string();
  cls = UpperCase(TrimBlanks(line.substr(colon + 1)));
}

class TAnimLineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

void ReadAnimLine(std::string_view line, TBaseProperty& prop) {
  TParser parser(" ");
  parser.beginParse(line);
  const std::string first = parser.Parse();  // "Anim<slot>"
  std::int32_t slot = 0;
  if (!ParseInt(std::string_view(first).substr(4), slot)) {
    throw TAnimLineError("the slot of \"" + first + "\" is not a number");
  }
  if (slot < 0 || slot > 15) return;  // no such slot: the line is skipped

  // The registry's current slot chooses where the track is made; it is the editor's, so it is
  // put back at once. A property outside a page has no registry and keeps no track.
  TAnimationManager* am = prop.AnimationManager();
  if (am == nullptr) return;
  const std::int32_t previousSlot = am->Slot;
  am->Slot = slot;
  Tkeys* track = prop.Animation(true);
  am->Slot = previousSlot;
  if (track == nullptr) return;

  const std::string mode = parser.Parse();
  Tanimationtype type;
  if (AnimationTypeFromWord(mode, type)) track->Foutat = type;

  for (;;) {
    const std::string frameText = parser.Parse();
    if (frameText.empty()) break;
    std::int32_t frame = 0;
    if (!ParseInt(frameText, frame)) throw TAnimLineError("the key frame \"" + frameText + "\" is not a whole number");
    const std::string valueText = parser.Parse();
    if (valueText.empty()) break;
    double value = 0.0;
    if (!ParseFloat(valueText, value)) throw TAnimLineError("the key value \"" + valueText + "\" is not a number");
    track->AddKey(static_cast<double>(frame), value);
  }
}

}  // namespace

void ParseProjectLines(const std::vector<std::string>& lines, const std::string& fileName, TContainerObject& root,
                       const TDiscardObject& discard) {
  std::vector<TBlock> stack;
  stack.push_back({&root, nullptr, false});
  std::size_t lineNo = 0;

  try {
    for (; lineNo < lines.size(); ++lineNo) {
      const std::string_view line = TrimLeading(lines[lineNo]);
      // Files we write have no blank lines; one typed in by hand means nothing.
      if (line.empty()) continue;
      TBlock& top = stack.back();

      if (StartsWith(line, "Object")) {
        std::string name;
        std::string cls;
        SplitHeader(line, name, cls);
        TContainerObject* child = top.Obj != nullptr ? top.Obj->GetObject(name, cls) : nullptr;
        if (child != nullptr) child->BeginChange(0);
        stack.push_back({child, nullptr, true});
      } else if (StartsWith(line, "End")) {
        if (stack.size() == 1) continue;  // no block is open
        const TBlock block = stack.back();
        stack.pop_back();
        if (block.Obj != nullptr) {
          block.Obj->EndChange(0);
          block.Obj->CloseObject();
        }
      } else if (!StartsWith(line, "Anim")) {
        if (top.Obj == nullptr) continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
          top.Current = nullptr;
          continue;
        }
        // The name ends one character before "=" (the blank the writer puts there).
        const std::string_view name = TrimBlanks(line.substr(0, eq == 0 ? 0 : eq - 1));
        const std::string_view value = TrimBlanks(line.substr(eq + 1));
        top.Current = top.Obj->GetProperty(name);
        if (top.Current != nullptr) {
          const TString text{std::string(value)};
          SetPropertyFromText(*top.Current, text);
        }
      } else {
        if (top.Current == nullptr) continue;
        ReadAnimLine(line, *top.Current);
      }
    }
  } catch (const std::exception& e) {
    // Switch every open object's notifications back on, then let the owner take out what was
    // only half read.
    std::vector<TContainerObject*> open;
    for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
      if (it->Opened && it->Obj != nullptr) {
        it->Obj->EndChange(0);
        open.push_back(it->Obj);
      }
    }
    if (discard) {
      for (TContainerObject* obj : open) discard(obj);
    }
    const std::string reason = dynamic_cast<const TAnimLineError*>(&e) != nullptr
                                   ? std::string(e.what())
                                   : std::string("cannot be read: ") + e.what();
    throw EProjectError(fileName, static_cast<int>(lineNo + 1), reason);
  }

  // A file that ends inside blocks: close them as their "End" lines would have.
  while (stack.size() > 1) {
    const TBlock block = stack.back();
    stack.pop_back();
    if (block.Obj != nullptr) {
      block.Obj->EndChange(0);
      block.Obj->CloseObject();
    }
  }
}

std::vector<std::string> ProjectObjectClasses(const std::string& fileName) {
  std::vector<std::string> classes;
  try {
    for (const std::string& text : ReadTextLines(fileName)) {
      const std::string_view line = TrimLeading(text);
      if (!StartsWith(line, "Object")) continue;
      std::string name;
      std::string cls;
      SplitHeader(line, name, cls);
      classes.push_back(std::move(cls));
    }
  } catch (const std::exception&) {
    classes.clear();
  }
  return classes;
}

void LoadProjectFile(const std::string& fileName, TContainerObject& root, const TDiscardObject& discard) {
  const std::vector<std::string> lines = ReadTextLines(fileName);
  ParseProjectLines(lines, fileName, root, discard);
}

}  // namespace qv
