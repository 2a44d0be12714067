// Build step: turns our own art (src/resources) into ready pixels compiled
// into the program. Qt's own decoders read the files here, so the pixels are
// exactly the ones the program would get by decoding them when it runs.
//
// Usage: art_pixels <resources dir> <output .cpp>
#include <QCoreApplication>
#include <QFile>
#include <QImage>

#include <cstdio>
#include <string>

namespace {

std::string Literal(const unsigned char* bytes, qsizetype count) {
    std::string text;
    text.reserve(static_cast<std::size_t>(count) * 4 + count / 8);
    char hex[8];
    for (qsizetype i = 0; i < count; ++i) {
        if (i % 64 == 0) {
            text += i ? "\"\n    \"" : "\n    \"";
        }
        std::snprintf(hex, sizeof hex, "\\x%02x", bytes[i]);
        text += hex;
    }
    return text + "\"";
}

QImage Load(const QString& dir, const char* name) {
    QImage image(dir + "/" + name);
    if (image.isNull()) {
        std::fprintf(stderr, "art_pixels: cannot decode %s/%s\n", qPrintable(dir), name);
        std::exit(1);
    }
    return image;
}

// The image as a Picture named `name`; the bytes are a string literal, which
// compilers take far faster than a list of numbers.
std::string PictureSource(const char* name, const QImage& image) {
    const std::string bits = std::string(name) + "Bits";
    std::string text = "alignas(16) const char " + bits +
                       "[] =" + Literal(image.constBits(), image.sizeInBytes()) + ";\n";
    text += "} // namespace\n\nconst Picture " + std::string(name) + "{" +
            std::to_string(image.width()) + ", " + std::to_string(image.height()) + ", " +
            std::to_string(image.bytesPerLine()) + ", " + std::to_string(int(image.format())) +
            ", reinterpret_cast<const unsigned char*>(" + bits + ")};\n\nnamespace {\n\n";
    return text;
}

// The pointer in black and white; any other colour is an error, since the
// pointer would no longer look the same.
std::string PointerSource(const char* name, const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int stride = (image.width() + 7) / 8;
    std::string bits(static_cast<std::size_t>(stride * image.height()), '\0');
    std::string mask = bits;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) == 0) {
                continue;
            }
            const bool black = (pixel & 0xffffff) == 0;
            if (qAlpha(pixel) != 255 || (!black && (pixel & 0xffffff) != 0xffffff)) {
                std::fprintf(stderr, "art_pixels: %s is not black and white\n", name);
                std::exit(1);
            }
            const auto at = static_cast<std::size_t>(y * stride + x / 8);
            mask[at] = static_cast<char>(mask[at] | (1 << (x % 8)));
            if (black) {
                bits[at] = static_cast<char>(bits[at] | (1 << (x % 8)));
            }
        }
    }
    const auto bytes = [](const std::string& s) {
        return Literal(reinterpret_cast<const unsigned char*>(s.data()), qsizetype(s.size()));
    };
    const std::string n = name;
    std::string text = "const char " + n + "Bits[] =" + bytes(bits) + ";\n";
    text += "const char " + n + "Mask[] =" + bytes(mask) + ";\n";
    text += "} // namespace\n\nconst Pointer " + n + "{" + std::to_string(image.width()) + ", " +
            std::to_string(image.height()) + ", reinterpret_cast<const unsigned char*>(" + n +
            "Bits), reinterpret_cast<const unsigned char*>(" + n + "Mask)};\n\nnamespace {\n\n";
    return text;
}

// The format the main window's pixmap uses, so that making a pixmap of the
// pixels copies and converts nothing.
QImage DisplayReady(QImage image) {
    image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                            : QImage::Format_RGB32);
    return image;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: art_pixels <resources dir> <output .cpp>\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    std::string text = "// Made by tools/art_pixels.cpp from the pictures in src/resources.\n"
                       "#include \"resources/ArtPixels.h\"\n\n"
                       "namespace tavro::art::pixels {\n\nnamespace {\n\n";
    text += PictureSource("Background", DisplayReady(Load(dir, "background.gif")));
    text += PictureSource("WindowIcon", Load(dir, "tavro.cur"));
    text += PictureSource("AboutBig", Load(dir, "about_big.gif"));
    text += PictureSource("AboutSmall", Load(dir, "about_small.gif"));
    text += PointerSource("ArrowPointer", Load(dir, "pointer.ico"));
    text += "} // namespace\n\n} // namespace tavro::art::pixels\n";

    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(text.data(), qint64(text.size())) != qint64(text.size())) {
        std::fprintf(stderr, "art_pixels: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
