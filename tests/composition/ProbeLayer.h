#pragma once
// A layer kind for tests: records what the composition asks of it.
#include "composition/QvSystem.h"

#include <vector>

namespace qv::test {

class TProbeLayer : public TLayer {
  QV_CONTAINER(TProbeLayer, TLayer)

 public:
  std::vector<double> advancedFrames;  // one entry per Advance
  std::vector<double> drawnFrames;     // one entry per DrawLayer
  int setFrames = 0;                // SetFrame calls
  std::vector<int> factorsSeen;     // the target's factor at each DrawLayer

  void Advance(double frame) override { advancedFrames.push_back(frame); }
  void DrawLayer(TmemoryBitmap& Dest, double frame) override {
    drawnFrames.push_back(frame);
    factorsSeen.push_back(Dest.Factor());
  }
  void SetFrame(double Frame) override {
    ++setFrames;
    TLayer::SetFrame(Frame);
  }

 protected:
  explicit TProbeLayer(TQVSystem* Aowner) : TLayer(Aowner) {}
};

}  // namespace qv::test
