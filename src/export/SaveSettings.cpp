#include "export/SaveSettings.h"

namespace {

thread_local const TPGSaveSettings* CurrentSettings = nullptr;

} // namespace

const TPGWriterOptions& WriterOptionsInForce() {
    return CurrentSettings ? CurrentSettings->Writer : WriterOptions();
}

TSaveSettingsScope::TSaveSettingsScope(const TPGSaveSettings& settings)
    : FPrevious(CurrentSettings) {
    CurrentSettings = &settings;
}

TSaveSettingsScope::~TSaveSettingsScope() {
    CurrentSettings = FPrevious;
}

const TPGSaveSettings* TSaveSettingsScope::Current() {
    return CurrentSettings;
}
