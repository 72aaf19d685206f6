#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// The whole quarn-render program: parses args (without the program name), renders, writes and
// reports. Returns the exit code: 0 done, 2 bad arguments (usage line on err), 1 the run or the
// writing failed (the library's message on err).
int RunRenderCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

class TProcessGroup;
// The same, as one of the processes of `group`: each renders its share of the orbits, and rank 0
// writes what the render gives.
int RunRenderCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     TProcessGroup& group);
