#pragma once
// The command line of qvrender.
#include "platform/Clock.h"
#include "video/FrameFiles.h"
#include "video/VideoEncoder.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace qv::render {

enum class TCommand { cmRender, cmSequence, cmResave, cmInfo, cmItems, cmVideo, cmPlay };

enum class TImageFormat { ifPng, ifTga };

// What play writes to its output: raw premultiplied BGRA frames, or YUV4MPEG over a background.
enum class TStreamFormat { sfRaw, sfY4m };

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
  bool Quiet = false;     // no progress line
  video::TVideoCodec Codec = video::TVideoCodec::vcProRes4444;
  std::string Background;  // video --codec h264 and play --y4m: the picture under the frames
  TStreamFormat Stream = TStreamFormat::sfRaw;
  std::string DataFile;             // play --data: the newsroom's JSON file
  std::optional<long long> Frames;  // play --frames: stop after that many frames (else endless)
  std::optional<TTimeOfDay> Time;
  std::array<std::optional<std::string>, 4> Meta;
  std::array<std::optional<std::string>, 4> NextMeta;
};

// Parses the arguments after the program name. On a bad command line the result is empty and
// Error says what was wrong (one line).
std::optional<TOptions> ParseOptions(const std::vector<std::string>& Args, std::string& Error);

// The option at Args[Index] as the command loops read it: "--name=value" gives the name and its
// value; otherwise a value is the next argument, and reading it moves Index on. A missing value or
// a value that is no integer sets Error to one line naming the option.
class TOptionArg {
 public:
  TOptionArg(const std::vector<std::string>& Args, std::size_t& Index, std::string& Error);
  const std::string& Name() const { return fName; }
  bool HasInlineValue() const { return fInline.has_value(); }
  bool Value(std::string& V);
  bool IntValue(int& V);

 private:
  const std::vector<std::string>& fArgs;
  std::size_t& fIndex;
  std::string& fError;
  std::string fName;
  std::optional<std::string> fInline;
};

const char* UsageText();

// "12:34:56.789" (the milliseconds are optional, 1 to 3 digits).
std::optional<TTimeOfDay> ParseTimeOfDay(const std::string& Text);

// Sequence patterns are checked by ParseOptions.
using qv::FormatFramePattern;
using qv::IsValidFramePattern;

}  // namespace qv::render
