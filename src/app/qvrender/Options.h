#pragma once
// The command line of qvrender.
#include "platform/Clock.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace qv::render {

enum class TCommand { cmRender, cmSequence, cmResave, cmInfo, cmItems };

enum class TImageFormat { ifPng, ifTga };

struct TOptions {
  TCommand Command = TCommand::cmRender;
  std::string Project;  // PROJECT.QV, IN.QV for resave, the text file for items
  std::string Output;   // -o for render and sequence, OUT.QV for resave
  TImageFormat Format = TImageFormat::ifPng;
  int Frame = 0;
  int From = 0;
  int To = 0;
  bool Checkerboard = false;
  bool NoOutput = false;  // sequence --no-output: frames are composed and not written
  std::optional<TTimeOfDay> Time;
  std::array<std::optional<std::string>, 4> Meta;
  std::array<std::optional<std::string>, 4> NextMeta;
};

// Parses the arguments after the program name. On a bad command line the result is empty and
// Error says what was wrong (one line).
std::optional<TOptions> ParseOptions(const std::vector<std::string>& Args, std::string& Error);

const char* UsageText();

// "12:34:56.789" (the milliseconds are optional, 1 to 3 digits).
std::optional<TTimeOfDay> ParseTimeOfDay(const std::string& Text);

// The file name of frame N under a sequence pattern holding one printf-style integer field
// ("%d" or "%05d"); "%%" stands for "%". The pattern is checked by ParseOptions.
std::string FormatFramePattern(const std::string& Pattern, int Frame);
bool IsValidFramePattern(const std::string& Pattern);

}  // namespace qv::render
