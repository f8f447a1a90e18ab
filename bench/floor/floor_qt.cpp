// The floor for the native program's start-up: the least a Qt Widgets dialog
// costs. One QDialog with a button, the same style and the same
// SETUP_EXIT_WHEN_SHOWN hook as the program.
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QPushButton>
#include <QStyleFactory>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>

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

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
    ExitWhenShown hook;
    const char* exit_when_shown = std::getenv("SETUP_EXIT_WHEN_SHOWN");
    if (exit_when_shown && *exit_when_shown) app.installEventFilter(&hook);

    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Floor dialog"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* button = new QPushButton(QStringLiteral("OK"), &dialog);
    QObject::connect(button, &QPushButton::clicked, &dialog, &QDialog::accept);
    layout->addWidget(button);
    return dialog.exec() == QDialog::Accepted ? 0 : 1;
}
