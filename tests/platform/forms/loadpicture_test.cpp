// Loading pictures: the formats a preview may be in (JPEG, GIF, BMP, ICO and
// CUR), recognised by their content whatever the name says; every other
// format is not a readable picture.
#include "platform/forms/LoadPicture.h"
#include "support/EmulatorDir.h"

#include <QFile>
#include <QSize>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using platform::forms::LoadPicture;
using tavro::test::Picture;

namespace {

QByteArray Resource(const char* name) {
    QFile f(QStringLiteral(TAVRO_SOURCE_DIR "/src/resources/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A 2 x 1 uncompressed true-colour TGA, which Qt's own TGA reader takes.
QByteArray Tga() {
    QByteArray bytes(18, '\0');
    bytes[2] = 2;  // uncompressed true colour
    bytes[12] = 2; // width
    bytes[14] = 1; // height
    bytes[16] = 24;
    return bytes + QByteArray(6, '\x7f');
}

TEST(LoadPicture, OnlyTheFormatsPreviewsComeInAreRead) {
    struct Case {
        const char* name;
        QByteArray content;
        QSize size; // empty: not a readable picture
    };
    const Case cases[] = {
        {"a.jpg", Picture(30, 20, "JPG"), QSize(30, 20)},
        {"a.bmp", Picture(7, 5, "BMP"), QSize(7, 5)},
        {"a.gif", Resource("about_small.gif"), QSize(209, 81)},
        {"a.ico", Resource("pointer.ico"), QSize(32, 32)},
        {"a.cur", Resource("tavro.cur"), QSize(32, 32)},
        // The content decides, not the name.
        {"jpeg.png", Picture(11, 9, "JPG"), QSize(11, 9)},
        {"gif.jpg", Resource("about_big.gif"), QSize(249, 132)},
        {"bmp", Picture(3, 4, "BMP"), QSize(3, 4)},
        // Formats Qt could decode but previews never come in.
        {"png.jpg", Picture(8, 8, "PNG"), {}},
        {"a.png", Picture(8, 8, "PNG"), {}},
        {"tiff.jpg", Picture(8, 8, "TIFF"), {}},
        {"webp.jpg", Picture(8, 8, "WEBP"), {}},
        {"xpm.jpg", Picture(8, 8, "XPM"), {}},
        {"ppm.jpg", Picture(8, 8, "PPM"), {}},
        {"a.tga", Tga(), {}},
        // Not pictures at all, or cut short.
        {"text.jpg", "this is not a picture", {}},
        {"cut.jpg", Picture(30, 20, "JPG").left(3), {}},
        {"cut.gif", Resource("about_small.gif").left(6), {}},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        ASSERT_FALSE(c.content.isEmpty()) << c.name << ": the test could not make its file";
        const QString path = dir.filePath(c.name);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.content);
        f.close();
        std::string error;
        const auto picture = LoadPicture(path.toStdString(), &error);
        EXPECT_EQ(QSize(picture.Width(), picture.Height()), c.size.expandedTo({0, 0})) << c.name;
        EXPECT_EQ(error.empty(), !c.size.isEmpty()) << c.name << ": " << error;
        if (c.size.isEmpty()) {
            EXPECT_EQ(error, "not a readable picture") << c.name;
        }
    }
    std::string error;
    EXPECT_TRUE(LoadPicture(dir.filePath("missing.jpg").toStdString(), &error).IsEmpty());
    EXPECT_FALSE(error.empty());
}

} // namespace
