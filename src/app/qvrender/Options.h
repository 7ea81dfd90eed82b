#pragma once
// The command line of qvrender. One table of commands, one table of options (name, commands it
// applies to, kind, target, help line) and one table of exit statuses feed the commands' parser,
// the batch parser, the usage and help texts and the manual page (Manual.h).
#include "batch/BatchRows.h"
#include "platform/Clock.h"
#include "video/FrameFiles.h"
#include "video/VideoEncoder.h"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qv::render {

enum class TCommand { cmRender, cmSequence, cmResave, cmInfo, cmItems, cmVideo, cmPlay, cmBatch, cmServe };

// A set of commands, one bit per TCommand.
using TCommandSet = unsigned;
constexpr TCommandSet CommandBit(TCommand c) { return 1u << static_cast<unsigned>(c); }

enum class TImageFormat { ifPng, ifTga };

// What play writes to its output: raw premultiplied BGRA frames, or YUV4MPEG over a background.
enum class TStreamFormat { sfRaw, sfY4m };

// serve --listen HOST:PORT.
struct TListen {
  std::string Host = "127.0.0.1";
  int Port = 8080;  // 0: a free port, the one taken is printed
  bool operator==(const TListen&) const = default;
};
// "HOST:PORT", "[::1]:PORT" or ":PORT" (the loopback address); none when it is neither.
std::optional<TListen> ParseListen(const std::string& Text);
// Whether Host is a loopback address ("127.x.y.z", "::1", "localhost").
bool IsLoopbackHost(const std::string& Host);

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
  std::optional<TStreamFormat> Stream;  // play: --raw or --y4m
  std::string DataFile;             // play --data: the newsroom's JSON file
  std::optional<long long> Frames;  // play --frames: stop after that many frames (else endless)
  std::optional<TTimeOfDay> Time;
  std::array<std::optional<std::string>, 4> Meta;
  std::array<std::optional<std::string>, 4> NextMeta;
  unsigned Jobs = 0;  // batch --jobs (0: one per core)
  TShard Shard;       // batch --shard
  TListen Listen;     // serve --listen
  std::string Token;  // serve --token
  bool AllowMissingMedia = false;  // media that cannot be loaded do not change the exit status

  bool operator==(const TOptions&) const = default;
};

// What batch runs: one page (or one range of frames) per row of a table.
struct TBatchOptions {
  std::string Template;
  std::string Data;
  std::string Output;
  bool Tga = false;
  bool Range = false;  // --from/--to: a sequence per row
  int Frame = 0;
  int From = 0;
  int To = 0;
  unsigned Jobs = 0;  // 0: one per core
  TShard Shard;
  std::optional<TTimeOfDay> Time;
  bool AllowMissingMedia = false;

  bool operator==(const TBatchOptions&) const = default;
};

// What serve runs: a rundown on air, the control page and its API on Listen.
struct TServeOptions {
  std::string Rundown;  // RUNDOWN.json
  std::string Output;   // --raw or --y4m: "-" or a file or FIFO
  TStreamFormat Stream = TStreamFormat::sfRaw;
  TListen Listen;
  std::string Token;               // what every request must carry; needed off loopback
  std::string Background;          // --y4m: the picture under the frames
  std::optional<TTimeOfDay> Time;  // clock layers start there at each take

  bool operator==(const TServeOptions&) const = default;
};

struct TCommandSpec {
  TCommand Command;
  const char* Name;
  // What the synopsis shows before the command's other options: its files, the options it
  // cannot do without and any choice between options (those options are not repeated after it).
  const char* Operands;
  const char* Help;  // one line
};

// How an option's argument is read.
enum class TOptionKind {
  okFlag,     // no value ("--quiet"; "--quiet=yes" is refused)
  okText,     // a value: the next argument or what follows "="
  okInteger,  // a value that is a whole number
  okSlots,    // four options, the name followed by 1 to 4 ("--meta1" .. "--meta4"), each a text
};

// The value of an option as its kind read it.
struct TOptionValue {
  std::string Text;
  int Integer = 0;
  std::size_t Slot = 0;  // okSlots: 0 for the name followed by 1
};

// Where an option's value goes: stores it in its member of the options, or answers false when it
// refuses the value.
using TOptionTarget = bool (*)(TOptions& Options, const TOptionValue& Value);

struct TOptionSpec {
  const char* Name;   // "--frame"; for okSlots the name without its number
  const char* Alias;  // "-o" for "--output", or nullptr
  TCommandSet Commands;
  TOptionKind Kind;
  TOptionTarget Target;
  const char* Value;  // what the usage calls the value ("N"), nullptr for flags
  const char* Help;   // one line
  // Why the target refused a value ("{}" stands for the value); nullptr when it takes any.
  const char* Refused = nullptr;
};

struct TExitStatusSpec {
  int Status;
  const char* Meaning;
};

std::span<const TCommandSpec> CommandTable();
std::span<const TOptionSpec> OptionTable();
std::span<const TExitStatusSpec> ExitStatusTable();

// The exit status of a run that rendered a page whose media could not all be loaded.
constexpr int kMissingMediaStatus = 3;
// Status, or kMissingMediaStatus when Status is 0, media could not be loaded (MissingMedia) and
// that was not allowed.
constexpr int StatusWithMedia(int Status, int MissingMedia, bool Allowed) {
  return Status == 0 && MissingMedia > 0 && !Allowed ? kMissingMediaStatus : Status;
}
// The line qvrender ends such a run with.
inline constexpr const char* kMissingMediaLine =
    "qvrender: media of the page could not be loaded (exit status 3; --allow-missing-media accepts that)";

// How the usage and the manual page write an option and its value: "-o, --output FILE",
// "--meta1..--meta4 TEXT".
std::string OptionTitle(const TOptionSpec& Option);
// "render, info, batch".
std::string CommandNames(TCommandSet Commands);
// A command's line of the synopsis, without the program's name: "render PROJECT.QV -o ... [--frame N] ...".
std::string CommandSynopsis(const TCommandSpec& Command);

// Parses the arguments after the program name for every command but batch. On a bad command line
// the result is empty and Error says what was wrong (one line).
std::optional<TOptions> ParseOptions(const std::vector<std::string>& Args, std::string& Error);
// Parses the arguments after "batch".
std::optional<TBatchOptions> ParseBatchOptions(const std::vector<std::string>& Args, std::string& Error);
// Parses the arguments after "serve".
std::optional<TServeOptions> ParseServeOptions(const std::vector<std::string>& Args, std::string& Error);

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

// The synopsis of every command: what follows a bad command line.
const char* UsageText();
// The synopsis, then every command, option and exit status with its help line: qvrender --help.
const char* HelpText();

// "12:34:56.789" (the milliseconds are optional, 1 to 3 digits).
std::optional<TTimeOfDay> ParseTimeOfDay(const std::string& Text);

// Sequence patterns are checked by ParseOptions.
using qv::FormatFramePattern;
using qv::IsValidFramePattern;

}  // namespace qv::render
