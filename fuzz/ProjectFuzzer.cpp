// Fuzz target: a whole project file read into an empty composition, as the editor opens one, with
// the Qt text renderer and rich-text engine installed (headless). Crawls render their files (on
// their workers) before the first frame, as qvrender has them do; what was read is drawn at two
// frames and saved; the saved text must read back into a composition without error.
#include "FuzzSupport.h"
#include "composition/QvSystem.h"
#include "composition/RollLayer.h"
#include "composition/TextRender.h"
#include "platform/Clock.h"
#include "platform/QtRichEdit.h"
#include "platform/QtTextRenderer.h"
#include "project/ProjectFile.h"
#include "project/TextFile.h"
#include "raster/StreamBitmaps.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string gInput;  // the project file each input is written to
std::unique_ptr<qv::TQtTextRenderer> gRenderer;
std::unique_ptr<qv::TQtRichEdit> gRichEdit;
qv::TManualTickSource gTicks;
qv::TFixedTimeOfDay gTime(qv::TTimeOfDay{12, 34, 56, 0});

// The media the seed projects name, beside the project: a picture, a two-frame sequence and the
// text and RTF files of crawls.
void MakeMedia(const fs::path& folder) {
  qv::TStreamedBitmap pic(6, 4);
  pic.Fill(0xC0FF8000u);
  pic.SaveToFile((folder / "a.png").string());
  fs::create_directories(folder / "seq");
  for (int i = 0; i < 2; ++i) {
    qv::TStreamedBitmap f(5, 3);
    f.Fill(i == 0 ? 0xFF0000FFu : 0x8000FF00u);
    f.SaveToFile((folder / "seq" / ("f" + std::to_string(i) + ".png")).string());
  }
  std::ofstream((folder / "crawl.txt").string(), std::ios::binary) << "first item\r\nsecond item\r\n";
  std::ofstream((folder / "crawl.rtf").string(), std::ios::binary)
      << "{\\rtf1\\ansi{\\fonttbl{\\f0 Tahoma;}}{\\colortbl;\\red255\\green0\\blue0;}\\f0\\fs24 One \\cf1\\b red\\par "
         "Two\\par}";
}

// Renderer none: a composition that only reads and writes the file.
std::unique_ptr<qv::TQVSystem> NewComposition(const qv::TTextRenderer* Renderer) {
  auto sys = qv::Make<qv::TQVSystem>(
      768, 576,
      qv::TCompositionContext{.TextRenderer = Renderer, .RichEdit = gRichEdit.get(), .Ticks = &gTicks, .TimeOfDay = &gTime},
      true);
  sys->OnMediaProblem = [](const std::string&) {};
  return sys;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const fs::path folder = qv::fuzz::ScratchFolder();
  MakeMedia(folder);
  gInput = (folder / "input.QV").string();
  gRenderer = std::make_unique<qv::TQtTextRenderer>();
  gRichEdit = std::make_unique<qv::TQtRichEdit>();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    std::ofstream f(gInput, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  auto sys = NewComposition(gRenderer.get());
  try {
    sys->LoadFromFile(gInput);
  } catch (const qv::EProjectError&) {
    // a damaged file: what was read before the damaged line stays
  }
  for (const auto& layer : sys->Layers) {
    if (auto* roll = dynamic_cast<qv::TRollLayer*>(layer.get())) roll->PrepareStrips();
  }
  for (int frame : {0, 37}) {
    sys->frame = frame;
    sys->DrawAll(nullptr);
    gTicks.Advance(40);
  }

  // What we write, we read.
  qv::TProjectTextWriter writer;
  sys->SaveToStream("\t", writer);
  for (const auto& layer : sys->Layers) layer->SaveToStream("\t", writer);
  // Read back without the text renderer: the text was rendered once already, this is about the
  // file.
  auto again = NewComposition(nullptr);
  try {
    qv::ParseProjectLines(qv::DecodeTextLines(writer.Text()), "saved", *again, nullptr);
  } catch (const qv::EProjectError& e) {
    qv::fuzz::Fail(std::string("the saved project does not read back: ") + e.what());
  }
  if (again->Layers.size() != sys->Layers.size()) {
    qv::fuzz::Fail("the saved project reads back with " + std::to_string(again->Layers.size()) + " layers instead of " +
                   std::to_string(sys->Layers.size()));
  }
  return 0;
}

// fontconfig (under Qt's font database) and OpenImageIO's PNG reader keep or lose memory of
// their own; their frames only show with the full unwinder.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:OpenImageIO_v2_4::PNGInput::PngReadCallback\n"
         "leak:OpenImageIO_v2_4::ImageInput::geterror\n";
}
