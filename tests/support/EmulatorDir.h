// A temporary emulator directory for tests: drv/, preview/ and the program
// directory pointed at it for as long as the object lives. Tests that start
// the built program put it in with installProgram() or linkProgram().
#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QString>
#include <QTemporaryDir>

namespace tavro::test {

inline const QColor PictureColour(40, 90, 160);

class EmulatorDir {
public:
    EmulatorDir();
    ~EmulatorDir();

    QString path() const { return dir_.path(); }
    QString file(const QString& relative) const { return dir_.path() + "/" + relative; }

    void write(const QString& relative, const QByteArray& content) const;
    // A small valid JPEG picture of the given size, in one colour.
    void writePicture(const QString& relative, int width, int height,
                      const QColor& colour = PictureColour) const;
    QByteArray read(const QString& relative) const;

    // The same by a path of bytes, for names that are not valid UTF-8.
    QByteArray rawFile(const QByteArray& relative) const;
    // Files written so are removed with the directory (Qt's own removal
    // cannot see names that are not UTF-8).
    void writeRaw(const QByteArray& relative, const QByteArray& content);
    QByteArray readRaw(const QByteArray& relative) const;
    // A directory's entries as bytes, sorted, without dot files.
    QList<QByteArray> rawEntries(const QByteArray& relative) const;
    // A directory, and a symbolic link to `target`, by names of bytes.
    void makeRawDir(const QByteArray& relative) const;
    bool linkRaw(const QByteArray& target, const QByteArray& relative) const;
    bool exists(const QString& relative) const;
    void makeDir(const QString& relative) const;
    // Copies the built program in, as a user installs it; its path, or empty.
    QString installProgram() const;
    // Makes `relative` (by default the program's place, "tavro") a symbolic
    // link to `target` (by default the built program), as a user links an
    // installed Tavro into an emulator directory; the link's path, or empty.
    QString linkProgram(const QString& target = QStringLiteral(TAVRO_EXE),
                        const QString& relative = QStringLiteral("tavro")) const;

private:
    QTemporaryDir dir_;
    QList<QByteArray> rawFiles_;
};

// A small picture of the given size in a format Qt writes ("JPG", "PNG", ...).
QByteArray Picture(int width, int height, const char* format = "JPG",
                   const QColor& colour = PictureColour);

// Forgets the main window of an earlier test, so the next one starts fresh.
void DestroyForms();

} // namespace tavro::test
