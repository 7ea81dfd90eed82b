// The option table against the parsers and the usage it feeds: {arguments → error or options}.
#include "app/qvrender/Options.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <sstream>

namespace qv::render {

void PrintTo(const TOptions& o, std::ostream* os) {
  *os << "{command " << int(o.Command) << ", project " << o.Project << ", output " << o.Output << ", format "
      << int(o.Format) << ", frame " << o.Frame << ", from " << o.From << ", to " << o.To << ", checkerboard "
      << o.Checkerboard << ", no-output " << o.NoOutput << ", quiet " << o.Quiet << ", codec " << int(o.Codec)
      << ", background " << o.Background << ", stream " << (o.Stream ? int(*o.Stream) : -1) << ", data "
      << o.DataFile << ", frames " << (o.Frames ? *o.Frames : -1) << ", time " << (o.Time ? o.Time->Hour : -1)
      << ", jobs " << o.Jobs << ", shard " << o.Shard.Index << "/" << o.Shard.Count << "}";
}

void PrintTo(const TBatchOptions& o, std::ostream* os) {
  *os << "{template " << o.Template << ", data " << o.Data << ", output " << o.Output << ", tga " << o.Tga
      << ", range " << o.Range << ", frame " << o.Frame << ", from " << o.From << ", to " << o.To << ", jobs "
      << o.Jobs << ", shard " << o.Shard.Index << "/" << o.Shard.Count << ", time " << (o.Time ? o.Time->Hour : -1)
      << "}";
}

void PrintTo(const TServeOptions& o, std::ostream* os) {
  *os << "{rundown " << o.Rundown << ", output " << o.Output << ", stream " << int(o.Stream) << ", listen "
      << o.Listen.Host << " " << o.Listen.Port << ", token " << o.Token << ", background " << o.Background
      << ", time " << (o.Time ? o.Time->Hour : -1) << "}";
}

namespace {

using TArgs = std::vector<std::string>;

// A command line and what it gives: the error, or (Error empty) the options Expect makes of the
// defaults.
template <class TResult>
struct TCase {
  TArgs Args;
  std::string Error;
  std::function<void(TResult&)> Expect;
};

template <class TResult, class TParse>
void Check(const std::vector<TCase<TResult>>& cases, TParse parse, const TResult& defaults) {
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.Args));
    std::string error;
    const std::optional<TResult> got = parse(c.Args, error);
    if (!c.Error.empty()) {
      EXPECT_FALSE(got);
      EXPECT_EQ(error, c.Error);
      continue;
    }
    ASSERT_TRUE(got) << error;
    TResult want = defaults;
    c.Expect(want);
    EXPECT_EQ(*got, want);
  }
}

TEST(OptionTable, CommandLinesGiveOptionsOrOneError) {
  const std::vector<TCase<TOptions>> cases = {
      {{"render", "p.QV", "-o", "o.png"}, "", [](TOptions& o) { o.Output = "o.png"; }},
      {{"render", "p.QV", "-o", "o.png", "--allow-missing-media"}, "",
       [](TOptions& o) {
         o.Output = "o.png";
         o.AllowMissingMedia = true;
       }},
      {{"info", "p.QV", "--allow-missing-media"}, "option --allow-missing-media does not apply to info", nullptr},
      {{"resave", "a.QV", "b.QV", "--allow-missing-media"}, "option --allow-missing-media does not apply to resave",
       nullptr},
      {{"play", "p.QV", "--raw", "-", "--allow-missing-media=yes"}, "option --allow-missing-media takes no value",
       nullptr},
      {{"render", "p.QV", "--output=o.TGA", "--frame=+7", "--meta1", "", "--next-meta3=Later"}, "",
       [](TOptions& o) {
         o.Output = "o.TGA";
         o.Format = TImageFormat::ifTga;
         o.Frame = 7;
         o.Meta[0] = "";
         o.NextMeta[2] = "Later";
       }},
      {{"sequence", "p.QV", "--no-output", "--from", "-5", "--to", "5", "--quiet", "--checkerboard"}, "",
       [](TOptions& o) {
         o.Command = TCommand::cmSequence;
         o.NoOutput = o.Quiet = o.Checkerboard = true;
         o.From = -5;
         o.To = 5;
       }},
      {{"video", "p.QV", "-o", "c.mkv", "--from", "0", "--to", "0", "--codec", "ffv1", "--time", "00:00:01"}, "",
       [](TOptions& o) {
         o.Command = TCommand::cmVideo;
         o.Output = "c.mkv";
         o.Codec = video::TVideoCodec::vcFfv1;
         o.Time = TTimeOfDay{0, 0, 1, 0};
       }},
      {{"play", "p.QV", "--y4m", "out.y4m", "--frames", "1", "--data", "d.json", "--background", "b.png"}, "",
       [](TOptions& o) {
         o.Command = TCommand::cmPlay;
         o.Stream = TStreamFormat::sfY4m;
         o.Output = "out.y4m";
         o.Frames = 1;
         o.DataFile = "d.json";
         o.Background = "b.png";
       }},
      {{"resave", "a.QV", "b.QV"}, "",
       [](TOptions& o) {
         o.Command = TCommand::cmResave;
         o.Project = "a.QV";
         o.Output = "b.QV";
       }},
      {{"info", "p.QV", "--time", "23:59:59.1", "--meta4", "x"}, "",
       [](TOptions& o) {
         o.Command = TCommand::cmInfo;
         o.Time = TTimeOfDay{23, 59, 59, 100};
         o.Meta[3] = "x";
       }},
      {{"items", "-"}, "",  // "-" is a file name, not an option
       [](TOptions& o) {
         o.Command = TCommand::cmItems;
         o.Project = "-";
       }},
      {{}, "no command given", nullptr},
      {{"batch", "t.QV", "d.csv", "-o", "x.png"}, "unknown command \"batch\"", nullptr},  // ParseBatchOptions reads it
      {{"render", "p.QV", "-o", "o.png", "--jobs", "2"}, "option --jobs does not apply to render", nullptr},
      {{"items", "a.txt", "--meta2", "x"}, "option --meta2 does not apply to items", nullptr},
      {{"render", "p.QV", "-o", "o.png", "--meta5", "x"}, "unknown option --meta5", nullptr},
      {{"render", "p.QV", "-o", "o.png", "--meta", "x"}, "unknown option --meta", nullptr},
      {{"render", "p.QV", "-o", "o.png", "--frames", "2"}, "option --frames does not apply to render", nullptr},
      {{"render", "p.QV", "-o=o.png"}, "unknown option -o=o.png", nullptr},
      {{"render", "p.QV", "-o"}, "option -o needs a value", nullptr},
      {{"render", "p.QV", "-o", "o.png", "--frame", "3.5"}, "option --frame needs an integer, not \"3.5\"", nullptr},
      {{"render", "p.QV", "-o", "o.png", "--checkerboard=1"}, "option --checkerboard takes no value", nullptr},
      {{"render", "p.QV", "-o", "o.png", "--time", "7:00:00"}, "option --time needs HH:MM:SS.mmm, not \"7:00:00\"",
       nullptr},
      {{"render", "p.QV", "-o", ""}, "missing -o OUTPUT", nullptr},
      {{"render", "p.QV", "-o", "o.jpg"}, "the output must end in .png or .tga: o.jpg", nullptr},
      {{"render", "p.QV"}, "missing -o OUTPUT", nullptr},
      {{"render", "-o", "o.png"}, "missing file name", nullptr},
      {{"resave", "a.QV", "b.QV", "c.QV"}, "too many file names", nullptr},
      {{"sequence", "p.QV", "--no-output", "-o", "f%d.png", "--from", "1", "--to", "2"},
       "--no-output and -o exclude each other", nullptr},
      {{"sequence", "p.QV", "-o", "f.png", "--from", "1", "--to", "2"},
       "the output of a sequence needs one frame-number field such as %05d: f.png", nullptr},
      {{"sequence", "p.QV", "-o", "f%d.png", "--to", "2"}, "sequence needs --from and --to", nullptr},
      {{"video", "p.QV", "-o", "c.mov", "--from", "2", "--to", "1"}, "--from must not be after --to", nullptr},
      {{"play", "p.QV", "--raw", "-", "--raw", "x"}, "--raw and --y4m exclude each other", nullptr},
      {{"play", "p.QV", "--raw", ""}, "play needs --raw - or --y4m -", nullptr},
      {{"play", "p.QV", "--raw", "-", "--frames", "-1"}, "--frames needs a count of at least 1", nullptr},
  };
  TOptions defaults;
  defaults.Project = "p.QV";
  Check(cases, ParseOptions, defaults);
}

TEST(OptionTable, BatchCommandLinesGiveOptionsOrOneError) {
  const std::vector<TCase<TBatchOptions>> cases = {
      {{"t.QV", "d.csv", "-o", "o/{n}.png"}, "", [](TBatchOptions&) {}},
      {{"t.QV", "d.csv", "--output", "o/{n}_%03d.TGA", "--from", "2", "--to=4", "--jobs", "3", "--shard", "1/4",
        "--time", "10:00:00"},
       "",
       [](TBatchOptions& o) {
         o.Output = "o/{n}_%03d.TGA";
         o.Tga = o.Range = true;
         o.From = 2;
         o.To = 4;
         o.Jobs = 3;
         o.Shard = TShard{1, 4};
         o.Time = TTimeOfDay{10, 0, 0, 0};
       }},
      {{"t.QV", "d.csv", "-o", "o/{n}.png", "--frame", "30"}, "", [](TBatchOptions& o) { o.Frame = 30; }},
      {{"t.QV", "d.csv", "-o", "o/{n}.png", "--allow-missing-media"}, "",
       [](TBatchOptions& o) { o.AllowMissingMedia = true; }},
      {{"t.QV", "d.csv", "-o", "x.png", "--meta1", "x"}, "unknown option --meta1 for batch", nullptr},
      {{"t.QV", "d.csv", "-o", "x.png", "--wat"}, "unknown option --wat for batch", nullptr},
      {{"t.QV", "d.csv", "-o", "x.png", "--checkerboard"}, "unknown option --checkerboard for batch", nullptr},
      {{"t.QV", "d.csv", "-o", "x.png", "--jobs", "0"}, "option --jobs needs at least 1", nullptr},
      {{"t.QV", "d.csv", "-o", "x.png", "--jobs"}, "option --jobs needs a value", nullptr},
      {{"t.QV", "d.csv", "-o", "x.png", "--shard", "4/4"}, "option --shard needs I/N with 0 <= I < N, not \"4/4\"",
       nullptr},
      {{"t.QV", "d.csv", "-o", "x.png", "--frame", "x"}, "option --frame needs an integer, not \"x\"", nullptr},
      {{"t.QV", "-o", "x.png"}, "batch needs TEMPLATE.QV and DATA.csv", nullptr},
      {{"t.QV", "d.csv", "e.csv", "-o", "x.png"}, "too many file names", nullptr},
      {{"t.QV", "d.csv"}, "missing -o OUTPUT", nullptr},
      {{"t.QV", "d.csv", "-o", "x.bmp"}, "the output must end in .png or .tga: x.bmp", nullptr},
      {{"t.QV", "d.csv", "-o", "x%d.png", "--from", "1"}, "a range of frames needs both --from and --to", nullptr},
      {{"t.QV", "d.csv", "-o", "x%d.png", "--from", "1", "--to", "2", "--frame", "1"},
       "--frame and --from/--to exclude each other", nullptr},
      {{"t.QV", "d.csv", "-o", "x%d.png", "--from", "3", "--to", "2"}, "--from must not be after --to", nullptr},
      {{"t.QV", "d.csv", "-o", "x.png", "--from", "1", "--to", "2"},
       "the output of a range of frames needs one frame-number field such as %05d: x.png", nullptr},
  };
  TBatchOptions defaults;
  defaults.Template = "t.QV";
  defaults.Data = "d.csv";
  defaults.Output = "o/{n}.png";
  Check(cases, ParseBatchOptions, defaults);
}

TEST(OptionTable, ServeCommandLinesGiveOptionsOrOneError) {
  const std::vector<TCase<TServeOptions>> cases = {
      {{"r.json", "--raw", "-"}, "", [](TServeOptions&) {}},
      {{"r.json", "--y4m=out.y4m", "--background", "bg.png", "--listen", "127.0.0.2:0", "--time", "18:00:00"}, "",
       [](TServeOptions& o) {
         o.Output = "out.y4m";
         o.Stream = TStreamFormat::sfY4m;
         o.Background = "bg.png";
         o.Listen = {"127.0.0.2", 0};
         o.Time = TTimeOfDay{18, 0, 0, 0};
       }},
      {{"r.json", "--raw", "-", "--listen", ":9000"}, "", [](TServeOptions& o) { o.Listen.Port = 9000; }},
      {{"r.json", "--raw", "-", "--listen", "[::1]:80"}, "", [](TServeOptions& o) { o.Listen = {"::1", 80}; }},
      {{"r.json", "--raw", "-", "--listen", "localhost:8081"}, "", [](TServeOptions& o) { o.Listen = {"localhost", 8081}; }},
      {{"r.json", "--raw", "-", "--listen", "0.0.0.0:8080", "--token", "s3cr3t-T0ken"}, "",
       [](TServeOptions& o) {
         o.Listen.Host = "0.0.0.0";
         o.Token = "s3cr3t-T0ken";
       }},
      {{"r.json", "--raw", "-", "--listen", "0.0.0.0:8080"},
       "listening on 0.0.0.0, not this machine's loopback, needs --token", nullptr},
      {{"r.json", "--raw", "-", "--listen", "127.0.0.1.example.com:80"},
       "listening on 127.0.0.1.example.com, not this machine's loopback, needs --token", nullptr},
      {{"r.json", "--raw", "-", "--listen", "8080"}, "option --listen needs HOST:PORT, not \"8080\"", nullptr},
      {{"r.json", "--raw", "-", "--listen", "h:65536"}, "option --listen needs HOST:PORT, not \"h:65536\"", nullptr},
      {{"r.json", "--raw", "-", "--listen", "h:-1"}, "option --listen needs HOST:PORT, not \"h:-1\"", nullptr},
      {{"r.json", "--raw", "-", "--token", "a b"},
       "a token is printable ASCII without blanks or any of ; , & = \" \\ % +", nullptr},
      {{"r.json", "--raw", "-", "--token", ""},
       "a token is printable ASCII without blanks or any of ; , & = \" \\ % +", nullptr},
      {{"r.json", "--raw", "-", "--background", "bg.png"},
       "--background applies to --y4m only (raw frames keep the alpha channel)", nullptr},
      {{"r.json", "--raw", "-", "--y4m", "-"}, "--raw and --y4m exclude each other", nullptr},
      {{"r.json"}, "serve needs --raw - or --y4m -", nullptr},
      {{"--raw", "-"}, "serve needs RUNDOWN.json", nullptr},
      {{"r.json", "s.json", "--raw", "-"}, "too many file names", nullptr},
      {{"r.json", "--raw", "-", "--frames", "3"}, "unknown option --frames for serve", nullptr},
  };
  TServeOptions defaults;
  defaults.Rundown = "r.json";
  defaults.Output = "-";
  Check(cases, ParseServeOptions, defaults);
}

// A command line each command accepts, to which one option at a time is added.
TArgs Minimal(TCommand c) {
  switch (c) {
    case TCommand::cmRender: return {"render", "p.QV", "-o", "o.png"};
    case TCommand::cmSequence: return {"sequence", "p.QV", "-o", "f%d.png", "--from", "0", "--to", "1"};
    case TCommand::cmResave: return {"resave", "a.QV", "b.QV"};
    case TCommand::cmInfo: return {"info", "p.QV"};
    case TCommand::cmItems: return {"items", "a.txt"};
    case TCommand::cmVideo: return {"video", "p.QV", "-o", "c.mov", "--from", "0", "--to", "1"};
    case TCommand::cmPlay: return {"play", "p.QV", "--raw", "-"};
    case TCommand::cmBatch: return {"t.QV", "d.csv", "-o", "o/{n}.png"};
    case TCommand::cmServe: return {"r.json", "--y4m", "-"};
  }
  return {};
}

// Every option against every command: where the table says it applies, the parser takes it (any
// refusal is about its value or its company, never its command); elsewhere it is refused by name.
TEST(OptionTable, EachOptionAppliesExactlyToItsCommands) {
  auto parse = [](TCommand c, const TArgs& args, std::string& error) {
    if (c == TCommand::cmBatch) return ParseBatchOptions(args, error).has_value();
    if (c == TCommand::cmServe) return ParseServeOptions(args, error).has_value();
    return ParseOptions(args, error).has_value();
  };
  for (const TCommandSpec& c : CommandTable()) {
    std::string error;
    EXPECT_TRUE(parse(c.Command, Minimal(c.Command), error)) << c.Name << ": " << error;
  }
  for (const TOptionSpec& row : OptionTable()) {
    const std::string name = row.Kind == TOptionKind::okSlots ? std::string(row.Name) + "2" : row.Name;
    for (const TCommandSpec& c : CommandTable()) {
      SCOPED_TRACE(name + " with " + c.Name);
      TArgs args = Minimal(c.Command);
      args.push_back(name);
      if (row.Kind != TOptionKind::okFlag) {
        const std::string n = row.Name;
        args.push_back(n == "--codec" ? "qtrle" : n == "--shard" ? "0/2" : n == "--time" ? "12:00:00" : "1");
      }
      std::string error;
      const bool parsed = parse(c.Command, args, error);
      const bool refused = !parsed && (error.find("does not apply") != std::string::npos ||
                                       error.find("unknown option") != std::string::npos);
      const bool applies = (row.Commands & CommandBit(c.Command)) != 0;
      EXPECT_EQ(refused, !applies) << error;
      if (!applies) {
        EXPECT_NE(error.find(name), std::string::npos) << error;
      }
    }
  }
}

TEST(OptionTable, NamesAreUniqueAndEveryOptionHasACommandAndAHelpLine) {
  std::set<std::string> names;
  for (const TOptionSpec& row : OptionTable()) {
    EXPECT_TRUE(names.insert(row.Name).second) << row.Name;
    if (row.Alias) {
      EXPECT_TRUE(names.insert(row.Alias).second) << row.Alias;
    }
    EXPECT_NE(row.Commands, 0u) << row.Name;
    EXPECT_NE(row.Target, nullptr) << row.Name;
    EXPECT_GT(std::string(row.Help).size(), 10u) << row.Name;
    EXPECT_EQ(row.Value == nullptr, row.Kind == TOptionKind::okFlag) << row.Name;
  }
  std::set<std::string> commands;
  for (const TCommandSpec& c : CommandTable()) EXPECT_TRUE(commands.insert(c.Name).second) << c.Name;
}

// The options a line of the usage names, as written there ("--frame", "-o", "--meta1..--meta4").
std::set<std::string> OptionWords(const std::string& line) {
  std::set<std::string> words;
  std::string word;
  std::istringstream in(line);
  while (in >> word) {
    const std::size_t start = word.find_first_not_of("([|");
    if (start == std::string::npos || word[start] != '-') continue;
    word = word.substr(start, word.find_first_of(")]|", start) - start);
    if (word.size() > 1) words.insert(word);  // "-" is standard output
  }
  return words;
}

// The synopsis of each command names exactly the options that apply to it, written as the table
// writes them; the help holds every command, option, help line and exit status.
TEST(OptionTable, UsageAndHelpComeFromTheTables) {
  const std::string usage = UsageText();
  const std::string help = HelpText();
  EXPECT_EQ(help.rfind(usage, 0), 0u) << "the help starts with the usage";
  for (const TCommandSpec& c : CommandTable()) {
    SCOPED_TRACE(c.Name);
    const std::string synopsis = CommandSynopsis(c);
    std::set<std::string> want;
    for (const TOptionSpec& row : OptionTable()) {
      if ((row.Commands & CommandBit(c.Command)) == 0) continue;
      const std::string title = OptionTitle(row);
      const std::string shown = title.substr(0, title.find(' '));
      // -o, --output FILE is shown as -o in the synopsis's operands.
      const std::set<std::string> words = OptionWords(synopsis);
      const bool named = words.count(shown) || (row.Alias && words.count(row.Alias)) || words.count(row.Name);
      EXPECT_TRUE(named) << row.Name << " missing from " << synopsis;
      want.insert(row.Name);
      if (row.Alias) want.insert(row.Alias);
      if (row.Kind == TOptionKind::okSlots) want.insert(shown);
    }
    for (const std::string& w : OptionWords(synopsis)) EXPECT_TRUE(want.count(w)) << w << " does not apply to " << c.Name;
    // The usage shows the synopsis, wrapped.
    std::string flat;
    std::istringstream lines(usage);
    for (std::string line; std::getline(lines, line);) {
      std::istringstream words(line);
      for (std::string w; words >> w;) flat += w + " ";
    }
    std::string words;
    std::istringstream in(synopsis);
    for (std::string w; in >> w;) words += w + " ";
    EXPECT_NE(flat.find("qvrender " + words), std::string::npos) << synopsis;
    EXPECT_NE(help.find(std::string(c.Help).substr(0, 30)), std::string::npos);
  }
  for (const TOptionSpec& row : OptionTable()) {
    EXPECT_NE(help.find("  " + OptionTitle(row) + " "), std::string::npos) << row.Name;
    // A help line wraps, so its first words are looked for.
    const std::string firstWords = std::string(row.Help).substr(0, 40);
    EXPECT_NE(help.find(firstWords.substr(0, firstWords.rfind(' '))), std::string::npos) << row.Name;
  }
  for (const TExitStatusSpec& e : ExitStatusTable()) {
    EXPECT_NE(help.find("\n  " + std::to_string(e.Status) + "  "), std::string::npos) << e.Status;
  }
  for (const std::string& line : {usage, help}) {
    std::istringstream in(line);
    for (std::string l; std::getline(in, l);) EXPECT_LE(l.size(), 100u) << l;
  }
}

}  // namespace
}  // namespace qv::render
