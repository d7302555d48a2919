// Writes the program icon into a hicolor icon theme tree at the sizes desktops look for, from
// the one 32 x 32 picture the program shows:
//
//     ornavel_icons resources/ornavel.png OUTPUT_DIR
//
// gives OUTPUT_DIR/NxN/apps/ornavel.png for each size and OUTPUT_DIR/scalable/apps/ornavel.svg.
// The art is drawn pixel by pixel, so larger sizes repeat pixels (to the next whole multiple,
// then smoothed down to the size) and the scalable icon is the same pixels as squares.

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <QTextStream>
#include <cstdio>

namespace {

constexpr int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

QImage Scaled(const QImage& art, int size) {
    if (size < art.width()) {
        return art.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    const int factor = (size + art.width() - 1) / art.width();
    QImage big = art.scaled(art.width() * factor, art.height() * factor, Qt::IgnoreAspectRatio,
                            Qt::FastTransformation);
    if (big.width() == size) return big;
    return big.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// One rectangle per run of equal pixels along a row; transparent pixels are left out.
QString Svg(const QImage& art) {
    QString svg;
    QTextStream out(&svg);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << art.width() << "\" height=\""
        << art.height() << "\" viewBox=\"0 0 " << art.width() << ' ' << art.height()
        << "\" shape-rendering=\"crispEdges\">\n";
    for (int y = 0; y < art.height(); ++y) {
        for (int x = 0; x < art.width();) {
            const QRgb pixel = art.pixel(x, y);
            int end = x + 1;
            while (end < art.width() && art.pixel(end, y) == pixel) ++end;
            if (qAlpha(pixel) != 0) {
                out << "<rect x=\"" << x << "\" y=\"" << y << "\" width=\"" << end - x
                    << "\" height=\"1\" fill=\"" << QColor(pixel).name() << '"';
                if (qAlpha(pixel) != 255) out << " fill-opacity=\"" << qAlpha(pixel) / 255.0 << '"';
                out << "/>\n";
            }
            x = end;
        }
    }
    out << "</svg>\n";
    return svg;
}

bool Write(const QString& dir, const QString& name, const auto& write) {
    if (!QDir().mkpath(dir) || !write(dir + "/" + name)) {
        std::fprintf(stderr, "ornavel_icons: cannot write %s/%s\n", qPrintable(dir),
                     qPrintable(name));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: ornavel_icons ICON.png OUTPUT_DIR\n", stderr);
        return 2;
    }
    const QImage art =
        QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_ARGB32);
    if (art.isNull() || art.width() != art.height()) {
        std::fprintf(stderr, "ornavel_icons: %s is no square picture\n", argv[1]);
        return 1;
    }
    const QString out = QString::fromLocal8Bit(argv[2]);
    for (const int size : kSizes) {
        const QString dir = QString("%1/%2x%2/apps").arg(out).arg(size);
        const QImage icon = Scaled(art, size);
        if (!Write(dir, "ornavel.png",
                   [&](const QString& path) { return icon.save(path, "PNG"); })) {
            return 1;
        }
    }
    const QString svg = Svg(art);
    const bool written = Write(out + "/scalable/apps", "ornavel.svg", [&](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(svg.toUtf8()) == svg.toUtf8().size();
    });
    return written ? 0 : 1;
}
