// The native program: the same start-up and shutdown as the Windows entry,
// with the dialog in Qt, the display probe on SDL2 and the graphics driver,
// and the record in a file.
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QIcon>
#include <QList>
#include <QStringList>
#include <QtGlobal>
#include <QStyleFactory>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/entry.h"
#include "dialog_host_portable.h"
#include "gpu/display_driver.h"
#include "wayland_platform.h"
#ifdef SETUP_STARTUP_PROBE
#include "exit_when_shown.h"
#endif

namespace {

bool set(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// A Wayland display to connect to, as libwayland finds one: a socket handed
// over in WAYLAND_SOCKET comes before WAYLAND_DISPLAY.
bool wayland_named() { return set("WAYLAND_SOCKET") || set("WAYLAND_DISPLAY"); }

// While QApplication connects to the display, Qt's messages wait here: when
// no display answers, Qt ends with a fatal message and abort() (a core dump);
// the program says so in one line and ends with 1 instead.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
QList<HeldMessage> held_back;
const char* program_name = "velmora-setup";  // as started: argv[0] without its folder

bool wayland_plugin_installed() {
    for (const QString& folder : QCoreApplication::libraryPaths())
        if (!QDir(folder + QLatin1String("/platforms")).entryList({QStringLiteral("*qwayland*")}, QDir::Files).isEmpty())
            return true;
    return false;
}

void hold_back(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    held_back.append({type, QByteArray(context.category), message});
    if (type != QtFatalMsg) return;
    // The platform plugin's own words say why, e.g. "could not connect to
    // display :5"; Qt's closing message only blames the plugin.
    QString reason = message.section(QLatin1Char('\n'), 0, 0);
    for (const HeldMessage& held : held_back) {
        if (held.category.startsWith("qt.qpa")) {
            reason = held.text.section(QLatin1Char('\n'), 0, 0);
            break;
        }
    }
    QStringList what;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET"})
        if (set(name)) what << QString::fromLatin1(name) + QLatin1Char('=') + QString::fromLocal8Bit(std::getenv(name));
    // On a Wayland-only session without Qt's Wayland plugin, Qt only says
    // that no plugin could start; say which one is missing.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (wayland_named() && !set("DISPLAY") && (platform.isEmpty() || is_wayland_platform(platform.toStdString())) &&
        !wayland_plugin_installed())
        reason = QStringLiteral("Qt's Wayland platform plugin is not installed (Debian package qt6-wayland)");
    what = QStringList{what.join(QLatin1String(", ")), reason.trimmed()};
    what.removeAll(QString());
    std::fprintf(stderr, "%s: cannot open the display (%s)\n", program_name,
                 what.join(QLatin1String(": ")).toLocal8Bit().constData());
    std::_Exit(1);
}

// The command line, read before any display is needed. Returns the exit code
// when the program ends here (help, version, a wrong argument), else -1.
int read_command_line(int argc, char** argv) {
    QStringList arguments{QString::fromLocal8Bit(program_name)};
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    // "-platform xcb" is one unknown option, not eight unknown letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral("Display, graphics and sound settings for Velmora."));
    // Not addHelpOption(): its --help-all lists Qt's own options, which do not apply here.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version and exit."));
    parser.addOptions({help, version});
    QString error;
    if (!parser.parse(arguments)) {
        error = parser.errorText();
    } else if (!parser.positionalArguments().isEmpty()) {
        error = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst());
    } else if (parser.isSet(help)) {
        // Without an application object Qt cannot know the program's name.
        const QString rest = parser.helpText().section(QLatin1Char('\n'), 1);
        std::printf("Usage: %s [options]\n%s", program_name, rest.toLocal8Bit().constData());
        return 0;
    } else if (parser.isSet(version)) {
        std::printf("%s %s\n", program_name, SETUP_VERSION);
        return 0;
    } else {
        return -1;
    }
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", program_name, error.toLocal8Bit().constData(), program_name);
    return 2;
}

// Every size the build embeds (setup/platform/portable/CMakeLists.txt).
QIcon window_icon() {
    QIcon icon;
    const QDir icons(QStringLiteral(":/icons"));
    for (const QString& file : icons.entryList(QDir::Files)) icon.addFile(icons.filePath(file));
    return icon;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 0 && argv[0] && *argv[0]) {
        const char* slash = std::strrchr(argv[0], '/');
        if (!slash || slash[1]) program_name = slash ? slash + 1 : argv[0];
    }
    if (const int code = read_command_line(argc, argv); code >= 0) return code;

    // Qt aborts without a display; say what to do instead.
    if (!set("DISPLAY") && !wayland_named() && !std::getenv("QT_QPA_PLATFORM")) {
        std::fprintf(stderr,
                     "%s: there is no display to show the dialog on (neither DISPLAY nor WAYLAND_DISPLAY is "
                     "set).\n"
                     "Run it on a virtual display instead, e.g.:\n"
                     "    xvfb-run -a -s \"-screen 0 1600x1200x24\" %s\n",
                     program_name, program_name);
        return 1;
    }

    // Qt's own options (-platform, -display, ...) do not apply either.
    int qt_argc = 1;
    // A program started with no argv[0] at all still hands Qt a name.
    static char fallback_name[] = "velmora-setup";
    char* qt_argv[] = {argc > 0 && argv[0] ? argv[0] : fallback_name, nullptr};
    // The desktop entry, the AppStream metainfo and the window share this id.
    QGuiApplication::setDesktopFileName(QStringLiteral(SETUP_APP_ID));
    const QtMessageHandler previous = qInstallMessageHandler(hold_back);
    QApplication app(qt_argc, qt_argv);
    qInstallMessageHandler(previous);
    for (const HeldMessage& held : held_back)
        qt_message_output(held.type, QMessageLogContext(nullptr, 0, nullptr, held.category.constData()), held.text);
    held_back.clear();
    // The display probe asks the windowing system the dialog is on.
    follow_dialog_platform(QGuiApplication::platformName().toLatin1().constData());
    // The layout is measured against this style; a desktop theme's wider
    // frames would crowd the captions.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
    // Its own icon (_NET_WM_ICON), for window lists that do not match it to the desktop entry.
    QApplication::setWindowIcon(window_icon());

#ifdef SETUP_STARTUP_PROBE
    exit_when_shown(app);
#endif

    install_portable_platform();
    const int code = setup_main(&qt_program_host);
    // Qt's Wayland plugin can hang for good while it takes its connection
    // down (its reading thread waits in wl_display_read_events for a read that
    // never comes; seen on loaded machines with Qt 6.4 on weston and Qt 6.8 on
    // sway). The record is stored and every window is gone by now: the program
    // ends without that teardown, the compositor drops the connection as it
    // would anyway. (So the sanitizer build checks for leaks at the end of its
    // X11 runs only.)
    if (is_wayland_platform(QGuiApplication::platformName().toStdString())) {
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}
