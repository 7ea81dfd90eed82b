#include "app/qveditor/Manual.h"

#ifndef QV_VERSION
#define QV_VERSION ""
#endif

namespace qv::editor {

namespace {

const char* const kSynopsis[] = {"[PROJECT.QV]", "--play SECONDS PROJECT.QV", "--help"};

const manual::TManualEntry kArguments[] = {
    {"PROJECT.QV", "a project to open once the window shows, as File > Open Project opens one; Ctrl+S then saves it"},
    {"--play SECONDS", "open PROJECT.QV, play it in a loop for SECONDS, print the frames shown, due and dropped "
                       "(\"played: 1500 frames shown of 1500 due, 0 dropped\") and exit; for measuring playback"},
    {"-h, --help", "print this help and exit"},
    {"-platform NAME", "Qt's platform: xcb or wayland on a desktop, offscreen for a start without a display "
                       "(Qt's other options, such as -style and -geometry, apply too)"},
};

const manual::TManualEntry kExitStatuses[] = {
    {"0", "the window was closed (File > Exit), --play's time was up, or --help was printed"},
    {"2", "--play was given no number of seconds above 0"},
    {"SIGABRT (134 in a shell)", "Qt found no display or no platform plug-in, and says which on standard error"},
};

}  // namespace

manual::TManual QveditorManual() {
  manual::TManual m;
  m.Name = "qveditor";
  m.Summary = "edit QV broadcast graphics pages";
  m.Source = std::string("QV ") + QV_VERSION;
  m.Synopsis.assign(std::begin(kSynopsis), std::end(kSynopsis));
  m.Sections.push_back(
      {"Description",
       {"qveditor edits the on-screen graphics pages of a broadcast channel: a 768 x 576 page (or a larger one) "
        "that stacks still images, image sequences, text, a live time-of-day clock and a horizontal text crawl, "
        "saved as a .QV project file. Every visible quantity is a typed property edited in the property grid; "
        "numbers and strings can follow keyframe tracks at 25 frames per second.",
        "One window: the layer commands and the text-alignment bars at the top, the page at 1:1 over a "
        "checkerboard in the middle, the object list and the property grid on the right, the time ruler below. "
        "Click a layer to pick it, drag it or its handles; arrow keys nudge it; the Layer menu inserts pictures, "
        "image sequences, texts, crawls and clocks; File > Export writes a range of frames as pictures or a clip.",
        "Edit > Undo (Ctrl+Z) takes back the newest change, whatever made it: a grid edit, a drag, nudges of one "
        "layer in quick succession, an inserted or deleted layer, the z-order and alignment buttons, New Page, "
        "Open Project; Edit > Redo (Ctrl+Shift+Z or Ctrl+Y) makes it again. The title shows the file's name, with "
        "a * while there are unsaved changes; opening, a new page and closing then ask whether to save them. "
        "While changes are unsaved the page is also written to a recovery file now and then; after a crash the "
        "next start offers it.",
        "The Play menu plays the page over its Duration at 25 frames per second from a steady clock (Space plays and "
        "pauses, J, K and L play backwards, pause and play forwards, faster at each press up to 8x; comma and period "
        "step a frame, Home and End go to the ends, Shift+Space stops, Ctrl+L loops). The Keys menu, the toolbar and "
        "the context menus of grid rows and of the layer timeline under the ruler add, delete and find keys, clear a "
        "property's animation, set its out-of-range mode and ease it; Automatic Keying (Ctrl+Shift+A, a red frame "
        "round the page) keys every change at the current frame. Key commands and timeline drags are steps of the "
        "history too.",
        "qvrender(1) renders the same pages without a window."},
       {}});
  m.Sections.push_back({"Options", {}, {std::begin(kArguments), std::end(kArguments)}});
  m.Sections.push_back({"Exit status", {}, {std::begin(kExitStatuses), std::end(kExitStatuses)}});
  m.Sections.push_back(
      {"Files",
       {},
       {{"~/.cache/Tessaly/qveditor/grid.png",
         "the checkerboard under the page, written at the page's size when missing (beside the program instead, "
         "when it runs from its build folder)"},
        {"../lib/qv/ beside the program (/usr/lib/qv)",
         "the plug-ins for image formats beyond PNG, JPEG, GIF, TGA and BMP and for scaling pictures"},
        {"/usr/share/qv/examples/news/news.QV", "the example page"},
        {"~/.local/share/Tessaly/qveditor/recovery/",
         "recovery files of pages with unsaved changes (page-PID.qvrecovery), removed by a save or a clean exit; "
         "a damaged one is renamed to end in .damaged"},
        {"~/.config/Tessaly/qveditor.conf", "the eight recent files, the window's size and its panel splits"}}});
  m.Sections.push_back({"See also", {"qvrender(1)"}, {}});
  return m;
}

std::string QveditorHelp() {
  std::string text = "usage:\n";
  for (const char* line : kSynopsis) text += std::string("  qveditor ") + line + "\n";
  text += "\noptions:\n";
  for (const manual::TManualEntry& e : kArguments) text += "  " + e.Term + "\n" + manual::Filled("      ", e.Text, 6);
  text += "\nexit status:\n";
  for (const manual::TManualEntry& e : kExitStatuses) text += manual::Filled("  " + e.Term + "  ", e.Text, 5);
  return text;
}

}  // namespace qv::editor
