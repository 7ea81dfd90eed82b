#pragma once
// The layer classes a project file can name, by their upper-case class keyword.
#include <span>
#include <string_view>

namespace qv {

class TQVSystem;
class TLayer;

// One layer class: its keyword, how to put a new layer of it on top of a composition, and
// whether its layers draw glyphs (text, clock and crawl layers need the text renderer from their
// first frame).
struct TLayerClass {
  std::string_view Keyword;
  TLayer* (*Create)(TQVSystem& Sys);
  bool DrawsText;
};

// Every layer class, one row each.
std::span<const TLayerClass> LayerClasses();

// A new layer of the class named by Keyword ("TIMAGELAYER", any letter case) on top of Sys, or
// none for a keyword of no known layer class.
TLayer* CreateLayerOfClass(TQVSystem& Sys, std::string_view Keyword);
// Whether layers of the class named by Keyword draw glyphs; false for no known layer class.
bool LayerClassDrawsText(std::string_view Keyword);

}  // namespace qv
