// The plug-in's entry (serve/HttpPlugin.h): cpp-httplib's server moving requests to the handlers
// and their answers back, with an event stream kept open per answer that asks for one.
#include "serve/HttpPlugin.h"

#include <httplib.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>

namespace qv::serve {

namespace {

// How long an event stream waits for a change before it sends a line to keep the connection.
constexpr std::chrono::seconds kKeepAlive{15};

constexpr const char* kJson = "application/json; charset=utf-8";

THttpRequest FromHttplib(const httplib::Request& req) {
  THttpRequest r;
  r.Method = req.method;
  const std::size_t q = req.target.find('?');
  r.Path = req.target.substr(0, q);
  if (q != std::string::npos) r.Query = req.target.substr(q + 1);
  for (const auto& [name, value] : req.headers) r.Headers.emplace_back(name, value);
  r.Body = req.body;
  return r;
}

void Answer(const THttpResponse& r, httplib::Response& res) {
  res.status = r.Status;
  for (const auto& [name, value] : r.Headers) res.set_header(name, value);
  res.set_content(r.Body, r.ContentType);
}

class TServer final : public THttpService {
 public:
  explicit TServer(THttpHandlers handlers) : fHandlers(std::move(handlers)) {
    httplib::Server& s = fServer;
    s.new_task_queue = [] { return new httplib::ThreadPool(32); };
    s.set_payload_max_length(kMaxBody);
    s.set_read_timeout(5);
    s.set_write_timeout(5);
    s.set_keep_alive_max_count(1000);
    s.set_keep_alive_timeout(5);
    s.set_tcp_nodelay(true);

    auto handle = [this](const httplib::Request& req, httplib::Response& res) {
      const THttpResponse r = fHandlers.Handle(FromHttplib(req));
      if (!r.EventStream) {
        Answer(r, res);
        return;
      }
      if (++fStreams > kMaxEventStreams) {
        --fStreams;
        Answer({503, kJson, R"({"error":"too many event streams are open"})", {}, false}, res);
        return;
      }
      for (const auto& [name, value] : r.Headers) res.set_header(name, value);
      auto feed = std::make_shared<std::function<std::string(std::chrono::milliseconds)>>(fHandlers.NewFeed());
      res.set_chunked_content_provider(
          "text/event-stream",
          [feed](std::size_t, httplib::DataSink& sink) {
            const std::string text = (*feed)(kKeepAlive);
            if (text.empty()) {
              sink.done();
              return true;
            }
            return sink.write(text.data(), text.size());
          },
          [this](bool) { --fStreams; });
    };
    s.Get(".*", handle);
    s.Options(".*", handle);
    s.Delete(".*", httplib::Server::Handler(handle));
    s.Post(".*", httplib::Server::Handler(handle));
    s.Put(".*", httplib::Server::Handler(handle));
    s.Patch(".*", httplib::Server::Handler(handle));
    // What the library refuses itself (a body over the limit, a request it cannot read) gets a
    // message too.
    s.set_error_handler([](const httplib::Request&, httplib::Response& res) {
      if (!res.body.empty()) return;
      const char* message = res.status == 413 ? "a request body is at most 1 MiB"
                                              : "the request could not be read (a POST states its Content-Length, 0 too)";
      res.set_content(std::string(R"({"error":")") + message + "\"}", kJson);
    });
    s.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
      res.status = 500;
      res.set_content(R"({"error":"the request failed"})", kJson);
    });
  }

  ~TServer() override { Stop(); }

  int Bind(const std::string& host, int port) override {
    if (port == 0) {
      const int bound = fServer.bind_to_any_port(host);
      if (bound < 0) throw std::runtime_error("cannot listen on " + host);
      return bound;
    }
    if (!fServer.bind_to_port(host, port))
      throw std::runtime_error("cannot listen on " + host + ":" + std::to_string(port));
    return port;
  }

  void Start() override {
    fListener = std::thread([this] { fServer.listen_after_bind(); });
  }

  void Stop() override {
    if (fListener.joinable()) {
      fServer.stop();
      fListener.join();
    }
  }

 private:
  THttpHandlers fHandlers;
  httplib::Server fServer;
  std::thread fListener;
  std::atomic<int> fStreams{0};
};

THttpService* MakeServer(THttpHandlers handlers) { return new TServer(std::move(handlers)); }

const TQvHttpPlugin kPlugin = {QV_HTTP_ABI, MakeServer};

}  // namespace
}  // namespace qv::serve

extern "C" __attribute__((visibility("default"))) const void* qv_http_plugin(void) { return &qv::serve::kPlugin; }
