// Turns the program's icon into a C++ header of its pixels, at build time, so that the window
// shows its icon without reading an image: icon_pixels ICON.png HEADER.h. Exits non-zero, with
// the reason on stderr, when the icon cannot be read or the header written.

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QString>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: icon_pixels ICON.png HEADER.h\n");
        return 2;
    }
    const QImage icon =
        QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_ARGB32);
    if (icon.isNull()) {
        std::fprintf(stderr, "icon_pixels: cannot read %s\n", argv[1]);
        return 1;
    }
    QByteArray header = "// Made at build time from " +
                        QFileInfo(QFile::decodeName(argv[1])).fileName().toUtf8() +
                        " by icon_pixels: the window's icon, as pixels.\n"
                        "#pragma once\n\n#include <cstdint>\n\nnamespace window_icon {\n\n"
                        "inline constexpr int kWidth = " +
                        QByteArray::number(icon.width()) +
                        ";\ninline constexpr int kHeight = " + QByteArray::number(icon.height()) +
                        ";\n// QImage::Format_ARGB32, row after row.\n"
                        "alignas(4) inline constexpr std::uint32_t kPixels[] = {\n";
    for (int y = 0; y < icon.height(); ++y) {
        header += "   ";
        for (int x = 0; x < icon.width(); ++x) {
            header += " 0x" + QByteArray::number(icon.pixel(x, y), 16).rightJustified(8, '0') + ',';
        }
        header += '\n';
    }
    header += "};\n\n} // namespace window_icon\n";
    QFile file(QString::fromLocal8Bit(argv[2]));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(header) != header.size()) {
        std::fprintf(stderr, "icon_pixels: cannot write %s: %s\n", argv[2],
                     qPrintable(file.errorString()));
        return 1;
    }
    return 0;
}
