#pragma once

class FNWMainWindow;

// Pictures of the windows for scripts/screenshot.sh. With FENWAVE_SCREENSHOT=<dir>/<name>.png
// set, once the main window is on screen this saves <name>.png (home tab), <name>-mytests.png,
// <name>-history.png and <name>-preferences.png, then closes the windows so the application quits.
// The start/stop control is switched on for the pictures. FENWAVE_SCREENSHOT_PALETTE=dark takes
// them with a dark palette.
class FNWScreenshot final
{
public:
    FNWScreenshot() = delete;

    static constexpr char kEnvironmentVariable[] = "FENWAVE_SCREENSHOT";
    static constexpr char kPaletteVariable[] = "FENWAVE_SCREENSHOT_PALETTE";
    // False when the variable is not set: the application runs as usual.
    static bool startIfRequested(FNWMainWindow* window);
};
