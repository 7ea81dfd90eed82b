#include "TestClasses.h"

namespace qv::test {

QV_PUBLISHED(TGroup,
             QV_MEMBER("Size", fsize),
             QV_MEMBER("Color", fcolor))

QV_PUBLISHED(TBaseLayer,
             QV_MEMBER("layerName", fname),
             QV_MEMBER("Visible", fvisible),
             QV_MEMBER("Opacity", fopacity),
             QV_MEMBER("_Hidden", fhidden),
             QV_MEMBER("X", fx))

QV_PUBLISHED(TKindLayer,
             QV_MEMBER("Text", ftext),
             QV_MEMBER("VerticalAlignment", fvalign),
             QV_MEMBER("Font", ffont),
             QV_MEMBER("Speed", fspeed))

QV_PUBLISHED(TVetoGroup)

QV_PUBLISHED(TOwnedThing, QV_MEMBER("Count", fcount))

void TBaseLayer::AfterConstruction() {
  TContainerObject::AfterConstruction();
  Trace.push_back("TBaseLayer:" + std::to_string(Count()));
  fopacity->SetMinMax(0, 255);
  fopacity->SetValue(255);
  fvisible->SetValue(true);
}

void TKindLayer::AfterConstruction() {
  TBaseLayer::AfterConstruction();
  Trace.push_back("TKindLayer:" + std::to_string(Count()));
  ffont->AddChangeNotify(this, [this](TBaseProperty*, void*, const std::string&, std::int32_t) { ++FontChanges; });
}

}  // namespace qv::test
