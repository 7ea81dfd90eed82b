#pragma once
// The layer classes a project file can name, by their upper-case class keyword.
#include <string_view>

namespace qv {

class TQVSystem;
class TLayer;

// A new layer of the class named by Keyword ("TIMAGELAYER", any letter case) on top of Sys, or
// none for a keyword of no known layer class.
TLayer* CreateLayerOfClass(TQVSystem& Sys, std::string_view Keyword);
// Whether layers of the class named by Keyword draw glyphs (text, clock and crawl layers): a page
// with one needs the text renderer from its first frame.
bool LayerClassDrawsText(std::string_view Keyword);

}  // namespace qv
