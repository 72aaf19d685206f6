#include "app/render/RenderCommand.h"

#include "app/render/RenderOptions.h"
#include "app/render/RenderOutput.h"
#include "app/render/RenderSaveScope.h"
#include "app/render/Renderer.h"

#include <algorithm>
#include <exception>
#include <ostream>

int RunRenderCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    // Asking for help is never an error, whatever else the line holds.
    if (std::find(args.begin(), args.end(), "--help") != args.end()) {
        out << RenderUsageLine() << "\n" << RenderHelpText();
        return 0;
    }
    TRenderOptions options;
    try {
        options = ParseRenderOptions(args);
    } catch (const ERenderUsage& error) {
        err << "quarn-render: " << error.what() << "\n" << RenderUsageLine() << "\n";
        return 2;
    }
    try {
        // Before the renderer: its picture takes the screen gamma when it is made.
        const TRenderSaveScope saveSettings(options, err);
        TRenderer renderer(options);
        const TRenderResult result = renderer.Run(options.Quiet ? nullptr : &err);
        if (!options.OutFile.empty())
            WriteRenderedImage(renderer.Image(), options.OutFile, options.Colors);
        if (!options.WriteParamsFile.empty())
            renderer.UsedParameters().Save(options.WriteParamsFile);
        if (options.Stats)
            out << RenderStatsJson(result) << "\n";
    } catch (const std::exception& error) {
        err << "quarn-render: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
