#include "app/render/ProcessGroup.h"
#include "app/render/RenderCommand.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::unique_ptr<TProcessGroup> group = JoinProcessGroup(argc, argv);
    const int code = RunRenderCommand(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                      std::cerr, *group);
    // A process that fails ends them all: the others would wait for it for ever. One that was
    // interrupted has saved its state; mpirun ends the others, which have had the signal too.
    constexpr int Interrupted = 128;
    if (code != 0 && code < Interrupted && group->Size() > 1)
        group->Abort(code);
    return code;
}
