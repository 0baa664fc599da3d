#pragma once

// Loads the system's font configuration (fontconfig's settings and caches of installed fonts)
// on a thread of its own, so that the few milliseconds it takes pass while the application
// object connects to the display, instead of at the window's first text. Qt would load the same
// configuration at its first use of a font; once loaded it is shared, so Qt finds it ready.
//
// wait() returns once loading has ended (at once if it already has); call it before Qt first
// uses a font, so that the two never load it at the same time. The destructor waits too. A
// failure to load is not reported here: Qt meets it again at its own first use and reports it.

#include <thread>

class FontConfigurationLoader {
public:
    FontConfigurationLoader();
    ~FontConfigurationLoader();
    FontConfigurationLoader(const FontConfigurationLoader&) = delete;
    FontConfigurationLoader& operator=(const FontConfigurationLoader&) = delete;

    void wait();

private:
    std::thread thread_;
};
