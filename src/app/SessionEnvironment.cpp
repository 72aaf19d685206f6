#include "app/SessionEnvironment.h"

#include <cstdlib>
#include <string>
#include <system_error>

namespace {
bool Unset(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr || *value == '\0';
}
} // namespace

TSessionEnvironment::TSessionEnvironment() {
    // The bus library takes "disabled:" as a bus that refuses every connection.
    if (Unset("DBUS_SESSION_BUS_ADDRESS"))
        setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
    if (Unset("XDG_RUNTIME_DIR")) {
        std::error_code error;
        std::string folder =
            (std::filesystem::temp_directory_path(error) / "quarn-ifs-XXXXXX").string();
        // mkdtemp makes the folder private to the user, as the toolkit requires.
        if (!error && mkdtemp(folder.data()) != nullptr) {
            FRuntimeFolder = folder;
            setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
        }
    }
}

TSessionEnvironment::~TSessionEnvironment() {
    if (FRuntimeFolder.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(FRuntimeFolder, ignored);
    unsetenv("XDG_RUNTIME_DIR");
}
