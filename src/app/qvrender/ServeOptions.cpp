#include "app/qvrender/ServeOptions.h"

#include <charconv>

namespace qv::render {

bool IsLoopbackHost(const std::string& host) {
  if (host == "localhost" || host == "::1" || host == "[::1]") return true;
  if (host.rfind("127.", 0) != 0) return false;
  int dots = 0;
  for (char c : host) {
    if (c == '.') {
      ++dots;
    } else if (c < '0' || c > '9') {
      return false;
    }
  }
  return dots == 3;
}

namespace {

// "HOST:PORT", "[::1]:PORT" or ":PORT" (the loopback address).
bool ParseListen(const std::string& text, std::string& host, int& port) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  host = text.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  if (host.empty()) host = "127.0.0.1";
  const std::string p = text.substr(colon + 1);
  const auto r = std::from_chars(p.data(), p.data() + p.size(), port);
  return !p.empty() && r.ec == std::errc() && r.ptr == p.data() + p.size() && port >= 0 && port <= 65535;
}

}  // namespace

std::optional<TServeOptions> ParseServeOptions(const std::vector<std::string>& args, std::string& error) {
  TServeOptions o;
  std::vector<std::string> positional;
  bool haveStream = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    TOptionArg arg(args, i, error);
    const std::string a = arg.Name();
    if (a == "--raw" || a == "--y4m") {
      if (haveStream) {
        error = "--raw and --y4m exclude each other";
        return std::nullopt;
      }
      if (!arg.Value(o.Output)) return std::nullopt;
      o.Stream = a == "--raw" ? TStreamFormat::sfRaw : TStreamFormat::sfY4m;
      haveStream = true;
    } else if (a == "--listen") {
      std::string s;
      if (!arg.Value(s)) return std::nullopt;
      if (!ParseListen(s, o.Host, o.Port)) {
        error = "option --listen needs HOST:PORT, not \"" + s + "\"";
        return std::nullopt;
      }
    } else if (a == "--token") {
      if (!arg.Value(o.Token)) return std::nullopt;
      if (o.Token.empty()) {
        error = "option --token needs a token";
        return std::nullopt;
      }
      for (char c : o.Token) {
        // It travels in a header, a cookie and a query: printable and without separators.
        if (c <= ' ' || c > '~' || c == ';' || c == ',' || c == '&' || c == '=' || c == '"' || c == '\\') {
          error = "a token is printable ASCII without blanks, ';', ',', '&', '=', '\"' or '\\'";
          return std::nullopt;
        }
      }
    } else if (a == "--background") {
      if (!arg.Value(o.Background)) return std::nullopt;
    } else if (a == "--time") {
      std::string s;
      if (!arg.Value(s)) return std::nullopt;
      o.Time = ParseTimeOfDay(s);
      if (!o.Time) {
        error = "option --time needs HH:MM:SS.mmm, not \"" + s + "\"";
        return std::nullopt;
      }
    } else if (a.size() > 1 && a[0] == '-') {
      error = "unknown option " + a + " for serve";
      return std::nullopt;
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() != 1) {
    error = positional.empty() ? "serve needs RUNDOWN.json" : "too many file names";
    return std::nullopt;
  }
  o.Rundown = positional[0];
  if (!haveStream || o.Output.empty()) {
    error = "serve needs --raw - or --y4m -";
    return std::nullopt;
  }
  if (!o.Background.empty() && o.Stream != TStreamFormat::sfY4m) {
    error = "--background applies to --y4m only (raw frames keep the alpha channel)";
    return std::nullopt;
  }
  if (!IsLoopbackHost(o.Host) && o.Token.empty()) {
    error = "listening on " + o.Host + " (not this machine alone) needs --token";
    return std::nullopt;
  }
  return o;
}

}  // namespace qv::render
