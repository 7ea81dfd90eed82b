#pragma once
// The HTTP face of the server as plain data: a request (method, path, query, headers, body) in,
// a response (status, type, body) out. It checks the token, the size and form of the body and
// the request's origin, routes to the model (serve/OnAir.h) and turns its answers into JSON;
// it never touches a page. The HTTP server plug-in (serve/HttpPlugin.h) only moves bytes.
//
//   GET    /                      the control page (and /app.js, /app.css)
//   GET    /api/rundown           the rows
//   POST   /api/rows              add a row                     {"id"?, "page", "layer", "fields"?, "index"?}
//   GET    /api/rows/ID           one row
//   PATCH  /api/rows/ID           change a row                  {"page"?, "layer"?, "fields"?: {name: text | null}}
//   DELETE /api/rows/ID           remove a row
//   POST   /api/cue               cue a row off air             {"row": ID}
//   POST   /api/next              cue the row after the cued one
//   POST   /api/take              the cued page on air at the next frame
//   POST   /api/takeout           take a layer's page off air   {"layer": N}
//   GET    /api/state             the cue and the layers on air
//   GET    /api/preview.png       the cued page's preview picture
//   GET    /api/program.png       a still of the program
//   GET    /api/events            server-sent events "rundown" and "state" on every change
#include "serve/HttpMessage.h"
#include "serve/OnAir.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv::serve {

// "%41b+c" -> "Ab c" (with PlusIsSpace); a bad escape is kept as it is.
std::string PercentDecode(std::string_view Text, bool PlusIsSpace);
// The value of Name in a query string ("a=1&b=2"), decoded; none when absent.
std::optional<std::string> QueryValue(std::string_view Query, std::string_view Name);

class TApi {
 public:
  // Token: what every request must carry (empty: none needed). Loopback: the server listens on
  // a loopback address, where a request without a token must name a loopback host (so that a web
  // page of another site cannot reach it through a name that resolves to 127.0.0.1).
  TApi(TOnAir& OnAir, std::string Token, bool Loopback);

  THttpResponse Handle(const THttpRequest& Request);

 private:
  bool Authorized(const THttpRequest& Request, bool& FromQuery) const;
  THttpResponse Route(const THttpRequest& Request, const std::string& Path);

  TOnAir& fOnAir;
  std::string fToken;
  bool fLoopback;
};

// What an event stream sends: first the rundown and the state, then, whenever something
// changed, the state (and the rundown when it changed), as "event: NAME\ndata: JSON\n\n".
class TEventFeed {
 public:
  explicit TEventFeed(const TOnAir& OnAir) : fOnAir(OnAir) {}
  // The next text to send, waiting at most Wait for a change (a comment line when nothing
  // changed, to keep the connection open); empty once the server stops.
  std::string Next(std::chrono::milliseconds Wait);

 private:
  const TOnAir& fOnAir;
  bool fStarted = false;
  std::uint64_t fSeen = 0;
  std::uint64_t fRundown = 0;
};

}  // namespace qv::serve
