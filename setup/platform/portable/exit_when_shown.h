// Start-up measurement only (setup_startup_probe and the floor programs of
// bench/, never the shipped program): with SETUP_EXIT_WHEN_SHOWN set, once a
// window is shown (the dialog, initialised before it is shown), print
// "shown <title>" and leave at once, saving nothing.
#pragma once

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

class ExitWhenShown final : public QObject {
public:
    using QObject::QObject;

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

inline void exit_when_shown(QApplication& app) {
    const char* wanted = std::getenv("SETUP_EXIT_WHEN_SHOWN");
    if (wanted && *wanted) app.installEventFilter(new ExitWhenShown(&app));
}
