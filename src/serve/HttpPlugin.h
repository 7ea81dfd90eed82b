#pragma once
// The HTTP server as a plug-in (qv_http_plugin.so, base/Plugin.h): cpp-httplib and the libraries
// behind it (OpenSSL, zlib, brotli) are loaded by qvrender serve alone, not by every run of
// qvrender. The server only moves bytes: each request goes to Handle, and an answer marked as an
// event stream is kept open, sending what a feed gives. Limits: bodies of at most kMaxBody, a pool
// of threads (many clients wait rather than take the machine), at most kMaxEventStreams streams.
// The table holds C++ objects, so the plug-in and the program come from the same build (the ABI
// number guards against another).
#include "serve/HttpMessage.h"

#include <chrono>
#include <functional>
#include <string>

namespace qv::serve {

constexpr int kMaxEventStreams = 16;

struct THttpHandlers {
  std::function<THttpResponse(const THttpRequest&)> Handle;
  // A new event stream's feed: each call gives the next text to send, waiting at most the time
  // given; empty ends the stream.
  std::function<std::function<std::string(std::chrono::milliseconds)>()> NewFeed;
};

class THttpService {
 public:
  virtual ~THttpService() = default;
  // Binds Host:Port (Port 0: a free port); throws std::runtime_error when it cannot. Answers the
  // port bound.
  virtual int Bind(const std::string& Host, int Port) = 0;
  // Serves on threads of its own until Stop (the event streams must have ended by then, or end
  // within their wait).
  virtual void Start() = 0;
  virtual void Stop() = 0;
};

struct TQvHttpPlugin {
  int abi;  // QV_HTTP_ABI
  // The caller owns what it returns.
  THttpService* (*MakeServer)(THttpHandlers Handlers);
};

// The plug-in's table (found next to the executable, in ../lib/qv beside it, or where the build
// put it); throws std::runtime_error when there is none.
const TQvHttpPlugin& HttpPlugin();

}  // namespace qv::serve

#define QV_HTTP_ABI 1
#define QV_HTTP_ENTRY "qv_http_plugin"
