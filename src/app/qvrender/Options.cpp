#include "app/qvrender/Options.h"

#include "app/manual/Manual.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <type_traits>

namespace qv::render {

namespace {

bool ParseInt(const std::string& s, int& out) {
  if (s.empty()) return false;
  const char* first = s.data();
  const char* last = s.data() + s.size();
  if (*first == '+') ++first;
  const auto r = std::from_chars(first, last, out);
  return r.ec == std::errc() && r.ptr == last;
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

std::optional<TImageFormat> FormatOf(const std::string& file) {
  const std::string l = Lower(file);
  auto ends = [&](const char* ext) {
    const std::string e(ext);
    return l.size() > e.size() && l.compare(l.size() - e.size(), e.size(), e) == 0;
  };
  if (ends(".png")) return TImageFormat::ifPng;
  if (ends(".tga")) return TImageFormat::ifTga;
  return std::nullopt;
}

}  // namespace

std::optional<TTimeOfDay> ParseTimeOfDay(const std::string& t) {
  // HH:MM:SS with an optional .m, .mm or .mmm
  if (t.size() < 8 || t[2] != ':' || t[5] != ':') return std::nullopt;
  auto two = [&](std::size_t at, int& v) {
    if (!std::isdigit(static_cast<unsigned char>(t[at])) ||
        !std::isdigit(static_cast<unsigned char>(t[at + 1]))) {
      return false;
    }
    v = (t[at] - '0') * 10 + (t[at + 1] - '0');
    return true;
  };
  TTimeOfDay r;
  if (!two(0, r.Hour) || !two(3, r.Minute) || !two(6, r.Second)) return std::nullopt;
  if (r.Hour > 23 || r.Minute > 59 || r.Second > 59) return std::nullopt;
  if (t.size() > 8) {
    if (t[8] != '.' || t.size() == 9 || t.size() > 12) return std::nullopt;
    int ms = 0;
    int scale = 100;
    for (std::size_t i = 9; i < t.size(); ++i) {
      if (!std::isdigit(static_cast<unsigned char>(t[i]))) return std::nullopt;
      ms += (t[i] - '0') * scale;
      scale /= 10;
    }
    r.Millisecond = ms;
  }
  return r;
}

TOptionArg::TOptionArg(const std::vector<std::string>& Args, std::size_t& Index, std::string& Error)
    : fArgs(Args), fIndex(Index), fError(Error), fName(Args[Index]) {
  if (fName.rfind("--", 0) == 0) {
    const std::size_t eq = fName.find('=');
    if (eq != std::string::npos) {
      fInline = fName.substr(eq + 1);
      fName.resize(eq);
    }
  }
}

bool TOptionArg::Value(std::string& V) {
  if (fInline) {
    V = *fInline;
    return true;
  }
  if (fIndex + 1 >= fArgs.size()) {
    fError = "option " + fName + " needs a value";
    return false;
  }
  V = fArgs[++fIndex];
  return true;
}

bool TOptionArg::IntValue(int& V) {
  std::string s;
  if (!Value(s)) return false;
  if (!ParseInt(s, V)) {
    fError = "option " + fName + " needs an integer, not \"" + s + "\"";
    return false;
  }
  return true;
}

namespace {

constexpr TCommandSet kRender = CommandBit(TCommand::cmRender);
constexpr TCommandSet kSequence = CommandBit(TCommand::cmSequence);
constexpr TCommandSet kResave = CommandBit(TCommand::cmResave);
constexpr TCommandSet kInfo = CommandBit(TCommand::cmInfo);
constexpr TCommandSet kItems = CommandBit(TCommand::cmItems);
constexpr TCommandSet kVideo = CommandBit(TCommand::cmVideo);
constexpr TCommandSet kPlay = CommandBit(TCommand::cmPlay);
constexpr TCommandSet kBatch = CommandBit(TCommand::cmBatch);
constexpr TCommandSet kServe = CommandBit(TCommand::cmServe);
// The commands that compose a page, and so take its clock and its metadata.
constexpr TCommandSet kComposing = kRender | kSequence | kInfo | kVideo | kPlay;

// The synopsis follows this order.
const TCommandSpec kCommands[] = {
    {TCommand::cmRender, "render", "PROJECT.QV -o OUT.(png|tga)",
     "one frame of the page as a picture: PNG with straight alpha, or TGA holding the work image's premultiplied bytes"},
    {TCommand::cmSequence, "sequence", "PROJECT.QV (-o OUT_%05d.(png|tga) | --no-output) --from A --to B",
     "frames A to B as numbered pictures; the output holds one frame-number field such as %05d"},
    {TCommand::cmVideo, "video", "PROJECT.QV -o OUT.(mov|mkv|mp4) --from A --to B",
     "frames A to B as a clip at 25 frames per second, written beside the output and renamed into place at the end"},
    {TCommand::cmPlay, "play", "PROJECT.QV (--raw - | --y4m -)",
     "the page live from frame 0, paced to 25 frames per second, to standard output (-), a file or a FIFO"},
    {TCommand::cmResave, "resave", "IN.QV OUT.QV",
     "reads a project and writes it again, its media paths as the file stores them"},
    {TCommand::cmInfo, "info", "PROJECT.QV", "the page's size (# page W x H), then one line per layer as it stands at the frame"},
    {TCommand::cmItems, "items", "FILE.(txt|rtf)",
     "the crawl items a roll layer makes of a text or RTF file, one per line in UTF-8"},
    {TCommand::cmBatch, "batch", "TEMPLATE.QV DATA.csv -o 'OUT/{column}.(png|tga)' [--frame N | --from A --to B]",
     "one page per row of a CSV table, from one template (with --from/--to a range of frames per row, the output "
     "holding a frame-number field such as %05d)"},
    {TCommand::cmServe, "serve", "RUNDOWN.json (--raw - | --y4m -)",
     "plays the rundown's pages on air as play does, several layers at once, and serves the control page and its "
     "JSON API over HTTP (cue, preview, take, take out, edits saved to the rundown)"},
};

// Targets. Each stores an option's value in its member of TOptions; one that refuses the value
// answers false, and the row's Refused message says why.

// A text, a whole number or (for a flag) true, as the member's type asks.
template <auto Member>
bool Store(TOptions& o, const TOptionValue& v) {
  using T = std::remove_reference_t<decltype(o.*Member)>;
  if constexpr (std::is_same_v<T, bool>) {
    o.*Member = true;
  } else if constexpr (std::is_same_v<T, int>) {
    o.*Member = v.Integer;
  } else {
    o.*Member = v.Text;
  }
  return true;
}

// A text read by Parse, which answers nothing for a text it refuses.
template <auto Member, auto Parse>
bool StoreParsed(TOptions& o, const TOptionValue& v) {
  const auto parsed = Parse(v.Text);
  if (!parsed) return false;
  o.*Member = *parsed;
  return true;
}

// A count of at least 1.
template <auto Member>
bool StoreCount(TOptions& o, const TOptionValue& v) {
  if (v.Integer < 1) return false;
  if constexpr (std::is_same_v<std::remove_reference_t<decltype(o.*Member)>, unsigned>) {
    o.*Member = static_cast<unsigned>(v.Integer);
  } else {
    o.*Member = v.Integer;
  }
  return true;
}

// One of the four texts of a numbered option.
template <auto Member>
bool StoreSlot(TOptions& o, const TOptionValue& v) {
  (o.*Member)[v.Slot] = v.Text;
  return true;
}

// A token travels in a header, a cookie and a query: printable, without blanks and separators.
bool StoreToken(TOptions& o, const TOptionValue& v) {
  if (v.Text.empty()) return false;
  for (char c : v.Text) {
    if (c <= ' ' || c > '~' || std::string_view(";,&=\"\\%+").find(c) != std::string_view::npos) return false;
  }
  o.Token = v.Text;
  return true;
}

// Play's output and the form of its frames; one of --raw and --y4m, once.
template <TStreamFormat Stream>
bool StoreStream(TOptions& o, const TOptionValue& v) {
  if (o.Stream) return false;
  o.Output = v.Text;
  o.Stream = Stream;
  return true;
}

std::optional<TTimeOfDay> TimeOf(const std::string& text) { return ParseTimeOfDay(text); }
std::optional<TShard> ShardOf(const std::string& text) { return TShard::Parse(text); }
std::optional<video::TVideoCodec> CodecOf(const std::string& text) { return video::CodecFromName(text); }
std::optional<TListen> ListenOf(const std::string& text) { return ParseListen(text); }

const TOptionSpec kOptions[] = {
    {"--output", "-o", kRender | kSequence | kVideo | kBatch, TOptionKind::okText, Store<&TOptions::Output>, "FILE",
     "where the picture, the numbered pictures, the clip or a row's pages go ({column} takes the row's value)"},
    {"--frame", nullptr, kRender | kInfo | kBatch, TOptionKind::okInteger, Store<&TOptions::Frame>, "N",
     "the frame, counted from the page's start: the page as it stands that many frames after it starts (default 0)"},
    {"--from", nullptr, kSequence | kVideo | kBatch, TOptionKind::okInteger, Store<&TOptions::From>, "A",
     "the first frame of the range (the frames before it are played, not drawn)"},
    {"--to", nullptr, kSequence | kVideo | kBatch, TOptionKind::okInteger, Store<&TOptions::To>, "B",
     "the last frame of the range"},
    {"--no-output", nullptr, kSequence, TOptionKind::okFlag, Store<&TOptions::NoOutput>, nullptr,
     "compose the frames and write nothing (for soak runs)"},
    {"--checkerboard", nullptr, kRender | kSequence, TOptionKind::okFlag, Store<&TOptions::Checkerboard>, nullptr,
     "draw the frames over the editor's checkerboard instead of transparent black"},
    {"--quiet", nullptr, kSequence | kVideo, TOptionKind::okFlag, Store<&TOptions::Quiet>, nullptr,
     "no progress line (it is shown only when standard error is a terminal)"},
    {"--codec", nullptr, kVideo, TOptionKind::okText, StoreParsed<&TOptions::Codec, CodecOf>,
     "prores4444|qtrle|ffv1|h264",
     "the clip's codec: prores4444 (.mov, the default), qtrle (.mov) and ffv1 (.mkv) keep the alpha channel; h264 "
     "(.mp4) is a preview over black or --background",
     "unknown codec \"{}\" (prores4444, qtrle, ffv1 or h264)"},
    {"--background", nullptr, kVideo | kPlay | kServe, TOptionKind::okText, Store<&TOptions::Background>, "IMAGE",
     "the picture under the frames of an h264 clip or of --y4m (the other outputs keep the alpha channel)"},
    {"--raw", nullptr, kPlay | kServe, TOptionKind::okText, StoreStream<TStreamFormat::sfRaw>, "OUT",
     "raw BGRA frames with premultiplied alpha (fill and key) to OUT; - is standard output",
     "--raw and --y4m exclude each other"},
    {"--y4m", nullptr, kPlay | kServe, TOptionKind::okText, StoreStream<TStreamFormat::sfY4m>, "OUT",
     "YUV4MPEG 4:4:4 frames over black or --background to OUT, alpha dropped; - is standard output",
     "--raw and --y4m exclude each other"},
    {"--data", nullptr, kPlay, TOptionKind::okText, Store<&TOptions::DataFile>, "FILE.json",
     "the newsroom's file: its Meta1..Meta4 and NextMeta1..NextMeta4 replace the slots and its "
     "<layerName>.<property> members set layers' properties when it changes"},
    {"--frames", nullptr, kPlay, TOptionKind::okInteger, StoreCount<&TOptions::Frames>, "N",
     "stop after N frame times (default: play until stopped)", "--frames needs a count of at least 1"},
    {"--jobs", nullptr, kBatch, TOptionKind::okInteger, StoreCount<&TOptions::Jobs>, "N",
     "rows drawn at once in this process, each on a page of its own (default: one per core)",
     "option --jobs needs at least 1"},
    {"--shard", nullptr, kBatch, TOptionKind::okText, StoreParsed<&TOptions::Shard, ShardOf>, "I/N",
     "only rows I, I + N, I + 2N, ... (counted from 0), to spread a run over processes or machines",
     "option --shard needs I/N with 0 <= I < N, not \"{}\""},
    {"--time", nullptr, kComposing | kBatch | kServe, TOptionKind::okText, StoreParsed<&TOptions::Time, TimeOf>,
     "HH:MM:SS.mmm", "the time of day at frame 0, each frame 40 ms later (default: the system's clock)",
     "option --time needs HH:MM:SS.mmm, not \"{}\""},
    {"--listen", nullptr, kServe, TOptionKind::okText, StoreParsed<&TOptions::Listen, ListenOf>, "HOST:PORT",
     "where the control page and its API are served (default 127.0.0.1:8080; port 0 takes a free one); another "
     "address than this machine's loopback needs --token",
     "option --listen needs HOST:PORT, not \"{}\""},
    {"--token", nullptr, kServe, TOptionKind::okText, StoreToken, "TOKEN",
     "what every request must carry (Authorization: Bearer TOKEN, or ?token=TOKEN once in the page's address)",
     "a token is printable ASCII without blanks or any of ; , & = \" \\ % +"},
    {"--meta", nullptr, kComposing, TOptionKind::okSlots, StoreSlot<&TOptions::Meta>, "TEXT",
     "the text of metadata slot 1 to 4, shown by text layers whose TextSource names the slot"},
    {"--next-meta", nullptr, kComposing, TOptionKind::okSlots, StoreSlot<&TOptions::NextMeta>, "TEXT",
     "the text of next-item slot 1 to 4"},
    {"--allow-missing-media", nullptr, kRender | kSequence | kVideo | kPlay | kBatch, TOptionKind::okFlag,
     Store<&TOptions::AllowMissingMedia>, nullptr,
     "exit with 0 also when a picture, sequence folder or text file of the page could not be loaded (the warnings "
     "stay)"},
};

const TExitStatusSpec kExitStatuses[] = {
    {0, "done: every picture, clip, project or row was written (play: after --frames, or stopped by SIGINT or "
        "SIGTERM, whatever its consumer does; serve: stopped by SIGINT or SIGTERM)"},
    {1, "a file could not be read or written (the message names it, and the line of a damaged project), some rows "
        "of a batch failed (each is reported; the others were written), the consumer of play or serve closed the "
        "pipe, serve could not listen, or "
        "sequence or video was stopped by SIGINT or SIGTERM (video then leaves no file)"},
    {2, "a bad command line: one line saying what was wrong, then the usage, on standard error"},
    {3, "everything was written, but media of the page (a picture, a sequence folder, a text file) could not be "
        "loaded: each was warned of, and its layer left empty (render, sequence, video, play and batch; not with "
        "--allow-missing-media)"},
};

constexpr std::size_t kSlots = 4;

// The row named Name ("-o", "--frame", "--meta3"), with the slot of a numbered option; nullptr
// when no option has that name.
const TOptionSpec* FindOption(const std::string& name, std::size_t& slot) {
  for (const TOptionSpec& row : kOptions) {
    if (row.Kind == TOptionKind::okSlots) {
      const std::size_t n = std::char_traits<char>::length(row.Name);
      if (name.size() == n + 1 && name.compare(0, n, row.Name) == 0 && name[n] >= '1' &&
          name[n] < char('1' + kSlots)) {
        slot = static_cast<std::size_t>(name[n] - '1');
        return &row;
      }
    } else if (name == row.Name || (row.Alias && name == row.Alias)) {
      slot = 0;
      return &row;
    }
  }
  return nullptr;
}

// What one command line held: its files, in order, and the options given.
struct TArguments {
  TOptions Options;
  std::vector<std::string> Files;
  std::vector<const TOptionSpec*> Given;

  bool Has(const char* name) const {
    return std::any_of(Given.begin(), Given.end(), [&](const TOptionSpec* r) { return std::string(r->Name) == name; });
  }
};

// Why an option is refused: it is not one of the command's (Known: it is another command's).
using TRefusal = std::string (*)(const std::string& Command, const std::string& Option, bool Known);

// Reads Args from First on for Command, every option through its row of the table.
bool ReadArguments(const std::vector<std::string>& args, std::size_t first, TCommand command, TRefusal refuse,
                   TArguments& out, std::string& error) {
  std::string name;
  for (const TCommandSpec& c : kCommands)
    if (c.Command == command) name = c.Name;
  for (std::size_t i = first; i < args.size(); ++i) {
    TOptionArg arg(args, i, error);
    const std::string& a = arg.Name();
    std::size_t slot = 0;
    const TOptionSpec* row = FindOption(a, slot);
    if (!row) {
      if (a.size() > 1 && a[0] == '-') {
        error = refuse(name, a, false);
        return false;
      }
      out.Files.push_back(args[i]);
      continue;
    }
    if ((row->Commands & CommandBit(command)) == 0) {
      error = refuse(name, a, true);
      return false;
    }
    TOptionValue value;
    value.Slot = slot;
    switch (row->Kind) {
      case TOptionKind::okFlag:
        if (arg.HasInlineValue()) {
          error = "option " + a + " takes no value";
          return false;
        }
        break;
      case TOptionKind::okText:
      case TOptionKind::okSlots:
        if (!arg.Value(value.Text)) return false;
        break;
      case TOptionKind::okInteger:
        if (!arg.IntValue(value.Integer)) return false;
        break;
    }
    if (!row->Target(out.Options, value)) {
      error = row->Refused;
      const std::size_t at = error.find("{}");
      if (at != std::string::npos) error.replace(at, 2, value.Text);
      return false;
    }
    out.Given.push_back(row);
  }
  return true;
}

// The format of the pictures -o names.
std::optional<TImageFormat> PictureOutput(const TArguments& read, std::string& error) {
  const std::string& output = read.Options.Output;
  if (!read.Has("--output") || output.empty()) {
    error = "missing -o OUTPUT";
    return std::nullopt;
  }
  const auto format = FormatOf(output);
  if (!format) error = "the output must end in .png or .tga: " + output;
  return format;
}

std::string CommandRefusal(const std::string& command, const std::string& option, bool known) {
  return known ? "option " + option + " does not apply to " + command : "unknown option " + option;
}

std::string BatchRefusal(const std::string&, const std::string& option, bool) {
  return "unknown option " + option + " for batch";
}

std::string ServeRefusal(const std::string&, const std::string& option, bool) {
  return "unknown option " + option + " for serve";
}

// Whether Text names Word as a whole word (the options a synopsis already shows).
bool NamesWord(const std::string& text, const char* word) {
  if (!word) return false;
  const std::string w(word);
  for (std::size_t at = text.find(w); at != std::string::npos; at = text.find(w, at + 1)) {
    const bool starts = at == 0 || std::string(" ([|").find(text[at - 1]) != std::string::npos;
    const std::size_t end = at + w.size();
    const bool ends = end == text.size() || std::string(" )]|").find(text[end]) != std::string::npos;
    if (starts && ends) return true;
  }
  return false;
}

// The synopsis as units that lines break between: the operands, then "[--frame N]" per option.
std::vector<std::string> SynopsisUnits(const TCommandSpec& c) {
  std::vector<std::string> units{c.Name, c.Operands};
  for (const TOptionSpec& o : kOptions) {
    if ((o.Commands & CommandBit(c.Command)) == 0) continue;
    if (NamesWord(c.Operands, o.Name) || NamesWord(c.Operands, o.Alias)) continue;
    std::string unit = "[";  // "[" + ... makes GCC 12 warn falsely (-Wrestrict)
    unit += OptionTitle(o);
    units.push_back(unit + "]");
  }
  return units;
}

}  // namespace

std::string CommandNames(TCommandSet set) {
  std::string r;
  for (const TCommandSpec& c : kCommands) {
    if ((set & CommandBit(c.Command)) == 0) continue;
    r += r.empty() ? "" : ", ";
    r += c.Name;
  }
  return r;
}

namespace {

std::string MakeUsage() {
  constexpr std::size_t kWidth = 100;
  const std::string indent(20, ' ');
  std::string text = "usage:\n";
  for (const TCommandSpec& c : kCommands) {
    const std::vector<std::string> units = SynopsisUnits(c);
    std::string line = "  qvrender " + units[0];
    line.resize(std::max(line.size() + 1, indent.size()), ' ');
    line += units[1];
    for (std::size_t u = 2; u < units.size(); ++u) {
      if (line.size() + 1 + units[u].size() > kWidth) {
        text += line + "\n";
        line = indent + units[u];
      } else {
        line += " " + units[u];
      }
    }
    text += line + "\n";
  }
  text += "  qvrender --help   (every command, option and exit status)\n";
  return text;
}

std::string MakeHelp() {
  std::string text = UsageText();
  text += "\ncommands:\n";
  for (const TCommandSpec& c : kCommands) {
    std::string lead = std::string("  ") + c.Name;
    lead.resize(12, ' ');
    text += manual::Filled(lead, c.Help, 12);
  }
  text += "\noptions:\n";
  for (const TOptionSpec& o : kOptions) {
    std::string line = "  " + OptionTitle(o);
    line.resize(std::max<std::size_t>(line.size() + 2, 40), ' ');
    text += line + "(" + CommandNames(o.Commands) + ")\n";
    text += manual::Filled("      ", o.Help, 6);
  }
  text += "\nexit status:\n";
  for (const TExitStatusSpec& e : kExitStatuses) text += manual::Filled("  " + std::to_string(e.Status) + "  ", e.Meaning, 5);
  return text;
}

}  // namespace

std::span<const TCommandSpec> CommandTable() { return kCommands; }
std::span<const TOptionSpec> OptionTable() { return kOptions; }
std::span<const TExitStatusSpec> ExitStatusTable() { return kExitStatuses; }

std::string OptionTitle(const TOptionSpec& o) {
  std::string title;
  if (o.Kind == TOptionKind::okSlots) {
    title = std::string(o.Name) + "1.." + o.Name + std::to_string(kSlots);
  } else {
    title = o.Alias ? std::string(o.Alias) + ", " + o.Name : o.Name;
  }
  if (o.Value) title += std::string(" ") + o.Value;
  return title;
}

std::string CommandSynopsis(const TCommandSpec& c) {
  std::string r;
  for (const std::string& u : SynopsisUnits(c)) r += (r.empty() ? "" : " ") + u;
  return r;
}

const char* UsageText() {
  static const std::string text = MakeUsage();
  return text.c_str();
}

const char* HelpText() {
  static const std::string text = MakeHelp();
  return text.c_str();
}

std::optional<TOptions> ParseOptions(const std::vector<std::string>& args, std::string& error) {
  if (args.empty()) {
    error = "no command given";
    return std::nullopt;
  }
  const std::string& cmd = args[0];
  const auto spec = std::find_if(std::begin(kCommands), std::end(kCommands),
                                 [&](const TCommandSpec& c) { return cmd == c.Name; });
  // batch and serve have parsers of their own (ParseBatchOptions, ParseServeOptions).
  if (spec == std::end(kCommands) || spec->Command == TCommand::cmBatch || spec->Command == TCommand::cmServe) {
    error = "unknown command \"" + cmd + "\"";
    return std::nullopt;
  }
  TArguments read;
  read.Options.Command = spec->Command;
  if (!ReadArguments(args, 1, spec->Command, CommandRefusal, read, error)) return std::nullopt;
  TOptions& o = read.Options;

  const bool images = o.Command == TCommand::cmRender || o.Command == TCommand::cmSequence;
  const bool ranges = o.Command == TCommand::cmSequence || o.Command == TCommand::cmVideo;
  const bool haveOutput = read.Has("--output");

  const std::size_t wantFiles = o.Command == TCommand::cmResave ? 2 : 1;
  if (read.Files.size() != wantFiles) {
    error = read.Files.size() < wantFiles ? "missing file name" : "too many file names";
    return std::nullopt;
  }
  o.Project = read.Files[0];
  if (o.Command == TCommand::cmResave) o.Output = read.Files[1];

  if (o.NoOutput) {
    if (haveOutput) {
      error = "--no-output and -o exclude each other";
      return std::nullopt;
    }
  } else if (images) {
    const auto format = PictureOutput(read, error);
    if (!format) return std::nullopt;
    o.Format = *format;
  }
  if (o.Command == TCommand::cmVideo) {
    if (!haveOutput || o.Output.empty()) {
      error = "missing -o OUTPUT";
      return std::nullopt;
    }
    const std::string ext = video::CodecExtension(o.Codec);
    const std::string out = Lower(o.Output);
    if (out.size() <= ext.size() || out.compare(out.size() - ext.size(), ext.size(), ext) != 0) {
      error = std::string("a ") + video::CodecName(o.Codec) + " file ends in " + ext + ": " + o.Output;
      return std::nullopt;
    }
    if (!o.Background.empty() && o.Codec != video::TVideoCodec::vcH264) {
      error = "--background applies to --codec h264 only (the other codecs keep the alpha channel)";
      return std::nullopt;
    }
  }
  if (o.Command == TCommand::cmPlay) {
    if (!o.Stream || o.Output.empty()) {
      error = "play needs --raw - or --y4m -";
      return std::nullopt;
    }
    if (!o.Background.empty() && o.Stream != TStreamFormat::sfY4m) {
      error = "--background applies to --y4m only (raw frames keep the alpha channel)";
      return std::nullopt;
    }
  }
  if (ranges) {
    if (!read.Has("--from") || !read.Has("--to")) {
      error = cmd + " needs --from and --to";
      return std::nullopt;
    }
    if (o.From > o.To) {
      error = "--from must not be after --to";
      return std::nullopt;
    }
    if (o.Command == TCommand::cmSequence && !o.NoOutput && !IsValidFramePattern(o.Output)) {
      error = "the output of a sequence needs one frame-number field such as %05d: " + o.Output;
      return std::nullopt;
    }
  }
  return o;
}

std::optional<TBatchOptions> ParseBatchOptions(const std::vector<std::string>& args, std::string& error) {
  TArguments read;
  read.Options.Command = TCommand::cmBatch;
  if (!ReadArguments(args, 0, TCommand::cmBatch, BatchRefusal, read, error)) return std::nullopt;
  const TOptions& given = read.Options;
  if (read.Files.size() != 2) {
    error = read.Files.size() < 2 ? "batch needs TEMPLATE.QV and DATA.csv" : "too many file names";
    return std::nullopt;
  }
  TBatchOptions o;
  o.Template = read.Files[0];
  o.Data = read.Files[1];
  o.Output = given.Output;
  o.Frame = given.Frame;
  o.From = given.From;
  o.To = given.To;
  o.Jobs = given.Jobs;
  o.Shard = given.Shard;
  o.Time = given.Time;
  o.AllowMissingMedia = given.AllowMissingMedia;
  const auto format = PictureOutput(read, error);
  if (!format) return std::nullopt;
  o.Tga = *format == TImageFormat::ifTga;
  if (read.Has("--from") != read.Has("--to")) {
    error = "a range of frames needs both --from and --to";
    return std::nullopt;
  }
  o.Range = read.Has("--from");
  if (o.Range && read.Has("--frame")) {
    error = "--frame and --from/--to exclude each other";
    return std::nullopt;
  }
  if (o.Range && o.From > o.To) {
    error = "--from must not be after --to";
    return std::nullopt;
  }
  if (o.Range && !IsValidFramePattern(o.Output)) {
    error = "the output of a range of frames needs one frame-number field such as %05d: " + o.Output;
    return std::nullopt;
  }
  return o;
}

std::optional<TListen> ParseListen(const std::string& text) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos) return std::nullopt;
  TListen l;
  std::string host = text.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  if (!host.empty()) l.Host = host;
  const std::string port = text.substr(colon + 1);
  if (!ParseInt(port, l.Port) || port[0] == '+' || l.Port < 0 || l.Port > 65535) return std::nullopt;
  return l;
}

bool IsLoopbackHost(const std::string& host) {
  if (host == "localhost" || host == "::1") return true;
  if (host.rfind("127.", 0) != 0) return false;
  int dots = 0;
  for (char c : host) {
    if (c == '.') {
      ++dots;
    } else if (!std::isdigit(static_cast<unsigned char>(c))) {
      return false;
    }
  }
  return dots == 3;
}

std::optional<TServeOptions> ParseServeOptions(const std::vector<std::string>& args, std::string& error) {
  TArguments read;
  read.Options.Command = TCommand::cmServe;
  if (!ReadArguments(args, 0, TCommand::cmServe, ServeRefusal, read, error)) return std::nullopt;
  const TOptions& given = read.Options;
  if (read.Files.size() != 1) {
    error = read.Files.empty() ? "serve needs RUNDOWN.json" : "too many file names";
    return std::nullopt;
  }
  if (!given.Stream || given.Output.empty()) {
    error = "serve needs --raw - or --y4m -";
    return std::nullopt;
  }
  TServeOptions o;
  o.Rundown = read.Files[0];
  o.Output = given.Output;
  o.Stream = *given.Stream;
  o.Listen = given.Listen;
  o.Token = given.Token;
  o.Background = given.Background;
  o.Time = given.Time;
  if (!o.Background.empty() && o.Stream != TStreamFormat::sfY4m) {
    error = "--background applies to --y4m only (raw frames keep the alpha channel)";
    return std::nullopt;
  }
  if (!IsLoopbackHost(o.Listen.Host) && o.Token.empty()) {
    error = "listening on " + o.Listen.Host + ", not this machine's loopback, needs --token";
    return std::nullopt;
  }
  return o;
}

}  // namespace qv::render
