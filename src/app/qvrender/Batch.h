#pragma once
// qvrender batch: one page (or one range of frames) per row of a CSV table, from one template.
#include <string>
#include <vector>

namespace qv::render {

// Args are those after "batch". Answers the exit status: 0 when every row chosen was rendered, 1
// when some row failed (each is reported with its number) or the run could not start, 2 for a
// bad command line.
int RunBatch(const std::vector<std::string>& Args);

}  // namespace qv::render
