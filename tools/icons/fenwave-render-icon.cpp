// fenwave-render-icon SVG SIZE OUT.png: draws the application icon at SIZE x SIZE pixels for the
// icon theme's fixed-size folders. Run by the build; not installed.
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: fenwave-render-icon SVG SIZE OUT.png\n");
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    bool ok = false;
    const int size = QByteArray(argv[2]).toInt(&ok);
    if (!renderer.isValid() || !ok || size < 1 || size > 4096) {
        std::fprintf(stderr, "fenwave-render-icon: cannot draw %s at %s pixels\n", argv[1], argv[2]);
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, size, size));
    }
    if (!image.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
        std::fprintf(stderr, "fenwave-render-icon: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
