#pragma once

#include <QPoint>
#include <QWidget>

// Moves a frameless window with the mouse: a press arms dragging (unless the
// window refuses that press), moves follow the pointer, a release disarms.
class OVWindowDrag {
public:
    void press(const QPoint& localPos, bool arm) {
        dragging = arm;
        if (arm) pressPos = localPos;
    }
    void move(QWidget* window, const QPoint& localPos) const {
        if (dragging) window->move(window->pos() + localPos - pressPos);
    }
    void release() { dragging = false; }

    QPoint pressPos;
    bool dragging = false;
};
