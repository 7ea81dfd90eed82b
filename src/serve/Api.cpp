#include "serve/Api.h"

#include "serve/WebAssets.h"

#include <algorithm>
#include <cctype>

namespace qv::serve {

namespace {

constexpr const char* kJson = "application/json; charset=utf-8";

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// Compares in a time that does not depend on where the texts differ.
bool SameSecret(std::string_view given, std::string_view secret) {
  if (secret.empty()) return false;
  unsigned diff = given.size() == secret.size() ? 0u : 1u;
  for (std::size_t i = 0; i < given.size(); ++i)
    diff |= static_cast<unsigned char>(given[i]) ^ static_cast<unsigned char>(secret[i % secret.size()]);
  return diff == 0;
}

THttpResponse Json(int status, const TJson& body) {
  THttpResponse r;
  r.Status = status;
  r.ContentType = kJson;
  // Invalid UTF-8 a client sent comes back replaced rather than failing the answer.
  r.Body = body.dump(-1, ' ', false, TJson::error_handler_t::replace);
  return r;
}

THttpResponse Error(int status, const std::string& message) { return Json(status, TJson{{"error", message}}); }

THttpResponse FromResult(const TResult& r) { return Json(r.Status, r.Body); }

THttpResponse Picture(const std::shared_ptr<const std::string>& png, const char* missing) {
  if (!png) return Error(404, missing);
  THttpResponse r;
  r.ContentType = "image/png";
  r.Body = *png;
  return r;
}

// The value of cookie Name in a Cookie header.
std::string CookieValue(std::string_view header, std::string_view name) {
  std::size_t at = 0;
  while (at < header.size()) {
    const std::size_t end = std::min(header.find(';', at), header.size());
    std::string_view pair = header.substr(at, end - at);
    while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
    const std::size_t eq = pair.find('=');
    if (eq != std::string_view::npos && pair.substr(0, eq) == name) return std::string(pair.substr(eq + 1));
    at = end + 1;
  }
  return {};
}

// Whether Host (from the Host header) names this machine's loopback interface.
bool LoopbackHost(std::string_view host) {
  std::string_view name = host;
  if (!name.empty() && name.front() == '[') {
    const std::size_t close = name.find(']');
    if (close == std::string_view::npos) return false;
    name = name.substr(1, close - 1);
    return name == "::1";
  }
  name = name.substr(0, name.find(':'));
  if (SameText(name, "localhost")) return true;
  // 127.0.0.0/8 in dotted form.
  if (name.substr(0, 4) != "127.") return false;
  int dots = 0;
  for (char c : name) {
    if (c == '.') {
      ++dots;
    } else if (!std::isdigit(static_cast<unsigned char>(c))) {
      return false;
    }
  }
  return dots == 3;
}

// The body as a JSON value: an empty body is an empty object when EmptyIsObject, else refused.
std::optional<TJson> BodyJson(const THttpRequest& r, bool emptyIsObject, THttpResponse& error) {
  const std::string type = r.Header("Content-Type");
  if (r.Body.empty()) {
    if (emptyIsObject) return TJson::object();
    error = Error(400, "the request needs a JSON body");
    return std::nullopt;
  }
  const std::string mime = type.substr(0, type.find(';'));
  if (!SameText(mime, "application/json")) {
    error = Error(415, "the body is sent as application/json");
    return std::nullopt;
  }
  try {
    return TJson::parse(r.Body);
  } catch (const TJson::parse_error& e) {
    error = Error(400, std::string("the body is not JSON: ") + e.what());
    return std::nullopt;
  }
}

}  // namespace

std::string THttpRequest::Header(std::string_view name) const {
  for (const auto& [n, v] : Headers) {
    if (SameText(n, name)) return v;
  }
  return {};
}

std::string PercentDecode(std::string_view text, bool plusIsSpace) {
  auto hex = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
      out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
      i += 2;
    } else if (c == '+' && plusIsSpace) {
      out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<std::string> QueryValue(std::string_view query, std::string_view name) {
  std::size_t at = 0;
  while (at <= query.size()) {
    const std::size_t end = std::min(query.find('&', at), query.size());
    const std::string_view pair = query.substr(at, end - at);
    const std::size_t eq = pair.find('=');
    if (PercentDecode(pair.substr(0, eq), true) == name)
      return eq == std::string_view::npos ? std::string() : PercentDecode(pair.substr(eq + 1), true);
    at = end + 1;
  }
  return std::nullopt;
}

TApi::TApi(TOnAir& onAir, std::string token, bool loopback)
    : fOnAir(onAir), fToken(std::move(token)), fLoopback(loopback) {}

bool TApi::Authorized(const THttpRequest& r, bool& fromQuery) const {
  fromQuery = false;
  if (fToken.empty()) return true;
  const std::string auth = r.Header("Authorization");
  if (auth.size() > 7 && SameText(std::string_view(auth).substr(0, 7), "Bearer ") && SameSecret(auth.substr(7), fToken))
    return true;
  if (SameSecret(CookieValue(r.Header("Cookie"), "qv_token"), fToken)) return true;
  if (const auto q = QueryValue(r.Query, "token"); q && SameSecret(*q, fToken)) {
    fromQuery = true;
    return true;
  }
  return false;
}

THttpResponse TApi::Handle(const THttpRequest& r) {
  bool fromQuery = false;
  if (!Authorized(r, fromQuery)) {
    THttpResponse e = Error(401, "this server needs its token (Authorization: Bearer TOKEN, or ?token=TOKEN)");
    e.Headers.emplace_back("WWW-Authenticate", "Bearer");
    return e;
  }
  if (fToken.empty() && fLoopback && !LoopbackHost(r.Header("Host")))
    return Error(403, "this server answers requests for 127.0.0.1 or localhost only");
  const bool changes = r.Method != "GET" && r.Method != "HEAD" && r.Method != "OPTIONS";
  if (changes) {
    // A page of another site may send a form here, but the browser names that site.
    const std::string origin = r.Header("Origin");
    if (!origin.empty() && origin != "http://" + r.Header("Host"))
      return Error(403, "requests from another site's page (" + origin + ") are refused");
  }
  if (r.Body.size() > kMaxBody) return Error(413, "a request body is at most 1 MiB");

  THttpResponse response;
  try {
    response = Route(r, PercentDecode(r.Path, false));
  } catch (const std::exception& e) {
    response = Error(500, e.what());
  }
  response.Headers.emplace_back("Cache-Control", "no-store");
  response.Headers.emplace_back("X-Content-Type-Options", "nosniff");
  if (fromQuery) {
    // The page that was opened with ?token=... sends it with every request from now on.
    response.Headers.emplace_back("Set-Cookie", "qv_token=" + fToken + "; Path=/; HttpOnly; SameSite=Strict");
  }
  return response;
}

THttpResponse TApi::Route(const THttpRequest& r, const std::string& path) {
  // HEAD is GET without the body (the library leaves the body out).
  const std::string m = r.Method == "HEAD" ? "GET" : r.Method;
  auto only = [&](std::initializer_list<const char*> methods) -> std::optional<THttpResponse> {
    for (const char* allowed : methods) {
      if (m == allowed) return std::nullopt;
    }
    std::string list;
    for (const char* allowed : methods) list += list.empty() ? allowed : std::string(", ") + allowed;
    THttpResponse e = Error(405, path + " takes " + list);
    e.Headers.emplace_back("Allow", list);
    return e;
  };
  THttpResponse bad;

  if (path.rfind("/api/", 0) != 0) {
    const TWebAsset* asset = FindWebAsset(path == "/" ? "/index.html" : path);
    if (asset == nullptr) return Error(404, "nothing at " + path);
    if (auto e = only({"GET"})) return *e;
    THttpResponse page;
    page.ContentType = asset->Type;
    page.Body.assign(asset->Bytes, asset->Size);
    page.Headers.emplace_back("Content-Security-Policy",
                              "default-src 'self'; img-src 'self' blob: data:; frame-ancestors 'none'");
    page.Headers.emplace_back("X-Frame-Options", "DENY");
    return page;
  }
  if (path == "/api/rundown") {
    if (auto e = only({"GET"})) return *e;
    return Json(200, fOnAir.Rundown());
  }
  if (path == "/api/rows") {
    if (auto e = only({"POST"})) return *e;
    auto body = BodyJson(r, false, bad);
    return body ? FromResult(fOnAir.AddRow(*body)) : bad;
  }
  if (path.rfind("/api/rows/", 0) == 0) {
    const std::string id = path.substr(10);
    if (auto e = only({"GET", "PATCH", "DELETE"})) return *e;
    if (const std::string p = IdProblem(id); !p.empty()) return Error(404, "no row \"" + id + "\" (" + p + ")");
    if (m == "GET") return FromResult(fOnAir.Row(id));
    if (m == "DELETE") return FromResult(fOnAir.DeleteRow(id));
    auto body = BodyJson(r, false, bad);
    return body ? FromResult(fOnAir.EditRow(id, *body)) : bad;
  }
  if (path == "/api/state") {
    if (auto e = only({"GET"})) return *e;
    return Json(200, fOnAir.State());
  }
  if (path == "/api/cue") {
    if (auto e = only({"POST"})) return *e;
    auto body = BodyJson(r, false, bad);
    if (!body) return bad;
    const auto row = body->is_object() ? body->find("row") : body->end();
    if (!body->is_object() || row == body->end() || !row->is_string() || body->size() != 1)
      return Error(400, "the body is {\"row\": ID}");
    return FromResult(fOnAir.Cue(row->get<std::string>()));
  }
  if (path == "/api/next" || path == "/api/take") {
    if (auto e = only({"POST"})) return *e;
    auto body = BodyJson(r, true, bad);
    if (!body) return bad;
    if (!body->is_object() || !body->empty()) return Error(400, path + " takes no members (an empty body or {})");
    return FromResult(path == "/api/next" ? fOnAir.Next() : fOnAir.Take());
  }
  if (path == "/api/takeout") {
    if (auto e = only({"POST"})) return *e;
    auto body = BodyJson(r, false, bad);
    if (!body) return bad;
    const auto layer = body->is_object() ? body->find("layer") : body->end();
    if (!body->is_object() || layer == body->end() || !layer->is_number_integer() || body->size() != 1)
      return Error(400, "the body is {\"layer\": N}");
    const std::int64_t n = layer->get<std::int64_t>();
    return FromResult(fOnAir.TakeOut(n < 1 || n > kMaxLayer ? 0 : static_cast<int>(n)));
  }
  if (path == "/api/preview.png") {
    if (auto e = only({"GET"})) return *e;
    return Picture(fOnAir.PreviewPng(), "no preview: nothing is cued, or it is still being cued");
  }
  if (path == "/api/program.png") {
    if (auto e = only({"GET"})) return *e;
    return Picture(fOnAir.ProgramPng(), "the program has no picture yet");
  }
  if (path == "/api/events") {
    if (auto e = only({"GET"})) return *e;
    THttpResponse stream;
    stream.ContentType = "text/event-stream";
    stream.EventStream = true;
    return stream;
  }
  return Error(404, "nothing at " + path);
}

std::string TEventFeed::Next(std::chrono::milliseconds wait) {
  if (fOnAir.Stopped()) return {};
  std::string out;
  if (fStarted) {
    const std::uint64_t now = fOnAir.WaitForChange(fSeen, wait);
    if (fOnAir.Stopped()) return {};
    if (now == fSeen) return ": still here\n\n";
    fSeen = now;
  } else {
    fSeen = fOnAir.Version();
    fStarted = true;
  }
  const TJson state = fOnAir.State();
  const std::uint64_t rundown = state["rundown"].get<std::uint64_t>();
  if (rundown != fRundown) {
    out += "event: rundown\ndata: " + fOnAir.Rundown().dump(-1, ' ', false, TJson::error_handler_t::replace) + "\n\n";
    fRundown = rundown;
  }
  out += "event: state\ndata: " + state.dump(-1, ' ', false, TJson::error_handler_t::replace) + "\n\n";
  return out;
}

}  // namespace qv::serve
