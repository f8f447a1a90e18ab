// The native program: the same start-up and shutdown as the Windows entry,
// with the dialog in Qt, the display probe on SDL2 and the graphics driver,
// and the record in a file.
#include <QApplication>
#include <QEvent>
#include <QStyleFactory>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

#include "app/entry.h"
#include "dialog_host_qt.h"

namespace {

bool set(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

#ifdef SETUP_STARTUP_PROBE
// Only in the start-up measurement build (setup_startup_probe), never in the
// program: with SETUP_EXIT_WHEN_SHOWN=1, once a window is shown (the dialog,
// initialised before it is shown), print "shown <title>" and leave at once,
// saving nothing.
class ExitWhenShown final : public QObject {
protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Show && object->isWidgetType() && static_cast<QWidget*>(object)->isWindow()) {
            const QByteArray title = static_cast<QWidget*>(object)->windowTitle().toUtf8();
            QTimer::singleShot(0, [title] {
                std::printf("shown %s\n", title.constData());
                std::fflush(stdout);
                std::_Exit(0);
            });
        }
        return false;
    }
};
#endif

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
    QApplication app(qt_argc, qt_argv);
    // The layout is measured against this style; a desktop theme's wider
    // frames would crowd the captions.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);

#ifdef SETUP_STARTUP_PROBE
    ExitWhenShown exit_when_shown;
    if (set("SETUP_EXIT_WHEN_SHOWN")) app.installEventFilter(&exit_when_shown);
#endif

    install_portable_platform();
    return setup_main(&qt_program_host);
}
