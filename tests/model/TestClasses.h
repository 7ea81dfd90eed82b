#pragma once
// Small container classes shaped like the layers: a base with its own members and a derived
// kind that adds members of its own, a nested group and a colour.
#include <string>
#include <vector>

#include "model/BasicTypes.h"

namespace qv::test {

class TGroup : public TContainerObject {
  QV_CONTAINER(TGroup, TContainerObject)
 public:
  TDouble* Size() const { return fsize; }
  TColor4* Color() const { return fcolor; }

 protected:
  TGroup() = default;

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

}  // namespace qv::test
