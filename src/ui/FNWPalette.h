#pragma once

#include <QColor>

class QPalette;

// Colours our windows share beyond the palette's own.
class FNWPalette final
{
public:
    FNWPalette() = delete;

    // The red of warnings and error lines, readable on light and on dark windows.
    static QColor warningColor(const QPalette& palette);
};
