#pragma once

// Every updater test program runs with a Qt application object (a
// QApplication where UPDATER_TEST_WIDGETS is defined) and a home
// folder of its own (HOME and the XDG folders), made before the first test,
// so that the application-data location, update.ini and the log start out
// absent.

#include <QByteArray>
#include <QString>
#include <functional>

namespace updatertest {

// The program's home folder.
QString testHome();
// The per-user "peza-studio" folder under it, ending in "/".
QString studioFolder();

// Runs the Qt event loop until done() holds or the time is up; false then.
bool processEventsUntil(const std::function<bool()>& done, int timeoutMs);

// Writes a file, making its folders; reads one ("<missing>" when absent).
bool writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

}  // namespace updatertest
