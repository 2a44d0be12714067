// What a screen reader is told about Tavro: the accessibility tree as Orca
// reads it (AT-SPI, through atspi_tree.py beside this file), with Tavro on a
// private X server, a private session bus and an accessibility bus of its
// own. The main window with a driver chosen, the driver editor with its menu,
// and the question the editor asks before it closes a changed text.
#include "support/EmulatorDir.h"
#include "support/X11Session.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

using tavro::test::EmulatorDir;
using tavro::test::X11Options;
using tavro::test::X11Program;
using tavro::test::X11Session;

namespace {

const QString Python = QStringLiteral("/usr/bin/python3");
const QString BusLauncher = QStringLiteral("/usr/libexec/at-spi-bus-launcher");
const QString TreeScript = QStringLiteral(TAVRO_SOURCE_DIR "/tests/x11/atspi_tree.py");

// One node that must be in the tree: the window it is in, its role, its name
// and the fields it must carry (tab-separated, as atspi_tree.py prints them).
struct Node {
    const char* window;
    const char* role;
    const char* name;
    const char* fields;
};

const Node Expected[] = {
    {"main", "frame", "Tavro 0.1.5", ""},
    {"main", "image", "Tavro logo", ""},
    {"main", "label", "Drivers Found", "label-for=Drivers Found"},
    {"main", "list", "Drivers Found", ""},
    {"main", "panel", "Resolution", "labelled-by=Resolution"},
    {"main", "panel", "Frameskip", "labelled-by=Frameskip"},
    {"main", "image", "Preview", "description=alpha.drv"},
    {"editor", "frame", "Tavro Driver Editor - [alpha.drv]", ""},
    {"editor", "menu bar", "", ""},
    {"editor", "menu item", "Exit", "key=Alt+X"},
    {"editor", "text", "alpha.drv", "line=[driver]\tfocused"},
    {"question", "alert", "Question",
     "description=This Driver has Changed, Want to save it?\t"
     "text=This Driver has Changed, Want to save it?"},
};

bool HasNode(const QString& tree, const Node& node) {
    const QStringList wanted = QString::fromUtf8(node.fields).split(u'\t', Qt::SkipEmptyParts);
    for (const QString& line : tree.split(u'\n')) {
        const QStringList fields = line.split(u'\t');
        if (fields.size() >= 2 && fields[0] == QLatin1String(node.role) &&
            fields[1] == QString::fromUtf8(node.name) &&
            std::all_of(wanted.begin(), wanted.end(),
                        [&](const QString& f) { return fields.mid(2).contains(f); })) {
            return true;
        }
    }
    return false;
}

class ScreenReaderX11 : public ::testing::Test {
protected:
    void SetUp() override {
        QStringList missing = X11Session::MissingTools();
        for (const QString& tool : {QStringLiteral("/usr/bin/dbus-daemon"), BusLauncher, Python}) {
            if (!QFileInfo(tool).isExecutable()) {
                missing << tool;
            }
        }
        if (QProcess::execute(Python, {"-c", "import pyatspi"}) != 0) {
            missing << "pyatspi";
        }
        if (!missing.isEmpty()) {
            GTEST_SKIP() << "needs " << missing.join(", ").toStdString();
        }
        ASSERT_TRUE(bus.isValid());
        const QString address = "unix:path=" + bus.filePath("session");
        X11Options options;
        options.environment = {"DBUS_SESSION_BUS_ADDRESS=" + address,
                               "QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"};
        session = std::make_unique<X11Session>(options);
        ASSERT_TRUE(session->ok()) << session->error().toStdString();

        // The session bus, then the accessibility bus and its registry.
        X11Program* daemon = session->start(
            "dbus-daemon", {"--session", "--nofork", "--address=" + address, "--print-address"},
            bus.path());
        ASSERT_NE(daemon, nullptr) << session->error().toStdString();
        ASSERT_TRUE(
            X11Session::waitFor([&] { return daemon->log().contains(address.toUtf8()); }, 10000))
            << daemon->log().toStdString();
        ASSERT_NE(session->start(BusLauncher, {"--launch-immediately"}, bus.path()), nullptr);
        ASSERT_TRUE(X11Session::waitFor([&] { return tree(QString()).has_value(); }, 20000, 200))
            << "the accessibility registry does not answer";

        dir.write("drv/alpha.drv", "[driver]\nname=Alpha\n");
        dir.writePicture("preview/alpha.drv.jpg", 40, 30);
        const QString program = dir.installProgram();
        ASSERT_FALSE(program.isEmpty());
        tavro = session->start(program, {}, dir.path());
        ASSERT_NE(tavro, nullptr);
    }

    // What atspi_tree.py prints of the application `app` (nothing for none).
    std::optional<QString> tree(const QString& app) {
        QStringList args{TreeScript};
        if (!app.isEmpty()) {
            args << app;
        }
        const std::optional<QByteArray> out = session->run(Python, args, 20000);
        return out ? std::optional(QString::fromUtf8(*out)) : std::nullopt;
    }

    // Waits until the tree has every node of `window`; the ones it lacks.
    std::string waitForNodes(const char* window) {
        QStringList missing;
        X11Session::waitFor(
            [&] {
                const QString now = tree(QStringLiteral("tavro")).value_or(QString());
                missing.clear();
                for (const Node& node : Expected) {
                    if (std::strcmp(node.window, window) == 0 && !HasNode(now, node)) {
                        missing << QStringLiteral("%1 \"%2\" %3")
                                       .arg(node.role, node.name, node.fields);
                    }
                }
                lastTree = now;
                return missing.isEmpty();
            },
            20000, 300);
        return missing.join(u'\n').toStdString();
    }

    QTemporaryDir bus;
    EmulatorDir dir;
    std::unique_ptr<X11Session> session;
    X11Program* tavro = nullptr;
    QString lastTree;
};

TEST_F(ScreenReaderX11, WindowsGroupsPicturesMenuAndMessagesAreTold) {
    const auto main = session->waitForWindow("Tavro 0.1.5", 20000);
    const auto rect = main ? session->geometry(*main) : std::nullopt;
    ASSERT_TRUE(rect.has_value()) << tavro->log().toStdString();
    const QPoint client = rect->topLeft() + QPoint(3, 3 + 19);
    ASSERT_TRUE(session->click(client + QPoint(40, 79))); // alpha.drv
    EXPECT_EQ(waitForNodes("main"), "") << lastTree.toStdString();

    ASSERT_TRUE(session->click(client + QPoint(104, 364))); // Edit This Driver
    const auto editor = session->waitForWindow("Tavro Driver Editor - [alpha.drv]", 10000);
    ASSERT_TRUE(editor.has_value()) << tavro->log().toStdString();
    EXPECT_EQ(waitForNodes("editor"), "") << lastTree.toStdString();

    // A change, then Exit by its access key: the editor asks first.
    const QString id = QString::number(*editor);
    ASSERT_TRUE(session->run("xdotool", {"windowfocus", id, "key", "End", "x", "alt+x"}));
    ASSERT_TRUE(session->waitForWindow("Question", 10000).has_value());
    EXPECT_EQ(waitForNodes("question"), "") << lastTree.toStdString();
}

} // namespace
