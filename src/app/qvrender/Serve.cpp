#include "app/qvrender/Serve.h"

#include "app/qvrender/OnDemandQt.h"
#include "app/qvrender/Playout.h"
#include "app/qvrender/Options.h"
#include "serve/Api.h"
#include "serve/HttpPlugin.h"
#include "serve/OnAir.h"
#include "serve/Program.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <iostream>

namespace qv::render {

int RunServe(const std::vector<std::string>& args, std::atomic<bool>& stop) {
  std::string error;
  const auto o = ParseServeOptions(args, error);
  if (!o) {
    std::cerr << "qvrender: " << error << "\n" << UsageText();
    return 2;
  }
  InstallStopSignals(stop);
  try {
    namespace fs = std::filesystem;
    serve::TRundown rundown = serve::ReadRundownFile(o->Rundown);
    const fs::path file = fs::absolute(o->Rundown);
    const serve::TFolderGuard guard(file.parent_path());

    // Qt's application is made here, on the main thread, before pages load on the worker.
    TOnDemandTextRenderer text;
    text.Start();
    serve::TOnAirSettings settings;
    settings.RundownFile = file;
    settings.Tools.Text = &text;
    settings.Tools.MakeRichEdit = [] { return std::make_unique<TOnDemandRichEdit>(); };
    settings.Tools.Time = o->Time;
    settings.Report = [](const std::string& message) { std::cerr << "qvrender: " << message << "\n"; };

    const serve::TOnAir::TShape shape = serve::TOnAir::ProgramShape(rundown, guard);
    serve::TProgram program(shape.Width, shape.Height);
    serve::TOnAir onAir(std::move(settings), std::move(rundown), program);
    serve::TApi api(onAir, o->Token, IsLoopbackHost(o->Listen.Host));
    serve::THttpHandlers handlers;
    handlers.Handle = [&api](const serve::THttpRequest& r) { return api.Handle(r); };
    handlers.NewFeed = [&onAir] {
      auto feed = std::make_shared<serve::TEventFeed>(onAir);
      return std::function<std::string(std::chrono::milliseconds)>([feed](std::chrono::milliseconds wait) { return feed->Next(wait); });
    };
    const std::unique_ptr<serve::THttpService> http(serve::HttpPlugin().MakeServer(std::move(handlers)));
    // The event streams end first, then the server stops (also when the playout fails).
    struct TStopper {
      serve::TOnAir& OnAir;
      serve::THttpService& Http;
      ~TStopper() {
        OnAir.Stop();
        Http.Stop();
      }
    } stopper{onAir, *http};
    const int port = http->Bind(o->Listen.Host, o->Listen.Port);
    const std::string& name = o->Listen.Host;
    const std::string host = name.find(':') != std::string::npos ? "[" + name + "]" : name;
    std::cerr << "qvrender: serving " << o->Rundown << " on http://" << host << ":" << port << "/" << std::endl;
    http->Start();

    const TPlayoutTarget target{o->Output, o->Stream, o->Background, std::nullopt};
    const int status = RunPlayout(
        target, shape.Width, shape.Height, shape.Interlaced, [&](std::int64_t n) -> const TmemoryBitmap& { return program.Frame(n); }, stop,
        [&](std::int64_t dropped) { onAir.SetDropped(dropped); });
    return status;
  } catch (const std::exception& e) {
    std::cerr << "qvrender: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace qv::render
