#include "windows/OVFramelessWindow.h"

#include <QWidget>

// The images live in a static library, whose resource registration the
// linker would otherwise drop. Q_INIT_RESOURCE must be used outside any
// namespace.
static void registerImages() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(updater);
        return true;
    }();
    (void)registered;
}

void makeTranslucent(QWidget* window) {
    registerImages();
    window->setAttribute(Qt::WA_TranslucentBackground);
    window->setStyleSheet(QStringLiteral("background-color: rgba(255, 255, 255, 0);"));
}
