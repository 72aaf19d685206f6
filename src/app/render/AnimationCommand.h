#pragma once

#include <iosfwd>
#include <string>
#include <vector>

struct TRenderOptions;
class TProcessGroup;

// quarn-render --frames: renders the animation the options ask for into numbered pictures,
// skipping those a run before finished, or into a video. `args` is the command line, whose
// options that decide the frames are recorded beside them. The numbered pictures are shared
// among the processes of `group`, frame by frame; rank 0 keeps the record and reports. Returns
// the exit code: 0 done, 3 done with frames whose set failed (shown as the background and
// listed on err), 1 failed.
int RunAnimationCommand(const TRenderOptions& options, const std::vector<std::string>& args,
                        std::ostream& out, std::ostream& err, TProcessGroup& group);
