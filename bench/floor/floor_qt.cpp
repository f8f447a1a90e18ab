// The floors for the native program's start-up: the least a Qt Widgets
// dialog costs (floor_qt: one QDialog with a button, the program's style and
// start-up hook) and, built with FLOOR_WITH_DISPLAY (floor_qt_display), the
// same plus what the display probe cannot do without: SDL's video subsystem
// on the display and one OpenGL context made current through EGL on the
// windowing system SDL uses.
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QStyleFactory>
#include <QVBoxLayout>
#include <cstdio>

#include "exit_when_shown.h"

#ifdef FLOOR_WITH_DISPLAY
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <SDL.h>

#include <cstring>

namespace {

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
#endif

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
    exit_when_shown(app);

#ifdef FLOOR_WITH_DISPLAY
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // As the program: no SDL window is shown, so libdecor is never loaded.
    SDL_SetHint(SDL_HINT_VIDEO_WAYLAND_ALLOW_LIBDECOR, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0 || !open_one_gl_context(SDL_GetCurrentVideoDriver())) {
        std::fprintf(stderr, "floor_qt_display: no SDL video or no OpenGL context on this display\n");
        return 1;
    }
#endif

    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Floor dialog"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* button = new QPushButton(QStringLiteral("OK"), &dialog);
    QObject::connect(button, &QPushButton::clicked, &dialog, &QDialog::accept);
    layout->addWidget(button);
    const int result = dialog.exec() == QDialog::Accepted ? 0 : 1;
#ifdef FLOOR_WITH_DISPLAY
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
#endif
    return result;
}
