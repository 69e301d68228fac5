#pragma once

class QWidget;

// The set-up every updater window gets after building its form: a
// translucent background, so that only the rounded panel shows. Also makes
// sure the window images are registered.
void makeTranslucent(QWidget* window);
