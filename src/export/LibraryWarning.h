#pragma once

#include "image/PGTypes.h"

#include <optional>
#include <string>
#include <string_view>

// Reports a compression library's warning as the image's ReadWarningAction asks: nothing, a
// message box through the installed warning prompt (caption e.g. "PNG Warning"), or an error.
// `format` is the writer's short name ("JPG", "PNG"). Returns the message of the error that
// must stop writing, or nothing when writing goes on.
std::optional<std::string> LibraryWarningError(TPGWarningAction action, std::string_view format,
                                               const std::string& message);
