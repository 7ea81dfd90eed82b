// Starts Qt as qvrender does when a page has text, and nothing else: the peer of qvrender's
// start-up in bench/startup.sh.
#include "platform/QtTextRenderer.h"

int main() {
  qv::TQtTextRenderer fonts;  // makes the application and supplies the faces
  return 0;
}
