#include "app/qvrender/Output.h"

#include "composition/QvSystem.h"

namespace qv::render {

std::vector<std::uint8_t> StraightAlphaPng(const TmemoryBitmap& bmp) { return TStreamedBitmap::StraightAlphaPng(bmp); }

std::string DescribeLayers(const TQVSystem& sys) {
  std::string out;
  int index = 0;
  for (const auto& layer : sys.Layers) {
    const TRect r = layer->BoundsRect();
    out += std::to_string(index++);
    out += '\t';
    out += layer->ClassName();
    out += '\t';
    out += layer->layerName();
    for (int v : {layer->X(), layer->Y(), layer->Width(), layer->Height(), r.Left, r.Top, r.Right,
                  r.Bottom}) {
      out += '\t';
      out += std::to_string(v);
    }
    if (auto text = layer->ShownText()) {
      out += '\t';
      out += *text;
    }
    out += '\n';
  }
  return out;
}

}  // namespace qv::render
