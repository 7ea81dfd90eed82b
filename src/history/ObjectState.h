#pragma once
// What an object of a page holds, taken whole so that it can be put back exactly: the value of
// every property of its tree and every keyframe track of the page's registry that belongs to one
// of them. The steps of the history keep these, never a pointer to the object.
#include "model/BaseLib.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv {

class TObjectState {
 public:
  // The state of Root's tree: Root first, then its children in order, each before its own
  // children (the order of the project file).
  static TObjectState Take(const TBaseProperty& Root);

  // Brings Root — the object the state was taken of, or one of the same class made again — back
  // to this state: every value that differs through the property's setter (so limits, rendering
  // and change notification apply; a value the setter will not take, such as one read from a
  // file beyond its limits, is stored as the reader stores it and then notified), then every
  // track that differs. Values and tracks that are already equal are not touched. Automatic
  // keying is off meanwhile, so putting a value back never adds a key. Answers false when
  // Root's tree is not shaped as the state's (another class): nothing more is applied then.
  bool Apply(TBaseProperty& Root) const;

  // After a change made with automatic keying on, from this state: puts back the tracks of the
  // values under Root that the change left as they were (a setter keys a value it is given again,
  // such as a move's Y when only X moved), so that only the changed values carry new keys.
  void KeepTracksOfUnchangedValues(TBaseProperty& Root) const;

  bool Empty() const { return fNodes.empty(); }
  friend bool operator==(const TObjectState&, const TObjectState&) = default;

 private:
  struct TKey {
    double Frame = 0.0, Value = 0.0, FirstControl = 0.0, SecondControl = 0.0;
    std::string Text;
    std::int32_t Tag = 0;
    friend bool operator==(const TKey&, const TKey&) = default;
  };
  struct TTrack {
    int Slot = 0;
    std::uint8_t In = 0, Out = 0;
    double StartFrame = 0.0, EndFrame = 0.0, MinValue = 0.0, MaxValue = 0.0;
    std::vector<double> Coefficients;
    std::string Name, PropertyName;
    std::vector<TKey> Keys;
    friend bool operator==(const TTrack&, const TTrack&) = default;
  };
  struct TNode {
    std::string Class;
    std::size_t Children = 0;
    std::vector<std::byte> Bytes;      // the undo snapshot (DataSize bytes), for a value with one
    std::optional<std::string> Text;   // a string's value (strings have no snapshot)
    std::string Form;                  // the value as the project file writes it
    std::vector<TTrack> Tracks;        // the slots that hold a track, in slot order
    friend bool operator==(const TNode&, const TNode&) = default;
  };
  static void TakeNode(const TBaseProperty& P, std::vector<TNode>& Out);
  static std::vector<TTrack> TracksOf(const TBaseProperty& P);
  static bool ApplyNode(const std::vector<TNode>& Nodes, std::size_t& At, TBaseProperty& P);
  static void PutTracks(TBaseProperty& P, const std::vector<TTrack>& Tracks);
  static bool KeepNode(const std::vector<TNode>& Nodes, std::size_t& At, TBaseProperty& P);

  std::vector<TNode> fNodes;
};

// Switches a registry's automatic keying off while it lives and back to what it was after.
class TAutoKeyingOff {
 public:
  explicit TAutoKeyingOff(TAnimationManager* Registry);
  ~TAutoKeyingOff();
  TAutoKeyingOff(const TAutoKeyingOff&) = delete;
  TAutoKeyingOff& operator=(const TAutoKeyingOff&) = delete;

 private:
  TAnimationManager* fRegistry;
  bool fWas = false;
};

}  // namespace qv
