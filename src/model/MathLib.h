#pragma once
// Number helpers of the property model. The locale-independent number text and the
// half-to-even rounding live in the base library (everything above it, the animation library
// included, uses them); this header gathers them for model code.
#include "base/NumberText.h"
