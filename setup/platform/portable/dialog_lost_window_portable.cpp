// The X11 watch for a window destroyed from outside: the one place the host
// reads X's own events.
#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <xcb/xproto.h>

#include "dialog_host_parts.h"

namespace {

// A window destroyed by another X client (XDestroyWindow, as `xdotool
// windowclose` sends) goes without a close request: Qt keeps the widget as
// shown and a modal loop on it waits for ever. The dialog's or a message
// box's window destroyed ends the run.
class LostWindowWatch final : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) != XCB_DESTROY_NOTIFY) return false;
        const xcb_window_t gone = static_cast<const xcb_destroy_notify_event_t*>(message)->window;
        bool ours = false;
        for (const QWidget* w : QApplication::topLevelWidgets())
            ours = ours || (qobject_cast<const QDialog*>(w) && w->internalWinId() == gone);
        // Once Qt has done with the event.
        if (ours) QMetaObject::invokeMethod(qApp, &LostWindowWatch::end_run, Qt::QueuedConnection);
        return false;
    }

private:
    static void end_run() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dialog = dynamic_cast<qt_host::HostDialog*>(w)) dialog->window_lost();
    }
};

}  // namespace

namespace qt_host {

void watch_for_lost_windows() {
    static LostWindowWatch watch;
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
    [[maybe_unused]] static const bool installed = (qApp->installNativeEventFilter(&watch), true);
}

}  // namespace qt_host
