#pragma once
// Small container classes shaped like the layers: a base with its own members and a derived
// kind that adds members of its own, a nested group and a colour.
#include <string>
#include <vector>

#include "animation/AnimationManager.h"
#include "model/BasicTypes.h"
#include "model/UndoEngine.h"
#include "support/TestPage.h"

namespace qv::test {

class TGroup : public TContainerObject {
  QV_CONTAINER(TGroup, TContainerObject)
 public:
  TDouble* Size() const { return fsize; }
  TColor4* Color() const { return fcolor; }
  std::vector<std::string>* Log = nullptr;  // receives "ChildChanged:<name>" when set

 protected:
  TGroup() = default;
  void ChildChanged(TBaseProperty* Sender, const std::string& SenderName) override {
    if (Log) Log->push_back("ChildChanged:" + SenderName);
  }

 private:
  TDouble* fsize = nullptr;
  TColor4* fcolor = nullptr;
};

class TBaseLayer : public TContainerObject {
  QV_CONTAINER(TBaseLayer, TContainerObject)
 public:
  TString* LayerName() const { return fname; }
  TBoolean* Visible() const { return fvisible; }
  TMinMaxInteger* Opacity() const { return fopacity; }
  TInteger* X() const { return fx; }
  TString* Hidden() const { return fhidden; }
  // What AfterConstruction of each class saw, in the order the hooks ran.
  std::vector<std::string> Trace;

 protected:
  TBaseLayer() = default;
  void AfterConstruction() override;

 private:
  TString* fname = nullptr;
  TBoolean* fvisible = nullptr;
  TMinMaxInteger* fopacity = nullptr;
  TInteger* fx = nullptr;
  TString* fhidden = nullptr;  // published as "_Hidden": never discovered
};

class TKindLayer : public TBaseLayer {
  QV_CONTAINER(TKindLayer, TBaseLayer)
 public:
  TString* Text() const { return ftext; }
  TEnum<TVTextAlig>* VAlign() const { return fvalign; }
  TGroup* Font() const { return ffont; }
  TDouble* Speed() const { return fspeed; }
  int FontChanges = 0;

 protected:
  TKindLayer() = default;
  void AfterConstruction() override;

 private:
  TString* ftext = nullptr;
  TEnum<TVTextAlig>* fvalign = nullptr;
  TGroup* ffont = nullptr;
  TDouble* fspeed = nullptr;
};

// A group that keeps its Size out of files.
class TVetoGroup : public TGroup {
  QV_CONTAINER(TVetoGroup, TGroup)
 public:
  bool CanSave(std::string_view Name) const override { return Name != "Size"; }

 protected:
  TVetoGroup() = default;
};

// A container made with an argument, the way layers are made with their composition.
class TOwnedThing : public TContainerObject {
  QV_CONTAINER(TOwnedThing, TContainerObject)
 public:
  int Owner() const { return fowner; }
  TInteger* Count_() const { return fcount; }

 protected:
  explicit TOwnedThing(int owner) : fowner(owner) {}

 private:
  int fowner;
  TInteger* fcount = nullptr;
};

// Counts the change notifications of a property.
struct ChangeCounter {
  explicit ChangeCounter(TBaseProperty* p) : prop(p) {
    p->AddChangeNotify(this, [this](TBaseProperty*, void*, const std::string&, std::int32_t) { ++count; });
  }
  ~ChangeCounter() { prop->RemoveChangeNotify(this); }
  TBaseProperty* prop;
  int count = 0;
};

}  // namespace qv::test
