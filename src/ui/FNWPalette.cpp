#include "ui/FNWPalette.h"

#include <QPalette>

QColor FNWPalette::warningColor(const QPalette& palette)
{
    const bool darkWindow = palette.color(QPalette::Window).lightness() < 128;
    return darkWindow ? QColor(0xFF, 0x6B, 0x68) : QColor(0xC4, 0x1E, 0x1E);
}
