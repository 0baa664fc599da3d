#include "app/font_configuration_loader.h"

#include <fontconfig/fontconfig.h>

FontConfigurationLoader::FontConfigurationLoader() : thread_([] { FcInit(); }) {}

FontConfigurationLoader::~FontConfigurationLoader() { wait(); }

void FontConfigurationLoader::wait() {
    if (thread_.joinable()) {
        thread_.join();
    }
}
