// Starts Qt as qvrender does before it reads a project, and nothing else: the peer of qvrender's
// start-up in bench/startup.sh.
#include "platform/QtTextRenderer.h"

int main() {
  qv::TQtTextRenderer fonts;  // makes the application and supplies the faces
  return 0;
}
