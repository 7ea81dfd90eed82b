#pragma once
// The API on a socket: cpp-httplib's server moves requests to TApi and its answers back, and
// keeps an event stream open per GET /api/events. Limits: bodies of at most kMaxBody, a pool of
// threads (so many clients wait rather than take the machine), at most kMaxEventStreams streams.
#include "serve/Api.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace qv::serve {

constexpr int kMaxEventStreams = 16;

class THttpServer {
 public:
  THttpServer(TApi& Api, TOnAir& OnAir);
  ~THttpServer();  // stops
  THttpServer(const THttpServer&) = delete;
  THttpServer& operator=(const THttpServer&) = delete;

  // Binds Host:Port (Port 0: a free port); throws std::runtime_error when it cannot. Answers the
  // port bound.
  int Bind(const std::string& Host, int Port);
  // Serves on threads of its own until Stop.
  void Start();
  void Stop();

 private:
  TApi& fApi;
  TOnAir& fOnAir;
  std::unique_ptr<httplib::Server> fServer;
  std::thread fListener;
  std::atomic<int> fStreams{0};
};

}  // namespace qv::serve
