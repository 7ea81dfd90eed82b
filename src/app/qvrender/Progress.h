#pragma once
// The progress line of long renders on a terminal: frames done, frames per second, time left.
#include <chrono>
#include <cstdio>
#include <string>

namespace qv::render {

// "frame 120/250  48%  23.5 fps  0:05 left" after Seconds of work (no rate before the first frame).
std::string FormatProgress(int Done, int Total, double Seconds);

// Draws FormatProgress over itself on standard error, at most ten times a second, when standard
// error is a terminal and the line is wanted; nothing otherwise.
class TProgressLine {
 public:
  TProgressLine(int Total, bool Wanted);
  ~TProgressLine();
  void Update(int Done);
  // Ends the line (the last state stays on screen).
  void Finish();

 private:
  void Draw(int Done);
  int fTotal;
  bool fOn;
  bool fDrawn = false;
  int fDone = 0;
  std::chrono::steady_clock::time_point fStart, fLast;
};

}  // namespace qv::render
