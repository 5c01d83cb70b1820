#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

class QPainter;
class QRect;

// Our artwork is monochrome SVG in the resources; it is tinted when drawn, so it follows the
// palette (light or dark) and stays crisp at any device pixel ratio.
class FNWArtwork final
{
public:
    FNWArtwork() = delete;

    // ":/fenwave/ui/<name>.svg"
    static QString resourcePath(const QString& name);
    static bool exists(const QString& name);

    // The artwork filled with one colour, rendered at size * devicePixelRatio pixels.
    static QPixmap pixmap(const QString& name, const QSize& size, const QColor& color, qreal devicePixelRatio);
    // Draws the artwork into rect, at the painter's device resolution.
    static void paint(QPainter* painter, const QRect& rect, const QString& name, const QColor& color);

    // An icon drawn with the application palette at paint time: button text, the highlight when
    // checked, the disabled text colour when disabled.
    static QIcon icon(const QString& name);
};
