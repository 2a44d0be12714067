// The Debian package as a user gets it: its name and dependencies, the files it
// installs (the metainfo and the menu entries tavro-link makes validate), and
// the installed program started through a link in an emulator directory.
#include "support/EmulatorDir.h"
#include "support/FakeEmulator.h"
#include "support/X11Launch.h"
#include "support/X11Session.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

using namespace tavro::test;

namespace {

struct ToolRun {
    int code = -1;
    QString out, err;
};

// Runs a tool to its end (a failed start counts as exit code -1).
ToolRun RunTool(const QString& program, const QStringList& args,
                const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                int waitMs = 60000) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    ToolRun r;
    if (p.waitForStarted(10000) && p.waitForFinished(waitMs) &&
        p.exitStatus() == QProcess::NormalExit) {
        r.code = p.exitCode();
    }
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

class PackageTest : public ::testing::Test {
protected:
    // The package unpacked once, as dpkg would install it, into a temporary root.
    static void SetUpTestSuite() {
        root_ = std::make_unique<QTemporaryDir>();
        const ToolRun x = RunTool("dpkg-deb", {"-x", TAVRO_DEB, root_->path()});
        unpacked_ = x.code == 0;
        unpackError_ = x.err;
    }
    static void TearDownTestSuite() { root_.reset(); }

    void SetUp() override {
        ASSERT_TRUE(QFileInfo::exists(TAVRO_DEB)) << "no package " << TAVRO_DEB;
        ASSERT_TRUE(unpacked_) << unpackError_.toStdString();
        ASSERT_TRUE(home.isValid());
    }

    static QString installed(const QString& relative) { return root_->path() + "/usr/" + relative; }
    static void needs(const char* tool) {
        if (QStandardPaths::findExecutable(tool).isEmpty())
            GTEST_SKIP() << "needs " << tool << " (installed by scripts/bootstrap)";
    }

    // tavro-link as the user runs it, with a home of the test's own.
    ToolRun tavroLink(const QString& dir) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.remove("XDG_DATA_HOME");
        return RunTool(installed("bin/tavro-link"), {dir}, env);
    }
    QStringList menuEntries() const {
        return QDir(home.path() + "/.local/share/applications")
            .entryList({"*.desktop"}, QDir::Files);
    }

    QTemporaryDir home;
    static std::unique_ptr<QTemporaryDir> root_;
    static bool unpacked_;
    static QString unpackError_;
};

std::unique_ptr<QTemporaryDir> PackageTest::root_;
bool PackageTest::unpacked_ = false;
QString PackageTest::unpackError_;

TEST_F(PackageTest, ControlFieldsNameTheProgramAndTheLibrariesItNeeds) {
    const ToolRun f = RunTool("dpkg-deb", {"-f", TAVRO_DEB, "Package", "Version", "Architecture"});
    ASSERT_EQ(f.code, 0) << f.err.toStdString();
    EXPECT_EQ(f.out, QStringLiteral("Package: tavro\nVersion: %1\nArchitecture: %2\n")
                         .arg(TAVRO_VERSION, TAVRO_DEB_ARCH));
    // Computed by dpkg-shlibdeps from the linked libraries: with their versions.
    const QString depends = RunTool("dpkg-deb", {"-f", TAVRO_DEB, "Depends"}).out;
    for (const char* library : {"libc6 (>= ", "libstdc++6 (>= ", "libqt6widgets6 (>= ",
                                "libqt6gui6 (>= ", "libqt6core6"}) {
        EXPECT_TRUE(depends.contains(library))
            << library << " missing from: " << depends.toStdString();
    }
}

TEST_F(PackageTest, InstallsTheProgramTavroLinkIconsMetainfoManPagesAndDocs) {
    QStringList files;
    QDirIterator it(root_->path(), QDir::Files | QDir::System | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next().mid(root_->path().size()));
    files.sort();
    QStringList expected{"/usr/bin/tavro", "/usr/bin/tavro-link",
                         "/usr/share/man/man1/tavro-link.1.gz", "/usr/share/man/man1/tavro.1.gz",
                         "/usr/share/metainfo/io.github.tavro_launcher.Tavro.metainfo.xml"};
    expected << "/usr/share/doc/tavro/copyright"
             << "/usr/share/doc/tavro/changelog.gz";
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        expected.append(QStringLiteral("/usr/share/icons/hicolor/%1x%1/apps/tavro.png").arg(size));
    expected.sort();
    EXPECT_EQ(files, expected);

    for (const char* program : {"bin/tavro", "bin/tavro-link"})
        EXPECT_TRUE(QFileInfo(installed(program)).isExecutable()) << program;
    EXPECT_EQ(QImage(installed("share/icons/hicolor/48x48/apps/tavro.png")).size(), QSize(48, 48));
    // Stripped: no debugging sections in the installed program.
    const ToolRun sections = RunTool("readelf", {"-S", "-W", installed("bin/tavro")});
    if (sections.code == 0) {
        EXPECT_FALSE(sections.out.contains(".debug_info"));
    }
}

TEST_F(PackageTest, LintianFindsNoErrors) {
    needs("lintian");
    // Lintian takes its time on a busy machine.
    const ToolRun l = RunTool("lintian", {"--no-cfg", TAVRO_DEB},
                              QProcessEnvironment::systemEnvironment(), 240000);
    const QString report = l.out + l.err;
    ASSERT_TRUE(l.code == 0 || l.code == 2) << "lintian did not run: " << report.toStdString();
    EXPECT_FALSE(report.contains(QRegularExpression("^E: ", QRegularExpression::MultilineOption)))
        << report.toStdString();
}

// Installing right after a build of the program alone finds every file it installs.
TEST(ProgramBuild, MakesTheCompressedManPagesAndChangelog) {
    const QString build = TAVRO_BINARY_DIR;
    if (!QFileInfo::exists(build + "/build.ninja"))
        GTEST_SKIP() << "asks Ninja, the generator scripts/configure uses";
    // Every command that building the program runs.
    const ToolRun r = RunTool("ninja", {"-C", build, "-t", "commands", "tavro"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    for (const char* made :
         {"/dist/tavro.1.gz\n", "/dist/tavro-link.1.gz\n", "/dist/changelog.gz\n"})
        EXPECT_TRUE(r.out.contains(build + made)) << made;
}

TEST_F(PackageTest, MetainfoValidates) {
    needs("appstreamcli");
    const ToolRun v = RunTool(
        "appstreamcli", {"validate", "--no-net",
                         installed("share/metainfo/io.github.tavro_launcher.Tavro.metainfo.xml")});
    EXPECT_EQ(v.code, 0) << v.out.toStdString() << v.err.toStdString();
}

TEST_F(PackageTest, TavroLinkMakesTheLinkAndAMenuEntryThatValidates) {
    needs("desktop-file-validate");
    // A name with what the entry's quoting rules make special.
    EmulatorDir parent;
    parent.makeDir("Morvel $1 \"quoted\" 100%/drv");
    const QString emu = parent.file("Morvel $1 \"quoted\" 100%");
    // A second run only renews the entry, and says so.
    for (const QString says : {"Linked ", "Already linked: "}) {
        const ToolRun r = tavroLink(emu);
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out.startsWith(says + emu + "/tavro -> ")) << r.out.toStdString();
        EXPECT_EQ(r.out.contains("\nRenewed menu entry \"Tavro ("), says != "Linked ")
            << r.out.toStdString();
    }
    EXPECT_EQ(QFileInfo(emu + "/tavro").symLinkTarget(), installed("bin/tavro"));
    const QStringList entries = menuEntries();
    ASSERT_EQ(entries.size(), 1) << entries.join(' ').toStdString();
    const QString entry = home.path() + "/.local/share/applications/" + entries.first();
    const ToolRun v = RunTool("desktop-file-validate", {entry});
    EXPECT_EQ(v.code, 0) << v.out.toStdString() << v.err.toStdString();
    EXPECT_TRUE(v.out.isEmpty()) << v.out.toStdString(); // not even a hint

    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    EXPECT_TRUE(lines.contains("Name=Tavro (Morvel $1 \"quoted\" 100%)"));
    EXPECT_TRUE(lines.contains("Exec=\"" + parent.path() +
                               "/Morvel \\\\$1 \\\\\"quoted\\\\\" 100%%/tavro\""));
    EXPECT_TRUE(lines.contains("Icon=tavro"));
    EXPECT_TRUE(lines.contains("Path=" + emu));
}

TEST_F(PackageTest, TavroLinkRefusesWhatIsNotAnEmulatorDirectoryOrHoldsAnotherTavro) {
    EmulatorDir withOther;
    withOther.write("tavro", "someone else's program");
    EmulatorDir noDrivers;
    QDir(noDrivers.path()).rmdir("drv");
    struct Row {
        QString dir, says;
    };
    for (const Row& row : {Row{noDrivers.path(), "has no drv/ directory"},
                           Row{withOther.path(), "already exists and is a different tavro"},
                           Row{noDrivers.file("missing"), "is not a directory"}}) {
        const ToolRun r = tavroLink(row.dir);
        EXPECT_NE(r.code, 0) << row.dir.toStdString();
        EXPECT_TRUE(r.err.startsWith("tavro-link: ") && r.err.contains(row.says))
            << r.err.toStdString();
    }
    EXPECT_EQ(withOther.read("tavro"), "someone else's program");
    EXPECT_FALSE(QFileInfo(noDrivers.file("tavro")).isSymLink());
    EXPECT_TRUE(menuEntries().isEmpty());
}

TEST_F(PackageTest, InstalledProgramStartsThroughItsLinkInAnEmulatorDirectory) {
    const QStringList missing = X11Session::MissingTools();
    if (!missing.isEmpty())
        GTEST_SKIP() << "needs " << missing.join(", ").toStdString();
    EmulatorDir dir;
    QTemporaryDir work, out;
    dir.write("drv/alpha.drv", "[driver]\nname=Alpha\n");
    WriteFakeEmulator(dir.file("morvel"), out.path() + "/record");
    ASSERT_EQ(tavroLink(dir.path()).code, 0);

    X11Session session;
    const QString failed =
        RunFirstDriver(session, "exec " + ShellQuoted(dir.file("tavro")), work.path());
    ASSERT_TRUE(failed.isEmpty()) << failed.toStdString();
    const EmulatorRecord record = WaitForRecord(out.path() + "/record");
    ASSERT_TRUE(record.present) << "the emulator beside the link was not started";
    EXPECT_EQ(record.args.mid(record.args.size() - 2), QStringList({"-driver", "alpha.drv"}));
    EXPECT_TRUE(dir.exists("tavro.cfg"));
}

} // namespace
