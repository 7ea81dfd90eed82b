#include "app/qvrender/Options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

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

const char* UsageText() {
  return "usage:\n"
         "  qvrender render   PROJECT.QV -o OUT.(png|tga) [--frame N] [--checkerboard]\n"
         "                    [--time HH:MM:SS.mmm] [--meta1..--meta4 TEXT] [--next-meta1..--next-meta4 TEXT]\n"
         "  qvrender sequence PROJECT.QV (-o OUT_%05d.(png|tga) | --no-output) --from A --to B [--checkerboard] [--quiet]\n"
         "                    [--time HH:MM:SS.mmm] [--meta1..--meta4 TEXT] [--next-meta1..--next-meta4 TEXT]\n"
         "  qvrender video    PROJECT.QV -o OUT.(mov|mkv|mp4) --from A --to B [--codec prores4444|qtrle|ffv1|h264]\n"
         "                    [--background IMAGE] [--quiet] [--time ...] [--meta... TEXT]\n"
         "  qvrender play     PROJECT.QV (--raw - | --y4m -) [--background IMAGE] [--data FILE.json]\n"
         "                    [--frames N] [--time ...] [--meta... TEXT]\n"
         "  qvrender resave   IN.QV OUT.QV\n"
         "  qvrender info     PROJECT.QV [--frame N] [--time HH:MM:SS.mmm]\n"
         "                    [--meta1..--meta4 TEXT] [--next-meta1..--next-meta4 TEXT]\n"
         "  qvrender items    FILE.(txt|rtf)\n"
         "  qvrender serve    RUNDOWN.json (--raw - | --y4m -) [--listen 127.0.0.1:8080] [--token TOKEN]\n"
         "                    [--background IMAGE] [--time HH:MM:SS.mmm]\n"
         "  qvrender batch    TEMPLATE.QV DATA.csv -o 'OUT/{column}.(png|tga)' [--frame N | --from A --to B]\n"
         "                    [--jobs N] [--shard I/N] [--time HH:MM:SS.mmm]\n"
         "                    (one page per row; with --from/--to the output holds a frame field such as %05d)\n";
}

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

std::optional<TOptions> ParseOptions(const std::vector<std::string>& args, std::string& error) {
  if (args.empty()) {
    error = "no command given";
    return std::nullopt;
  }
  TOptions o;
  const std::string& cmd = args[0];
  if (cmd == "render") {
    o.Command = TCommand::cmRender;
  } else if (cmd == "sequence") {
    o.Command = TCommand::cmSequence;
  } else if (cmd == "resave") {
    o.Command = TCommand::cmResave;
  } else if (cmd == "info") {
    o.Command = TCommand::cmInfo;
  } else if (cmd == "items") {
    o.Command = TCommand::cmItems;
  } else if (cmd == "video") {
    o.Command = TCommand::cmVideo;
  } else if (cmd == "play") {
    o.Command = TCommand::cmPlay;
  } else {
    error = "unknown command \"" + cmd + "\"";
    return std::nullopt;
  }

  std::vector<std::string> positional;
  bool haveOutput = false;
  bool haveFrom = false;
  bool haveTo = false;
  const bool images = o.Command == TCommand::cmRender || o.Command == TCommand::cmSequence;
  const bool ranges = o.Command == TCommand::cmSequence || o.Command == TCommand::cmVideo;
  bool haveStream = false;
  const bool composes = o.Command != TCommand::cmResave && o.Command != TCommand::cmItems;

  for (std::size_t i = 1; i < args.size(); ++i) {
    TOptionArg arg(args, i, error);
    const std::string a = arg.Name();
    const bool inlineValue = arg.HasInlineValue();
    auto value = [&](std::string& v) { return arg.Value(v); };
    auto intValue = [&](int& v) { return arg.IntValue(v); };
    auto notHere = [&] {
      error = "option " + a + " does not apply to " + cmd;
      return std::nullopt;
    };

    auto flag = [&](bool& v) {
      if (inlineValue) {
        error = "option " + a + " takes no value";
        return false;
      }
      v = true;
      return true;
    };

    if (a == "-o" || a == "--output") {
      if (!images && o.Command != TCommand::cmVideo) return notHere();
      if (!value(o.Output)) return std::nullopt;
      haveOutput = true;
    } else if (a == "--frame") {
      if (o.Command != TCommand::cmRender && o.Command != TCommand::cmInfo) return notHere();
      if (!intValue(o.Frame)) return std::nullopt;
    } else if (a == "--from") {
      if (!ranges) return notHere();
      if (!intValue(o.From)) return std::nullopt;
      haveFrom = true;
    } else if (a == "--to") {
      if (!ranges) return notHere();
      if (!intValue(o.To)) return std::nullopt;
      haveTo = true;
    } else if (a == "--no-output") {
      if (o.Command != TCommand::cmSequence) return notHere();
      if (inlineValue) {
        error = "option --no-output takes no value";
        return std::nullopt;
      }
      o.NoOutput = true;
    } else if (a == "--quiet") {
      if (!ranges) return notHere();
      if (!flag(o.Quiet)) return std::nullopt;
    } else if (a == "--codec") {
      if (o.Command != TCommand::cmVideo) return notHere();
      std::string s;
      if (!value(s)) return std::nullopt;
      const auto codec = video::CodecFromName(s);
      if (!codec) {
        error = "unknown codec \"" + s + "\" (prores4444, qtrle, ffv1 or h264)";
        return std::nullopt;
      }
      o.Codec = *codec;
    } else if (a == "--background") {
      if (o.Command != TCommand::cmVideo && o.Command != TCommand::cmPlay) return notHere();
      if (!value(o.Background)) return std::nullopt;
    } else if (a == "--raw" || a == "--y4m") {
      if (o.Command != TCommand::cmPlay) return notHere();
      if (!value(o.Output)) return std::nullopt;
      if (haveStream) {
        error = "--raw and --y4m exclude each other";
        return std::nullopt;
      }
      haveStream = true;
      o.Stream = a == "--raw" ? TStreamFormat::sfRaw : TStreamFormat::sfY4m;
    } else if (a == "--data") {
      if (o.Command != TCommand::cmPlay) return notHere();
      if (!value(o.DataFile)) return std::nullopt;
    } else if (a == "--frames") {
      if (o.Command != TCommand::cmPlay) return notHere();
      int n = 0;
      if (!intValue(n)) return std::nullopt;
      if (n < 1) {
        error = "--frames needs a count of at least 1";
        return std::nullopt;
      }
      o.Frames = n;
    } else if (a == "--checkerboard") {
      if (!images) return notHere();
      if (inlineValue) {
        error = "option --checkerboard takes no value";
        return std::nullopt;
      }
      o.Checkerboard = true;
    } else if (a == "--time") {
      if (!composes) return notHere();
      std::string s;
      if (!value(s)) return std::nullopt;
      o.Time = ParseTimeOfDay(s);
      if (!o.Time) {
        error = "option --time needs HH:MM:SS.mmm, not \"" + s + "\"";
        return std::nullopt;
      }
    } else if (a.size() == 7 && a.rfind("--meta", 0) == 0 && a[6] >= '1' && a[6] <= '4') {
      if (!composes) return notHere();
      std::string s;
      if (!value(s)) return std::nullopt;
      o.Meta[static_cast<std::size_t>(a[6] - '1')] = s;
    } else if (a.size() == 12 && a.rfind("--next-meta", 0) == 0 && a[11] >= '1' && a[11] <= '4') {
      if (!composes) return notHere();
      std::string s;
      if (!value(s)) return std::nullopt;
      o.NextMeta[static_cast<std::size_t>(a[11] - '1')] = s;
    } else if (a.size() > 1 && a[0] == '-') {
      error = "unknown option " + a;
      return std::nullopt;
    } else {
      positional.push_back(args[i]);
    }
  }

  const std::size_t wantPositional = o.Command == TCommand::cmResave ? 2 : 1;
  if (positional.size() != wantPositional) {
    error = positional.size() < wantPositional ? "missing file name" : "too many file names";
    return std::nullopt;
  }
  o.Project = positional[0];
  if (o.Command == TCommand::cmResave) o.Output = positional[1];

  if (o.NoOutput) {
    if (haveOutput) {
      error = "--no-output and -o exclude each other";
      return std::nullopt;
    }
  } else if (images) {
    if (!haveOutput || o.Output.empty()) {
      error = "missing -o OUTPUT";
      return std::nullopt;
    }
    const auto format = FormatOf(o.Output);
    if (!format) {
      error = "the output must end in .png or .tga: " + o.Output;
      return std::nullopt;
    }
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
    if (!haveStream || o.Output.empty()) {
      error = "play needs --raw - or --y4m -";
      return std::nullopt;
    }
    if (!o.Background.empty() && o.Stream != TStreamFormat::sfY4m) {
      error = "--background applies to --y4m only (raw frames keep the alpha channel)";
      return std::nullopt;
    }
  }
  if (ranges) {
    if (!haveFrom || !haveTo) {
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

}  // namespace qv::render
