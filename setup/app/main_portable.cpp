// The native program: the same start-up and shutdown as the Windows entry,
// with the dialog in Qt, the display probe on SDL2 and the graphics driver,
// and the record in a file.
#include <QApplication>
#include <QList>
#include <QStringList>
#include <QtGlobal>
#include <QStyleFactory>
#include <cstdio>
#include <cstdlib>

#include "app/entry.h"
#include "dialog_host_portable.h"
#ifdef SETUP_STARTUP_PROBE
#include "exit_when_shown.h"
#endif

namespace {

bool set(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}


// While QApplication connects to the display, Qt's messages wait here: when
// no display answers, Qt ends with a fatal message and abort() (a core dump);
// the program says so in one line and ends with 1 instead.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
QList<HeldMessage> held_back;
const char* program_name = "setup";

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
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (set(name)) what << QString::fromLatin1(name) + QLatin1Char('=') + QString::fromLocal8Bit(std::getenv(name));
    what = QStringList{what.join(QLatin1String(", ")), reason.trimmed()};
    what.removeAll(QString());
    std::fprintf(stderr,
                 "%s: cannot open the display (%s); run it on a working display, or on a virtual one: "
                 "xvfb-run -a -s \"-screen 0 1600x1200x24\" %s\n",
                 program_name, what.join(QLatin1String(": ")).toLocal8Bit().constData(), program_name);
    std::_Exit(1);
}

}  // namespace

int main(int, char** argv) {
    // Qt aborts without a display; say what to do instead.
    if (!set("DISPLAY") && !set("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) {
        std::fprintf(stderr,
                     "setup: there is no display to show the dialog on (neither DISPLAY nor WAYLAND_DISPLAY is "
                     "set).\n"
                     "Run it on a virtual display instead, e.g.:\n"
                     "    xvfb-run -a -s \"-screen 0 1600x1200x24\" build/native/setup\n");
        return 1;
    }

    // The program takes no arguments; not even Qt's own options apply.
    int qt_argc = 1;
    char* qt_argv[] = {argv[0], nullptr};
    if (argv[0] && *argv[0]) program_name = argv[0];
    const QtMessageHandler previous = qInstallMessageHandler(hold_back);
    QApplication app(qt_argc, qt_argv);
    qInstallMessageHandler(previous);
    for (const HeldMessage& held : held_back)
        qt_message_output(held.type, QMessageLogContext(nullptr, 0, nullptr, held.category.constData()), held.text);
    held_back.clear();
    // The layout is measured against this style; a desktop theme's wider
    // frames would crowd the captions.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);

#ifdef SETUP_STARTUP_PROBE
    exit_when_shown(app);
#endif

    install_portable_platform();
    return setup_main(&qt_program_host);
}
