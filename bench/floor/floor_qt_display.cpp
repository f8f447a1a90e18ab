// The floor for the native program with its display probe: the blank Qt
// dialog of floor_qt, plus what the probe cannot do without: SDL's video
// subsystem on the display and one OpenGL context made current through EGL
// on the windowing system SDL uses. Same style and SETUP_EXIT_WHEN_SHOWN hook
// as the program.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <SDL.h>

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QPushButton>
#include <QStyleFactory>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

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

// One context on the display's driver, made current and asked its renderer,
// then given back. False when any step fails: the floor then is no floor.
bool open_one_gl_context(const char* video_driver) {
    EGLenum platform = 0;
    if (video_driver && std::strcmp(video_driver, "x11") == 0) platform = EGL_PLATFORM_X11_KHR;
    if (video_driver && std::strcmp(video_driver, "wayland") == 0) platform = EGL_PLATFORM_WAYLAND_KHR;
    auto get_platform_display =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!platform || !get_platform_display) return false;
    EGLDisplay display = get_platform_display(platform, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) return false;
    bool made = false;
    EGLContext context = EGL_NO_CONTEXT;
    if (eglBindAPI(EGL_OPENGL_API)) context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, nullptr);
    if (context != EGL_NO_CONTEXT && eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        auto get_string = reinterpret_cast<const unsigned char* (*)(unsigned int)>(eglGetProcAddress("glGetString"));
        made = get_string && get_string(0x1F01 /* GL_RENDERER */);
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
    eglTerminate(display);
    return made;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
    ExitWhenShown hook;
    const char* exit_when_shown = std::getenv("SETUP_EXIT_WHEN_SHOWN");
    if (exit_when_shown && *exit_when_shown) app.installEventFilter(&hook);

    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0 || !open_one_gl_context(SDL_GetCurrentVideoDriver())) {
        std::fprintf(stderr, "floor_qt_display: no SDL video or no OpenGL context on this display\n");
        return 1;
    }

    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Floor dialog"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* button = new QPushButton(QStringLiteral("OK"), &dialog);
    QObject::connect(button, &QPushButton::clicked, &dialog, &QDialog::accept);
    layout->addWidget(button);
    const int result = dialog.exec() == QDialog::Accepted ? 0 : 1;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return result;
}
