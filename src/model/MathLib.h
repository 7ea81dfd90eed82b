#pragma once
// Number helpers of the property model. The locale-independent number text and the
// half-to-even rounding live with the animation library (it sits below the model and needs them
// for key values); this header gathers them for model code.
#include "animation/NumberText.h"
