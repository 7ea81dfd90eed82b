#include "app/qvrender/Manual.h"

#include "app/qvrender/Options.h"

#ifndef QV_VERSION
#define QV_VERSION ""
#endif

namespace qv::render {

manual::TManual QvrenderManual() {
  manual::TManual m;
  m.Name = "qvrender";
  m.Summary = "compose QV broadcast graphics pages without a window";
  m.Source = std::string("QV ") + QV_VERSION;
  for (const TCommandSpec& c : CommandTable()) m.Synopsis.push_back(CommandSynopsis(c));
  m.Synopsis.push_back("--help");

  m.Sections.push_back(
      {"Description",
       {"qvrender composes the pages of qveditor(1) (.QV project files: still images, image sequences, text, "
        "clocks and crawls on a 768 x 576 page unless the project says otherwise) with the same engine as the "
        "editor, and writes them as pictures, numbered pictures, video clips or a live stream, or one page per row "
        "of a table.",
        "A frame is the page as it stands that many frames after it starts, at 25 frames per second: render "
        "--frame 300 shows a crawl as far along as frame 300 of sequence --from 0. --time sets the time of day at "
        "frame 0 (each frame is 40 ms later), so that clocks come out the same on every run.",
        "A .png has straight alpha; a .tga holds the work image's own premultiplied bytes. Each picture is written "
        "to a new file and renamed over the old one, so a full or read-only disk never leaves a cut picture. Media "
        "that cannot be loaded give a warning on standard error and leave their layer empty. Media paths stored in "
        "a project are also looked for beside the project."},
       {}});

  manual::TManualSection commands{"Commands", {}, {}};
  for (const TCommandSpec& c : CommandTable()) commands.Entries.push_back({c.Name, c.Help});
  m.Sections.push_back(commands);

  manual::TManualSection options{"Options", {"An option's value is the next argument or follows an equals sign "
                                             "(--frame=30). Each option applies to the commands named after it."},
                                 {}};
  for (const TOptionSpec& o : OptionTable()) {
    options.Entries.push_back({OptionTitle(o), std::string(o.Help) + " (" + CommandNames(o.Commands) + ")"});
  }
  m.Sections.push_back(options);

  manual::TManualSection status{"Exit status", {}, {}};
  for (const TExitStatusSpec& e : ExitStatusTable()) status.Entries.push_back({std::to_string(e.Status), e.Meaning});
  m.Sections.push_back(status);

  m.Sections.push_back(
      {"Environment",
       {},
       {{"QT_QPA_PLATFORM", "Qt's platform for the text layers; offscreen unless set (no display is needed)."},
        {"QV_SEQUENCE_MEMORY_MB",
         "the memory an image sequence may hold decoded (default 1024); larger sequences are decoded ahead on a "
         "worker thread."}}});
  m.Sections.push_back(
      {"Files",
       {},
       {{"../lib/qv/ beside the program (/usr/lib/qv)",
         "the plug-ins opened on first need: qv_oiio_plugin.so reads and writes the image formats beyond PNG, JPEG, "
         "GIF, TGA and BMP through OpenImageIO; qv_resize_plugin.so scales pictures through OpenCV."},
        {"/usr/share/qv/examples", "the example page news/news.QV, its media, and a batch table and Slurm script."}}});
  m.Sections.push_back(
      {"Examples",
       {"qvrender render news.QV -o news.png --frame 200 --time 18:00:00",
        "qvrender sequence news.QV -o frames/news_%05d.png --from 0 --to 249 --checkerboard",
        "qvrender video news.QV -o news.mov --from 0 --to 249",
        "qvrender batch news.QV names.csv -o 'out/{name}.png' --frame 30 --jobs 2",
        "sbatch --array=0-7 /usr/share/qv/examples/batch/render-array.sh news.QV names.csv 'out/{name}.png' "
        "--frame 30"},
       {}});
  m.Sections.push_back({"See also", {"qveditor(1)"}, {}});
  return m;
}

}  // namespace qv::render
