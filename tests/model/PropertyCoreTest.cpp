#include <gtest/gtest.h>

#include "TestClasses.h"

namespace qv::test {
namespace {

std::vector<std::string> ChildNames(const TCustomContainerObject& c) {
  std::vector<std::string> names;
  for (auto& p : c.Properties()) names.push_back(p->Name);
  return names;
}

std::vector<std::int32_t> Ids(const TBaseProperty& p) {
  std::vector<std::int32_t> ids;
  for (const TNotifyRec* r : p.NotifyEvents()) ids.push_back(r->Id);
  return ids;
}

TBaseNotifyEvent Logger(std::vector<std::string>& log, std::string tag) {
  return [&log, tag](TBaseProperty*, void*, const std::string&, std::int32_t) { log.push_back(tag); };
}

// ---- discovery ---------------------------------------------------------------------------

TEST(Discovery, OwnMembersFirstThenAncestorsInDeclarationOrder) {
  auto layer = Make<TKindLayer>();
  EXPECT_EQ(ChildNames(*layer), (std::vector<std::string>{"Text", "VerticalAlignment", "Font", "Speed",
                                                           "layerName", "Visible", "Opacity", "X"}));
  EXPECT_EQ(layer->ClassName(), "TKindLayer");
  EXPECT_EQ(layer->Font()->ClassName(), "TGroup");
  EXPECT_EQ(ChildNames(*layer->Font()), (std::vector<std::string>{"Size", "Color"}));
  EXPECT_EQ(ChildNames(*layer->Font()->Color()), (std::vector<std::string>{"Red", "Green", "Blue", "Alpha"}));
  EXPECT_EQ(layer->Font()->Color()->ClassName(), "TColor4");
  EXPECT_EQ(layer->VAlign()->ClassName(), "TEnum<TVTextAlig>");
}

TEST(Discovery, FieldsReferToTheChildren) {
  auto layer = Make<TKindLayer>();
  EXPECT_EQ(layer->Text(), layer->Child(0));
  EXPECT_EQ(layer->Speed(), layer->Child(3));
  EXPECT_EQ(layer->LayerName(), layer->Child(4));
  EXPECT_EQ(layer->X(), layer->GetProperty("X"));
  EXPECT_EQ(layer->Opacity()->ClassName(), "TMinMaxInteger");
}

TEST(Discovery, LeadingUnderscoreMemberIsNeitherCreatedNorListed) {
  auto layer = Make<TKindLayer>();
  EXPECT_EQ(layer->Hidden(), nullptr);
  EXPECT_EQ(layer->GetProperty("_Hidden"), nullptr);
  EXPECT_EQ(layer->Count(), 8u);
}

TEST(Discovery, EveryClassInitialisesWithAllChildrenPresent) {
  auto layer = Make<TKindLayer>();
  // The base's hook ran first and already saw the derived class's members.
  EXPECT_EQ(layer->Trace, (std::vector<std::string>{"TBaseLayer:8", "TKindLayer:8"}));
  EXPECT_EQ(layer->Opacity()->Value(), 255);
  EXPECT_EQ(layer->Opacity()->Max(), 255);
  EXPECT_TRUE(layer->Visible()->Value());
}

TEST(Discovery, TheContainerIsEveryChildsFirstSubscriber) {
  auto layer = Make<TKindLayer>();
  for (auto& child : layer->Properties()) {
    auto recs = child->NotifyEvents();
    ASSERT_FALSE(recs.empty()) << child->Name;
    EXPECT_EQ(recs[0]->Requester, layer.get()) << child->Name;
    EXPECT_EQ(recs[0]->Id, 0) << child->Name;
  }
  // The layer's own subscription to its font comes after, with Id 1.
  EXPECT_EQ(Ids(*layer->Font()), (std::vector<std::int32_t>{0, 1}));
}

TEST(Discovery, ContainersMadeWithArguments) {
  auto thing = Make<TOwnedThing>(7);
  EXPECT_EQ(thing->Owner(), 7);
  ASSERT_NE(thing->Count_(), nullptr);
  EXPECT_EQ(thing->Count_()->Name, "Count");
  EXPECT_EQ(thing->NewInstance(), nullptr);  // no parameterless constructor
  TString text("5");
  EXPECT_FALSE(thing->TryGetValueFrom(&text));
}

TEST(Discovery, NewInstanceMakesADiscoveredObjectOfTheSameClass) {
  auto color = Make<TColor4>();
  auto fresh = color->NewInstance();
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->ClassName(), "TColor4");
  auto* c = dynamic_cast<TColor4*>(fresh.get());
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->Count(), 4u);
  EXPECT_NE(c->Alpha(), nullptr);
}

// ---- subscriptions -----------------------------------------------------------------------

TEST(Subscriptions, FreshPropertyHasDefaultAttributesAndNoName) {
  TBaseProperty p;
  EXPECT_EQ(p.Attributes.Bits(), 0x15);
  EXPECT_TRUE(p.Attributes.Has(paIn));
  EXPECT_TRUE(p.Attributes.Has(paVisible));
  EXPECT_TRUE(p.Attributes.Has(paEnabled));
  EXPECT_FALSE(p.Attributes.Has(paOut));
  EXPECT_FALSE(p.Attributes.Has(paAnimatable));
  EXPECT_EQ(p.Name, "");
  EXPECT_EQ(p.NotifyCount(), 0u);
}

TEST(Subscriptions, IdIsThePositionWhenAdded) {
  TDouble d;
  int a = 0, b = 0, c = 0;
  EXPECT_EQ(d.AddChangeNotify(&a, nullptr), 0);
  EXPECT_EQ(d.AddChangeNotify(&b, nullptr), 1);
  EXPECT_TRUE(d.RemoveChangeNotify(&a));
  d.AddChangeNotify(&c, nullptr);
  EXPECT_EQ(Ids(d), (std::vector<std::int32_t>{1, 1}));
}

TEST(Subscriptions, RemoveByRequesterAndByRequesterAndId) {
  TDouble d;
  std::vector<std::string> log;
  int a = 0, b = 0;
  d.AddChangeNotify(&a, Logger(log, "a0"));
  d.AddChangeNotify(&b, Logger(log, "b1"));
  d.AddChangeNotify(&a, Logger(log, "a2"));
  d.AddChangeNotify(&a, Logger(log, "a3"));
  EXPECT_FALSE(d.RemoveChangeNotify(&b, 0));
  EXPECT_TRUE(d.RemoveChangeNotify(&a, 2));
  d.Changed();
  EXPECT_EQ(log, (std::vector<std::string>{"a0", "b1", "a3"}));
  EXPECT_TRUE(d.RemoveChangeNotify(&a));
  EXPECT_FALSE(d.RemoveChangeNotify(&a));
  log.clear();
  d.Changed();
  EXPECT_EQ(log, (std::vector<std::string>{"b1"}));
}

TEST(Subscriptions, CallbackReceivesSenderRequesterNameAndId) {
  TInteger p;
  p.Name = "Width";
  int req = 0;
  TBaseProperty* sender = nullptr;
  void* requester = nullptr;
  std::string name;
  std::int32_t id = -1;
  p.AddChangeNotify(nullptr, nullptr);  // an empty callback is skipped
  p.AddChangeNotify(&req, [&](TBaseProperty* s, void* r, const std::string& n, std::int32_t i) {
    sender = s;
    requester = r;
    name = n;
    id = i;
  });
  p.SetValue(3);
  EXPECT_EQ(sender, &p);
  EXPECT_EQ(requester, &req);
  EXPECT_EQ(name, "Width");
  EXPECT_EQ(id, 1);
}

TEST(Subscriptions, MutingHasNoCountAndReplaysNothing) {
  TDouble d;
  std::vector<int> keys(6);
  int calls5 = 0, calls0 = 0;
  for (int i = 0; i < 6; ++i) {
    d.AddChangeNotify(&keys[static_cast<std::size_t>(i)],
                      [&, i](TBaseProperty*, void*, const std::string&, std::int32_t) {
                        if (i == 5) ++calls5;
                        if (i == 0) ++calls0;
                      });
  }
  d.BeginChange(5);
  d.BeginChange(5);
  d.SetValue(1.0);
  EXPECT_EQ(calls5, 0);
  EXPECT_EQ(calls0, 1);
  d.EndChange(5);
  EXPECT_EQ(calls5, 0);  // what happened while muted is not replayed
  d.SetValue(2.0);
  EXPECT_EQ(calls5, 1);
}

// ---- changes while Changed walks ---------------------------------------------------------

TEST(SubscriptionsDuringChanged, RemovingItsOwnSubscription) {
  TDouble d;
  std::vector<std::string> log;
  int self = 0, other = 0;
  d.AddChangeNotify(&self, [&](TBaseProperty* s, void* r, const std::string&, std::int32_t) {
    log.push_back("self");
    s->RemoveChangeNotify(r);
  });
  d.AddChangeNotify(&other, Logger(log, "other"));
  d.Changed();
  d.Changed();
  EXPECT_EQ(log, (std::vector<std::string>{"self", "other", "other"}));
  EXPECT_EQ(Ids(d), (std::vector<std::int32_t>{1}));
}

TEST(SubscriptionsDuringChanged, RemovingALaterSubscriptionSkipsIt) {
  TDouble d;
  std::vector<std::string> log;
  int first = 0, later = 0;
  d.AddChangeNotify(&first, [&](TBaseProperty* s, void*, const std::string&, std::int32_t) {
    log.push_back("first");
    s->RemoveChangeNotify(&later);
  });
  d.AddChangeNotify(&later, Logger(log, "later"));
  d.Changed();
  EXPECT_EQ(log, (std::vector<std::string>{"first"}));
  EXPECT_EQ(d.NotifyCount(), 1u);
}

TEST(SubscriptionsDuringChanged, RemovingEverySubscription) {
  TDouble d;
  std::vector<std::string> log;
  int a = 0, b = 0, c = 0;
  d.AddChangeNotify(&a, Logger(log, "a"));
  d.AddChangeNotify(&b, [&](TBaseProperty* s, void*, const std::string&, std::int32_t) {
    log.push_back("b");
    s->RemoveChangeNotify(&a);
    s->RemoveChangeNotify(&b);
    s->RemoveChangeNotify(&c);
  });
  d.AddChangeNotify(&c, Logger(log, "c"));
  d.Changed();
  d.Changed();
  EXPECT_EQ(log, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(d.NotifyCount(), 0u);
}

TEST(SubscriptionsDuringChanged, RemovingTheFirstOnesKeepsTheOthersInOrder) {
  TDouble d;
  std::vector<std::string> log;
  int a = 0, b = 0, c = 0, e = 0;
  d.AddChangeNotify(&a, [&](TBaseProperty* s, void*, const std::string&, std::int32_t) {
    log.push_back("a");
    s->RemoveChangeNotify(&b);
    s->RemoveChangeNotify(&a);
  });
  d.AddChangeNotify(&b, Logger(log, "b"));
  d.AddChangeNotify(&c, Logger(log, "c"));
  d.AddChangeNotify(&c, Logger(log, "d"));
  d.Changed();
  EXPECT_EQ(log, (std::vector<std::string>{"a", "c", "d"}));
  EXPECT_EQ(Ids(d), (std::vector<std::int32_t>{2, 3}));
  EXPECT_EQ(d.AddChangeNotify(&e, Logger(log, "e")), 2);  // two live before it
  d.BeginChange(2);  // c and e
  log.clear();
  d.Changed();
  EXPECT_EQ(log, (std::vector<std::string>{"d"}));
  d.EndChange(2);
  EXPECT_TRUE(d.RemoveChangeNotify(&c, 3));
  log.clear();
  d.Changed();
  EXPECT_EQ(log, (std::vector<std::string>{"c", "e"}));
}

TEST(SubscriptionsDuringChanged, AddedSubscriptionWaitsForTheNextChange) {
  TDouble d;
  std::vector<std::string> log;
  int a = 0, b = 0;
  bool added = false;
  d.AddChangeNotify(&a, [&](TBaseProperty* s, void*, const std::string&, std::int32_t) {
    log.push_back("a");
    if (!added) {
      added = true;
      // Many additions force the record list to grow while the walk is on it.
      for (int i = 0; i < 64; ++i) s->AddChangeNotify(&b, nullptr);
      s->AddChangeNotify(&b, Logger(log, "b"));
    }
  });
  d.Changed();
  EXPECT_EQ(log, (std::vector<std::string>{"a"}));
  d.Changed();
  EXPECT_EQ(log, (std::vector<std::string>{"a", "a", "b"}));
  EXPECT_EQ(Ids(d).back(), 65);
}

TEST(SubscriptionsDuringChanged, NestedChangeWithRemoval) {
  TInteger p;
  std::vector<std::string> log;
  int a = 0, b = 0;
  p.AddChangeNotify(&a, [&](TBaseProperty*, void*, const std::string&, std::int32_t) {
    log.push_back("a" + std::to_string(p.Value()));
    if (p.Value() == 1) p.SetValue(2);  // changes again from inside the walk
  });
  p.AddChangeNotify(&b, [&](TBaseProperty* s, void* r, const std::string&, std::int32_t) {
    log.push_back("b" + std::to_string(p.Value()));
    s->RemoveChangeNotify(r);
  });
  p.SetValue(1);
  EXPECT_EQ(log, (std::vector<std::string>{"a1", "a2", "b2"}));
  EXPECT_EQ(p.NotifyCount(), 1u);
}

// ---- containers --------------------------------------------------------------------------

TEST(ContainerNotification, ValueSubscribersThenContainerThenChildChangedThenLaterSubscribers) {
  auto group = Make<TGroup>();
  std::vector<std::string> log;
  group->Log = &log;
  int gsub = 0, row = 0;
  group->AddChangeNotify(&gsub, Logger(log, "group subscriber"));
  group->Size()->AddChangeNotify(&row, Logger(log, "row"));
  group->Size()->SetValue(4.0);
  EXPECT_EQ(log, (std::vector<std::string>{"group subscriber", "ChildChanged:Size", "row"}));
}

TEST(ContainerNotification, ChangesRunUpTheTreeWithTheContainerAsSender) {
  auto layer = Make<TKindLayer>();
  std::vector<TBaseProperty*> senders;
  int key = 0;
  layer->AddChangeNotify(&key, [&](TBaseProperty* s, void*, const std::string&, std::int32_t) { senders.push_back(s); });
  layer->Font()->Color()->Red()->SetValue(0.5);
  EXPECT_EQ(senders, (std::vector<TBaseProperty*>{layer.get()}));
  EXPECT_EQ(layer->FontChanges, 1);
}

TEST(ContainerNotification, MutedContainerStopsPropagationButNotOtherSubscribers) {
  auto layer = Make<TKindLayer>();
  TGroup* font = layer->Font();
  ChangeCounter layerCount(layer.get());
  ChangeCounter fontCount(font);
  ChangeCounter sizeRow(font->Size());
  font->BeginChange(0);
  font->Size()->SetValue(12.0);
  font->Color()->Blue()->SetValue(1.0);
  EXPECT_EQ(fontCount.count, 0);
  EXPECT_EQ(layerCount.count, 0);
  EXPECT_EQ(layer->FontChanges, 0);
  EXPECT_EQ(sizeRow.count, 1);
  font->EndChange(0);
  EXPECT_EQ(fontCount.count, 0);  // nothing closes the bracket with a notification
  font->Size()->SetValue(13.0);
  EXPECT_EQ(fontCount.count, 1);
  EXPECT_EQ(layerCount.count, 1);
}

TEST(ContainerSnapshot, DataSizeIsTheSumAndPushPopRestoresNumbers) {
  auto color = Make<TColor4>();
  EXPECT_EQ(color->DataSize(), 32);
  auto layer = Make<TKindLayer>();
  // Text 0 + enum 4 + font (8 + 32) + speed 8 + name 0 + visible 4 + opacity 4 + x 4.
  EXPECT_EQ(layer->DataSize(), 64);

  layer->VAlign()->SetValue(vaBottom);
  layer->Font()->Size()->SetValue(18.5);
  layer->Font()->Color()->SetVector(0.1, 0.2, 0.3, 0.4);
  layer->Speed()->SetValue(-3.25);
  layer->Visible()->SetValue(false);
  layer->Opacity()->SetValue(77);
  layer->X()->SetValue(-40);
  layer->Text()->SetValue("kept");
  std::vector<std::byte> buffer(static_cast<std::size_t>(layer->DataSize()));
  layer->PushValue(buffer.data());

  layer->VAlign()->SetValue(vaTop);
  layer->Font()->Size()->SetValue(1.0);
  layer->Font()->Color()->SetVector(1.0, 1.0, 1.0, 1.0);
  layer->Speed()->SetValue(0.0);
  layer->Visible()->SetValue(true);
  layer->Opacity()->SetValue(1);
  layer->X()->SetValue(1);
  layer->Text()->SetValue("changed");
  layer->PopValue(buffer.data());

  EXPECT_EQ(layer->VAlign()->Value(), vaBottom);
  EXPECT_EQ(layer->Font()->Size()->Value(), 18.5);
  EXPECT_EQ(layer->Font()->Color()->Green()->Value(), 0.2);
  EXPECT_EQ(layer->Font()->Color()->Alpha()->Value(), 0.4);
  EXPECT_EQ(layer->Speed()->Value(), -3.25);
  EXPECT_FALSE(layer->Visible()->Value());
  EXPECT_EQ(layer->Opacity()->Value(), 77);
  EXPECT_EQ(layer->X()->Value(), -40);
  EXPECT_EQ(layer->Text()->Value(), "changed");  // strings have no snapshot
}

TEST(ContainerLookup, GetPropertyIgnoresCaseAndLooksOnlyAtOwnChildren) {
  auto layer = Make<TKindLayer>();
  EXPECT_EQ(layer->GetProperty("opacity"), layer->Opacity());
  EXPECT_EQ(layer->GetProperty("OPACITY"), layer->Opacity());
  EXPECT_EQ(layer->GetProperty("Size"), nullptr);  // a grandchild
  EXPECT_EQ(layer->GetProperty("Font.Size"), nullptr);
  EXPECT_EQ(layer->GetProperty("nothing"), nullptr);
}

struct GetObjectCase {
  const char* name;
  const char* className;
  bool found;
};

TEST(ContainerLookup, GetObjectNeedsNameAndClassAndAContainer) {
  auto layer = Make<TKindLayer>();
  const GetObjectCase cases[] = {
      {"Font", "TGroup", true}, {"font", "TGROUP", true}, {"Font", "TColor4", false},
      {"Fonts", "TGroup", false}, {"Speed", "TDouble", false},  // a value is not an object
      {"", "TGroup", false},
  };
  for (const auto& c : cases) {
    TContainerObject* o = layer->GetObject(c.name, c.className);
    EXPECT_EQ(o != nullptr, c.found) << c.name << " " << c.className;
    if (c.found) {
      EXPECT_EQ(o, layer->Font());
    }
  }
}

TEST(ContainerCopy, GetValueFromBetweenDifferentClassesChangesNothing) {
  auto group = Make<TGroup>();
  auto veto = Make<TVetoGroup>();
  veto->Size()->SetValue(9.0);
  group->Size()->SetValue(2.0);
  EXPECT_FALSE(group->GetValueFrom(veto.get()));
  EXPECT_EQ(group->Size()->Value(), 2.0);
  TDouble d;
  EXPECT_FALSE(group->GetValueFrom(&d));
  EXPECT_FALSE(group->GetValueFrom(nullptr));
}

TEST(ContainerCopy, SameClassCopiesChildByChildIncludingNestedContainers) {
  auto a = Make<TKindLayer>();
  auto b = Make<TKindLayer>();
  a->Text()->SetValue("hello");
  a->VAlign()->SetValue(vaCenter);
  a->Font()->Size()->SetValue(30.0);
  a->Font()->Color()->SetWinColor(0x00FF8000);
  a->Opacity()->SetValue(12);
  EXPECT_TRUE(b->GetValueFrom(a.get()));
  EXPECT_EQ(b->Text()->Value(), "hello");
  EXPECT_EQ(b->VAlign()->Value(), vaCenter);
  EXPECT_EQ(b->Font()->Size()->Value(), 30.0);
  EXPECT_EQ(b->Font()->Color()->GetWinColor(), 0x00FF8000u);
  EXPECT_EQ(b->Opacity()->Value(), 12);
}

TEST(ContainerDirections, InAndOutListsAndSettingDirections) {
  auto group = Make<TGroup>();
  std::vector<TBaseProperty*> in, out;
  group->GetInProps(in);
  EXPECT_EQ(in.size(), 2u);
  const std::string names[] = {"size", "Color"};
  const TBaseTypeDirection dirs[] = {btOut, btIn};
  group->SetPropertiesDirection(names, std::span<const TBaseTypeDirection>(dirs, 1));  // lengths differ
  group->GetOutProps(out);
  EXPECT_TRUE(out.empty());
  group->SetPropertiesDirection(names, dirs);
  in.clear();
  group->GetInProps(in);
  group->GetOutProps(out);
  EXPECT_EQ(in, (std::vector<TBaseProperty*>{group->Color()}));
  EXPECT_EQ(out, (std::vector<TBaseProperty*>{group->Size()}));
  group->SetPropertiesDirection(names, btOut);
  out.clear();
  group->GetOutProps(out);
  EXPECT_EQ(out.size(), 2u);
}

TEST(ContainerMisc, MinItemWidthAndItemHeight) {
  auto group = Make<TGroup>();
  EXPECT_EQ(group->GetMinItemWidth(), 80);
  std::int32_t h = 17;
  group->GetItemHeight(h);
  EXPECT_EQ(h, 17);
}

TEST(ContainerLifetime, DestroyingAContainerRemovesTheTracksOfItsTree) {
  TestPage page;
  TAnimationManager& am = page.Animations;
  const std::size_t before = am.RegisteredCount();
  {
    auto layer = Make<TKindLayer>();
    page.Join(*layer);
    layer->X()->Animation(true)->AddKey(0.0, 1.0);
    layer->Font()->Color()->Red()->Animation(true, 4)->AddKey(0.0, 1.0);
    layer->Font()->Animation(true);
    layer->Animation(true);
    EXPECT_EQ(am.RegisteredCount(), before + 4);
  }
  EXPECT_EQ(am.RegisteredCount(), before);
}

TEST(TryGetValueFrom, AnswersWithoutChangingTheProperty) {
  TDouble d;
  d.SetValue(4.0);
  TString good("1,5"), bad("abc");
  EXPECT_TRUE(d.TryGetValueFrom(&good));
  EXPECT_FALSE(d.TryGetValueFrom(&bad));
  EXPECT_EQ(d.Value(), 4.0);
  TBoolean b;
  EXPECT_FALSE(b.TryGetValueFrom(&bad));
  EXPECT_TRUE(b.TryGetValueFrom(&good));
}

}  // namespace
}  // namespace qv::test
