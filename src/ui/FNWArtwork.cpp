#include "ui/FNWArtwork.h"

#include <QFile>
#include <QGuiApplication>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QPixmapCache>
#include <QSvgRenderer>

#include <cmath>

namespace {

QImage renderTinted(const QString& name, const QSize& pixelSize, const QColor& color)
{
    QImage image(pixelSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(FNWArtwork::resourcePath(name));
    if (!renderer.isValid() || pixelSize.isEmpty())
        return image;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixelSize)));
    // Keep the artwork's coverage, take the colour from the palette.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    return image;
}

class TintedIconEngine final : public QIconEngine
{
public:
    explicit TintedIconEngine(QString name)
        : m_name(std::move(name))
    {
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        FNWArtwork::paint(painter, rect, m_name, colorFor(mode, state));
    }

    // QIcon asks for device pixels (logical size times the ratio) and sets the ratio itself.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return FNWArtwork::pixmap(m_name, size, colorFor(mode, state), 1.0);
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine* clone() const override { return new TintedIconEngine(m_name); }
    QString key() const override { return QStringLiteral("FNWTintedIconEngine"); }
    QString iconName() override { return m_name; }
    bool isNull() override { return !FNWArtwork::exists(m_name); }

private:
    static QColor colorFor(QIcon::Mode mode, QIcon::State state)
    {
        const QPalette palette = QGuiApplication::palette();
        if (mode == QIcon::Disabled)
            return palette.color(QPalette::Disabled, QPalette::ButtonText);
        if (mode == QIcon::Selected)
            return palette.color(QPalette::HighlightedText);
        if (state == QIcon::On)
            return palette.color(QPalette::Active, QPalette::Highlight);
        return palette.color(QPalette::Active, QPalette::ButtonText);
    }

    const QString m_name;
};

} // namespace

QString FNWArtwork::resourcePath(const QString& name)
{
    return QLatin1String(":/fenwave/ui/") + name + QLatin1String(".svg");
}

bool FNWArtwork::exists(const QString& name)
{
    return QFile::exists(resourcePath(name));
}

QPixmap FNWArtwork::pixmap(const QString& name, const QSize& size, const QColor& color, qreal devicePixelRatio)
{
    const QSize pixelSize(qRound(size.width() * devicePixelRatio), qRound(size.height() * devicePixelRatio));
    const QString key = QStringLiteral("fnw-artwork/%1/%2x%3/%4")
                            .arg(name)
                            .arg(pixelSize.width())
                            .arg(pixelSize.height())
                            .arg(color.rgba(), 8, 16, QLatin1Char('0'));
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        pixmap = QPixmap::fromImage(renderTinted(name, pixelSize, color));
        QPixmapCache::insert(key, pixmap);
    }
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

void FNWArtwork::paint(QPainter* painter, const QRect& rect, const QString& name, const QColor& color)
{
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    painter->drawPixmap(rect, pixmap(name, rect.size(), color, ratio));
}

QIcon FNWArtwork::icon(const QString& name)
{
    return QIcon(new TintedIconEngine(name));
}
