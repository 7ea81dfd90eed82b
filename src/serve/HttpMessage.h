#pragma once
// An HTTP request and its answer as plain data: what the request handler (serve/Api.h) takes and
// gives, and what the HTTP server plug-in (serve/HttpPlugin.h) moves to and from the socket.
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv::serve {

// The largest request body taken (1 MiB); a longer one is refused whole.
constexpr std::size_t kMaxBody = std::size_t(1) << 20;

struct THttpRequest {
  std::string Method;
  std::string Path;   // without the query, as sent (percent-encoded)
  std::string Query;  // what follows "?", as sent
  std::vector<std::pair<std::string, std::string>> Headers;
  std::string Body;
  // The first header of that name (letter case aside), or empty.
  std::string Header(std::string_view Name) const;
};

struct THttpResponse {
  int Status = 200;
  std::string ContentType;
  std::string Body;
  std::vector<std::pair<std::string, std::string>> Headers;
  bool EventStream = false;  // GET /api/events: the server goes on with an event feed
};

}  // namespace qv::serve
