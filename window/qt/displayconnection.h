#pragma once

#include <QAbstractNativeEventFilter>

namespace zorbel {

// The program's hold on its display, from before the QApplication exists to
// the end of main. Each way the display can fail the program ends it with one
// line on stderr and exit status 1:
// - no display to open at start, where Qt would abort with a core dump;
// - the display lost while running, as at logout: Qt reports the broken
//   connection and calls exit() (or qFatal), and the program then ends at
//   once, running no destructor or exit handler that could wait on a sound
//   server going away at the same moment;
// - the window destroyed by another client, which Qt would outlive as an
//   invisible process.
//
// Made first in main: construct it before the QApplication, call opened()
// once the QApplication exists, and let it be destroyed last, so that only
// main's own return ends the program through exit's clean-up.
class DisplayConnection final : public QAbstractNativeEventFilter {
public:
    DisplayConnection();
    ~DisplayConnection() override;
    DisplayConnection(const DisplayConnection &) = delete;
    DisplayConnection &operator=(const DisplayConnection &) = delete;

    void opened();

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;
};

} // namespace zorbel
