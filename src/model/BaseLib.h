#pragma once
// The property core: TBaseProperty (a named, change-notifying value with an undo snapshot, text
// and number conversions and a binding to keyframe tracks), and the containers that own child
// properties, discovering them from a per-class table of published members.
//
// Declaring a container class:
//
//   // header
//   class TShadow : public TContainerObject {
//     QV_CONTAINER(TShadow, TContainerObject)
//    protected:
//     TShadow() = default;               // constructors are reached through Make<T>()
//     void AfterConstruction() override;  // children exist here: set limits and defaults
//    private:
//     TBoolean* fenabled = nullptr;
//     TColor4* fcolor = nullptr;
//   };
//   // source file
//   QV_PUBLISHED(TShadow,
//     QV_MEMBER("Enabled", fenabled),
//     QV_MEMBER("Color", fcolor))
//
//   auto shadow = Make<TShadow>();       // constructs, discovers, then AfterConstruction()
//
// Discovery walks the class's own table first, then its parent's, and so on up to
// TContainerObject, each in declaration order; it creates each member (nested containers
// discover their own children first), stores it in the field, subscribes the container (Id 0),
// appends it to Properties and names it. Names starting with "_" are not discovered.
// AfterConstruction runs once, on the complete object, after discovery; each override calls its
// parent's first, so a layer's defaults are set before the layer kind's.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include "animation/AnimationManager.h"
#include "animation/UBezier.h"

namespace qv {

class TBaseProperty;
class TCustomContainerObject;
class TContainerObject;
class TUndoEngine;

// What every property of one page shares: the page's animation registry (the tracks of its
// properties) and its undo engine. The page hands it down its object tree; a property reaches it
// through its owner, so two pages never share mutable state and can run on two threads. Objects
// outside a page have none: they cannot be animated and push no undo elements.
struct TPageServices {
  TAnimationManager* Animations = nullptr;
  TUndoEngine* Undo = nullptr;
};

enum TPropertyAttributes : std::uint8_t { paIn, paOut, paVisible, paAnimatable, paEnabled };
enum TBaseTypeDirection : std::uint8_t { btIn, btOut };
enum TValueKind : std::uint8_t { vkInt, vkFloat, vkStr, vkInt64, vkEnum, vkSet, vkRec, vkPointer, vkBool };

// A set of TPropertyAttributes in one byte, bit n for ordinal n.
class TPropertyAttributesSet {
 public:
  constexpr TPropertyAttributesSet() = default;
  constexpr TPropertyAttributesSet(std::initializer_list<TPropertyAttributes> l) {
    for (auto a : l) Include(a);
  }
  static constexpr TPropertyAttributesSet FromBits(std::uint8_t b) {
    TPropertyAttributesSet s;
    s.fBits = b;
    return s;
  }
  constexpr bool Has(TPropertyAttributes a) const { return (fBits >> a) & 1u; }
  constexpr void Include(TPropertyAttributes a) { fBits = static_cast<std::uint8_t>(fBits | (1u << a)); }
  constexpr void Exclude(TPropertyAttributes a) { fBits = static_cast<std::uint8_t>(fBits & ~(1u << a)); }
  constexpr std::uint8_t Bits() const { return fBits; }
  friend constexpr bool operator==(TPropertyAttributesSet, TPropertyAttributesSet) = default;

 private:
  std::uint8_t fBits = 0;
};

// How the property grid edits a property: the kind of its row's cell. Each property class states
// its kind once, where the class is declared (QV_PROPERTY, QV_CONTAINER, the enumerations' common
// base); the grid makes a row's cell from this kind alone.
enum class TEditorKind : std::uint8_t {
  ekNone,       // a title without a value: a class that states no kind
  ekGroup,      // a container: its title, with its members as nested rows
  ekFloat,      // a number dragged, typed or shown with three decimals
  ekInteger,    // a whole number dragged or typed
  ekString,     // a text typed in place
  ekBoolean,    // a check box
  ekEnum,       // a menu of the value names
  ekColor,      // a swatch that opens the colour dialog; the channels nested
  ekTimeCode,   // seconds shown and typed as a timecode
  ekImageFile,  // a path chosen with the image-file dialog
  ekTextFile,   // a path chosen with the text-file dialog
  ekDirectory,  // a folder chosen with the folder dialog
  ekFont,       // a font group that opens the font dialog; its members nested
};

// The class every property of kind K derives from, so the grid may treat a property of that kind
// as that class. Specialised beside the classes (BasicTypes.h, the font group's header);
// QV_EDITOR_KIND checks a class against it when the class states its kind.
template <TEditorKind K>
struct TEditorKindClass;

// What the SetFrame of a class does. A container asks its children once, and again only after
// the tree or the animation registry changed, and then calls SetFrame only on the children that
// can do something in it.
enum class TFrameUse : std::uint8_t {
  fuNone,      // nothing (the SetFrame of TBaseProperty)
  fuTracks,    // evaluates the property's own tracks: nothing while the registry has no record of it
  fuChildren,  // forwards to the children (the SetFrame of TCustomContainerObject)
  fuOwn,       // a SetFrame nothing is known of: always called
};

// The TFrameUse of the class that declares a SetFrame; the classes with a SetFrame of a known
// kind specialise it.
template <class DeclaringClass>
struct TSetFrameUse {
  static constexpr TFrameUse value = TFrameUse::fuOwn;
};
template <>
struct TSetFrameUse<TBaseProperty> {
  static constexpr TFrameUse value = TFrameUse::fuNone;
};
template <>
struct TSetFrameUse<TCustomContainerObject> {
  static constexpr TFrameUse value = TFrameUse::fuChildren;
};

namespace detail {
template <class M>
struct SetFrameClass;
template <class C>
struct SetFrameClass<void (C::*)(double)> {
  using type = C;
};
}  // namespace detail

// The TFrameUse of an object whose class is Cls: the kind of the SetFrame that Cls has (its own
// or inherited). An object of a class derived from Cls that does not declare its own FrameUse
// may have a SetFrame of its own, so it is always called.
template <class Cls>
TFrameUse FrameUseOf(const Cls& self) {
  if (typeid(self) != typeid(Cls)) return TFrameUse::fuOwn;
  return TSetFrameUse<typename detail::SetFrameClass<decltype(&Cls::SetFrame)>::type>::value;
}

// A change callback: the property that changed, the subscriber's key, the property's Name and
// the subscription's Id.
using TBaseNotifyEvent =
    std::function<void(TBaseProperty* Sender, void* Requester, const std::string& SenderName, std::int32_t Id)>;

// One change subscription.
struct TNotifyRec {
  TBaseNotifyEvent NotifyEvent;
  std::int32_t Id = 0;    // the number of subscriptions the property had when this one was added
  bool DoNotify = true;   // false: muted, skipped by Changed
  void* Requester = nullptr;
  bool Removed = false;   // taken off while Changed was walking; erased when the walk ends
  // Set on a container's own subscription to a child (Requester is that container): Changed
  // calls the container's hook directly; NotifyEvent does the same for whoever calls it.
  TCustomContainerObject* Container = nullptr;
};

// The subscriptions of a property, in the order they were added. The first record sits inside
// the list (a discovered child's first is its container, reached on every change), each other
// one in an allocation of its own, so no record moves when another is added.
class TNotifyList {
 public:
  TNotifyList() = default;
  TNotifyList(const TNotifyList&) = delete;
  TNotifyList& operator=(const TNotifyList&) = delete;

  std::size_t Size() const { return fHasHead ? 1 + fMore.size() : 0; }
  TNotifyRec& operator[](std::size_t i) { return i == 0 ? fHead : *fMore[i - 1]; }
  const TNotifyRec& operator[](std::size_t i) const { return i == 0 ? fHead : *fMore[i - 1]; }
  // A new record at the end.
  TNotifyRec& Append();
  // Erases the records marked Removed, keeping the order of the others. Records move here, so
  // no callback of this list may be running.
  void EraseRemoved();
  void Clear();

 private:
  TNotifyRec fHead;
  bool fHasHead = false;
  std::vector<std::unique_ptr<TNotifyRec>> fMore;
};

// Where SaveToStream writes its lines (without line ends; the file writer adds them).
class TLineWriter {
 public:
  virtual ~TLineWriter() = default;
  virtual void WriteLine(const std::string& Line) = 0;
  // The text Property's value is written as: its StringForm. The project file writer turns the
  // paths of media files into paths relative to the file it writes.
  virtual std::string ValueText(const TBaseProperty& Property) const;
};

// Collects the lines in memory.
class TMemoryLineWriter : public TLineWriter {
 public:
  void WriteLine(const std::string& Line) override { Lines.push_back(Line); }
  std::vector<std::string> Lines;
};

class TBaseProperty {
 public:
  TBaseProperty();
  virtual ~TBaseProperty();
  TBaseProperty(const TBaseProperty&) = delete;
  TBaseProperty& operator=(const TBaseProperty&) = delete;

  TPropertyAttributesSet Attributes{paIn, paVisible, paEnabled};  // 0x15
  std::string Name;

  // The class name as declared ("TDouble", "TColor4", "TImageLayer").
  virtual std::string_view ClassName() const { return "TBaseProperty"; }
  // A fresh instance of this property's own class made without arguments (containers are
  // discovered); none for classes that need arguments to be made.
  virtual std::unique_ptr<TBaseProperty> NewInstance() const;

  // Subscriptions, in the order they were added. The returned Id is the number of subscriptions
  // present before the call.
  std::int32_t AddChangeNotify(void* Requester, TBaseNotifyEvent Event);
  bool RemoveChangeNotify(void* Requester);
  bool RemoveChangeNotify(void* Requester, std::int32_t Id);
  std::size_t NotifyCount() const { return fLiveCount; }
  // The live subscriptions in order (for inspection).
  std::vector<const TNotifyRec*> NotifyEvents() const;

  // Calls the subscriptions present when the call starts, in order, skipping muted ones. A
  // callback may add or remove subscriptions of this property, its own included: a removed
  // subscription is not called any more, an added one is first called by the next Changed.
  virtual void Changed();
  virtual void BeginChange(std::int32_t Id);
  virtual void EndChange(std::int32_t Id);

  // Undo snapshot: DataSize bytes written by PushValue and applied back by PopValue.
  virtual std::int32_t DataSize() const { return 0; }
  virtual void PushValue(std::byte* Buffer) const {}
  virtual void PopValue(const std::byte* Buffer) {}

  virtual std::int32_t GetMinItemWidth() const { return 80; }
  virtual void GetItemHeight(std::int32_t& Height) const {}

  // The text the value is saved under; AsString's text by default.
  virtual std::string StringForm() const;
  // Writes "<Space><Name> = <StringForm>" and one "Anim" line per slot whose track has at least
  // two keys with differing values.
  virtual void SaveToStream(const std::string& Space, TLineWriter& Writer) const;

  // Animation binding.
  virtual void getAnimationFrom(TBaseProperty* Source, std::int32_t FrameOffset);
  virtual void SetFrame(double Frame) {}
  virtual void SetAnimationType(Tanimationtype Value);
  virtual void ClearAnimation();
  Tkeys* Animation(bool ForceCreation, std::int32_t Slot = -1) const;
  bool HasAnimation(std::int32_t Slot = -1) const;
  // What SetFrame of this object's class does. QV_PROPERTY and QV_CONTAINER declare it in each
  // class (FrameUseOf); an object of a class without its own declaration answers fuOwn.
  virtual TFrameUse FrameUse() const;
  // This property's record in the animation registry, or none. Looked up again only after the
  // registry created or removed a record.
  const TAnimRec* AnimRecord() const { return fPage ? AnimRecord(*fPage->Animations) : nullptr; }
  const TAnimRec* AnimRecord(const TAnimationManager& Registry) const {
    if (fAnimRevision != Registry.Revision()) {
      fAnimRec = Registry.Find(this);
      fAnimRevision = Registry.Revision();
    }
    return fAnimRec;
  }

  // How the grid edits this property (see TEditorKind).
  virtual TEditorKind EditorKind() const { return TEditorKind::ekNone; }

  // Conversions: each answers whether it succeeded; on failure the base forms give
  // "", 0.0, 0 and false.
  virtual std::optional<TValueKind> ValueKind() const { return std::nullopt; }
  virtual bool AsString(std::string& V) const;
  virtual bool AsFloat(double& V) const;
  virtual bool AsInt(std::int32_t& V) const;
  virtual bool AsBool(bool& V) const;
  virtual bool GetValueFrom(const TBaseProperty* Source);
  // Whether GetValueFrom(Source) would succeed, tried on a fresh instance of this class.
  virtual bool TryGetValueFrom(const TBaseProperty* Source) const;

  // The page this property belongs to (through its owner), or none.
  const TPageServices* Page() const { return fPage; }
  // The page's registry and undo engine, or none outside a page.
  TAnimationManager* AnimationManager() const { return fPage ? fPage->Animations : nullptr; }
  TUndoEngine* UndoEngine() const { return fPage ? fPage->Undo : nullptr; }
  // The container that owns this property, or none for a root (a page, a layer not yet placed).
  TCustomContainerObject* Owner() const { return fOwner; }
  // Makes this property (and, for a container, its whole tree) part of Page. The tracks kept
  // for it in another page's registry are dropped there first: a registry never holds a track of
  // an object of another page. None detaches.
  virtual void AttachPage(const TPageServices* Services);

  // A token that expires when this property is destroyed. Made on first request, so properties
  // nobody asks about pay nothing; undo elements hold it to know whether their property lives.
  std::weak_ptr<const void> LifetimeToken() const;

 private:
  friend class TCustomContainerObject;
  // AddChangeNotify of Container's hook (see TNotifyRec::Container).
  void AddContainerHook(TCustomContainerObject* Container);
  void CompactNotifyEvents();

  TNotifyList fNotifyEvents;
  const TPageServices* fPage = nullptr;
  TCustomContainerObject* fOwner = nullptr;
  std::size_t fLiveCount = 0;
  int fWalkDepth = 0;
  bool fHasRemoved = false;
  mutable std::shared_ptr<const int> fLifetime;
  mutable const TAnimRec* fAnimRec = nullptr;
  mutable std::uint64_t fAnimRevision = ~std::uint64_t{0};  // registry revision fAnimRec was found at
};

// ---- published members -------------------------------------------------------------------

struct TPublishedMember {
  const char* Name = nullptr;
  std::unique_ptr<TBaseProperty> (*Create)() = nullptr;
  void (*Store)(TContainerObject& Owner, TBaseProperty* Child) = nullptr;
};

struct TClassInfo {
  const char* Name;
  const TClassInfo* Parent;
  std::span<const TPublishedMember> Members;
};

// Makes properties and containers: constructs, then (for containers) discovers the published
// members and calls AfterConstruction. Containers declare it a friend (QV_CONTAINER does) so
// that their constructors can stay protected.
struct TConstruction {
  template <class T, class... A>
  static std::unique_ptr<T> Create(A&&... args);
  template <class T>
  static constexpr bool CanMakeDefault() {
    return requires { new T(); };
  }
};

template <class T, class... A>
std::unique_ptr<T> Make(A&&... args) {
  return TConstruction::Create<T>(std::forward<A>(args)...);
}

namespace detail {
template <class M>
struct MemberTraits;
template <class C, class P>
struct MemberTraits<P* C::*> {
  using Class = C;
  using Prop = P;
};

template <auto Field>
void StoreMember(TContainerObject& owner, TBaseProperty* child);

template <class P>
std::unique_ptr<TBaseProperty> CreateMember() {
  return TConstruction::Create<P>();
}
}  // namespace detail

// One table row: the member's published name and the field that keeps it.
template <auto Field>
constexpr TPublishedMember Published(const char* name) {
  using Prop = typename detail::MemberTraits<decltype(Field)>::Prop;
  static_assert(std::is_base_of_v<TBaseProperty, Prop>, "a published member must be a property class");
  return TPublishedMember{name, &detail::CreateMember<Prop>, &detail::StoreMember<Field>};
}

// ---- containers -------------------------------------------------------------------------

class TCustomContainerObject : public TBaseProperty {
 public:
  TCustomContainerObject();
  ~TCustomContainerObject() override;

  std::string_view ClassName() const override { return "TCustomContainerObject"; }
  TFrameUse FrameUse() const override { return FrameUseOf(*this); }
  TEditorKind EditorKind() const override { return TEditorKind::ekGroup; }

  // The owned children, in discovery order.
  const std::vector<std::unique_ptr<TBaseProperty>>& Properties() const { return fProperties; }
  std::size_t Count() const { return fProperties.size(); }
  TBaseProperty* Child(std::size_t i) const { return fProperties[i].get(); }

  void BeginChange(std::int32_t Id) override;
  void EndChange(std::int32_t Id) override;
  std::int32_t DataSize() const override;
  void PushValue(std::byte* Buffer) const override;
  void PopValue(const std::byte* Buffer) override;
  std::int32_t GetMinItemWidth() const override;
  void SaveToStream(const std::string& Space, TLineWriter& Writer) const override;
  void getAnimationFrom(TBaseProperty* Source, std::int32_t FrameOffset) override;
  void SetFrame(double Frame) override;
  void SetAnimationType(Tanimationtype Value) override;
  void ClearAnimation() override;

  void AttachPage(const TPageServices* Services) override;

  virtual void CloseObject() {}
  // The first child whose Name equals Name ignoring letter case, or none.
  virtual TBaseProperty* GetProperty(std::string_view Name) const;
  virtual bool CanSave(std::string_view Name) const { return true; }

  // Children with paIn (paOut) appended to List in child order.
  void GetInProps(std::vector<TBaseProperty*>& List) const;
  void GetOutProps(std::vector<TBaseProperty*>& List) const;
  // Sets the direction of the named children: btIn gives paIn without paOut, btOut paOut without
  // paIn. The first form does nothing unless both lists have the same length.
  void SetPropertiesDirection(std::span<const std::string> Names, std::span<const TBaseTypeDirection> Directions);
  void SetPropertiesDirection(std::span<const std::string> Names, TBaseTypeDirection Direction);

 protected:
  virtual void ChildChanged(TBaseProperty* Sender, const std::string& SenderName) {}
  // Takes ownership of Child, subscribes this container to it (its first subscription, Id 0),
  // appends it and names it.
  TBaseProperty* AddChild(std::unique_ptr<TBaseProperty> Child, std::string ChildName);

 private:
  friend class TBaseProperty;
  // The hook every discovered child calls first: this container's Changed, then ChildChanged.
  void ChildHook(TBaseProperty* Sender, const std::string& SenderName) {
    Changed();
    ChildChanged(Sender, SenderName);
  }
  // One step of SetFrame's walk over this container's tree, in the order of the plain
  // recursion: a child or deeper descendant that can do something at a frame.
  struct TFrameStep {
    TBaseProperty* Node;
    std::uint32_t Parent;  // the step of the container that holds Node, or kOwnChild
    std::uint32_t Index;   // Node's position among that container's children
    std::uint32_t End;     // the step after Node's own steps (Node's descendants follow it)
    bool Forwards;         // Node is a container whose SetFrame forwards: it is walked, not called
  };
  static constexpr std::uint32_t kOwnChild = ~std::uint32_t{0};
  // Every named child in order, the plain way (outside a page nothing has tracks).
  void SetFramePlainly(double Frame);
  // Takes the steps again when the tree or the registry changed; answers whether there is any.
  bool RefreshFrameSteps(const TAnimationManager& am, std::uint64_t Revision);
  // After a subscriber changed the tree or the registry at step k: every later child of each
  // container around that step, innermost first, called the plain way.
  void FinishFramePlainly(const TFrameStep* Steps, std::size_t k, double Frame);

  std::vector<std::unique_ptr<TBaseProperty>> fProperties;
  // The walk as it was at fFrameRevision (see FrameTreeRevision in BaseLib.cpp).
  std::vector<TFrameStep> fFrameSteps;
  std::uint64_t fFrameRevision = ~std::uint64_t{0};
  // SetFrame calls of this container under way. Steps taken again while one is under way (a
  // subscriber called SetFrame again) leave the old ones here until the last walk ends.
  int fFrameWalks = 0;
  std::vector<std::vector<TFrameStep>> fRetiredFrameSteps;
};

class TContainerObject : public TCustomContainerObject {
  friend struct TConstruction;

 public:
  static const TClassInfo& StaticClassInfo();
  virtual const TClassInfo& ClassInfo() const { return StaticClassInfo(); }
  std::string_view ClassName() const override { return ClassInfo().Name; }
  std::unique_ptr<TBaseProperty> NewInstance() const override { return nullptr; }
  TFrameUse FrameUse() const override { return FrameUseOf(*this); }

  bool GetValueFrom(const TBaseProperty* Source) override;
  // Copies values child by child (containers with Assign, values with GetValueFrom); the caller
  // guarantees both are of the same class.
  virtual void Assign(const TContainerObject* Source);
  // The first child container whose Name and class name equal the arguments ignoring case.
  virtual TContainerObject* GetObject(std::string_view Name, std::string_view ClassName);

 protected:
  TContainerObject() = default;
  virtual void AcceptProperty(std::string_view Name, bool& Accept) { Accept = true; }
  // Runs once after discovery, on the complete object. Overrides call the parent's first.
  virtual void AfterConstruction() {}

 private:
  void Discover();
};

template <class T, class... A>
std::unique_ptr<T> TConstruction::Create(A&&... args) {
  static_assert(std::is_base_of_v<TBaseProperty, T>);
  std::unique_ptr<T> p(new T(std::forward<A>(args)...));
  if constexpr (std::is_base_of_v<TContainerObject, T>) {
    TContainerObject& c = *p;
    c.Discover();
    c.AfterConstruction();
  }
  return p;
}

template <>
struct TEditorKindClass<TEditorKind::ekNone> {
  using type = TBaseProperty;
};
template <>
struct TEditorKindClass<TEditorKind::ekGroup> {
  using type = TCustomContainerObject;
};

template <auto Field>
void detail::StoreMember(TContainerObject& owner, TBaseProperty* child) {
  using Traits = MemberTraits<decltype(Field)>;
  static_cast<typename Traits::Class&>(owner).*Field = static_cast<typename Traits::Prop*>(child);
}

}  // namespace qv

// Inside the class Cls: states that the grid edits its properties as Kind (an identifier of
// TEditorKind); the build fails when Cls does not derive from the class of that kind.
#define QV_EDITOR_KIND(Cls, Kind)                                                                     \
  ::qv::TEditorKind EditorKind() const override {                                                     \
    static_assert(std::is_base_of_v<typename ::qv::TEditorKindClass<::qv::TEditorKind::Kind>::type, Cls>, \
                  #Cls " does not derive from the class of the editor kind " #Kind);                 \
    return ::qv::TEditorKind::Kind;                                                                   \
  }

// Inside a container class: its class name, its table of published members and its parent, and,
// when given, the editor kind of its own row (a container without one is a group; a derived
// container without one keeps its parent's).
#define QV_CONTAINER(Cls, Base, ...)                                                       \
 public:                                                                                   \
  __VA_OPT__(QV_EDITOR_KIND(Cls, __VA_ARGS__))                                             \
  using Inherited = Base;                                                                  \
  static const ::qv::TClassInfo& StaticClassInfo();                                        \
  const ::qv::TClassInfo& ClassInfo() const override { return StaticClassInfo(); }          \
  ::qv::TFrameUse FrameUse() const override { return ::qv::FrameUseOf<Cls>(*this); }        \
  std::unique_ptr<::qv::TBaseProperty> NewInstance() const override {                      \
    if constexpr (::qv::TConstruction::CanMakeDefault<Cls>())                              \
      return ::qv::TConstruction::Create<Cls>();                                           \
    else                                                                                   \
      return nullptr;                                                                      \
  }                                                                                        \
                                                                                           \
 private:                                                                                  \
  friend struct ::qv::TConstruction;                                                       \
                                                                                           \
 public:

// At namespace scope in a source file: the class's published members in declaration order.
#define QV_PUBLISHED(Cls, ...)                                                              \
  const ::qv::TClassInfo& Cls::StaticClassInfo() {                                          \
    using Self [[maybe_unused]] = Cls;                                                      \
    static constexpr ::qv::TPublishedMember members[] = {__VA_ARGS__ __VA_OPT__(, )::qv::TPublishedMember{}}; \
    static const ::qv::TClassInfo info{#Cls, &Cls::Inherited::StaticClassInfo(),           \
                                       std::span<const ::qv::TPublishedMember>(members, std::size(members) - 1)}; \
    return info;                                                                            \
  }

#define QV_MEMBER(PublishedName, Field) ::qv::Published<&Self::Field>(PublishedName)
