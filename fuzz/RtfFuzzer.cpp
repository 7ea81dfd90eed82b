// Fuzz target: the RTF reader (ReadRtf), as a crawl reads an RTF file. It either refuses the input
// with ERtfError or gives paragraphs whose runs hold UTF-8 text without line breaks.
#include "FuzzSupport.h"
#include "crawlinput/RtfReader.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  (void)qv::LooksLikeRtf(bytes);
  qv::TRichDocument doc;
  try {
    doc = qv::ReadRtf(bytes);
  } catch (const qv::ERtfError&) {
    return 0;
  }
  for (const qv::TRichParagraph& p : doc.Paragraphs) {
    for (const qv::TRichRun& r : p.Runs) {
      if (r.Text.find_first_of("\r\n") != std::string::npos) qv::fuzz::Fail("a run holds a line break");
      if (!qv::fuzz::IsValidUtf8(r.Text)) qv::fuzz::Fail("a run's text is not UTF-8");
      if (!qv::fuzz::IsValidUtf8(r.Face)) qv::fuzz::Fail("a face name is not UTF-8");
    }
    (void)p.Text();
  }
  return 0;
}
