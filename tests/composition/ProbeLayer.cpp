#include "ProbeLayer.h"

namespace qv::test {
QV_PUBLISHED(TProbeLayer)
}
