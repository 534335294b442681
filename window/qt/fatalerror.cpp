#include "../platform.h"

#include "terminationsignals.h"

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

namespace zorbel::platform {
namespace {

bool hasDisplay()
{
    const QString platform = QGuiApplication::platformName();
    return !platform.isEmpty() && platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

} // namespace

void stopEvents()
{
    TerminationSignals::programFailing();
    if (!qApp)
        return;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        for (QTimer *timer : window->findChildren<QTimer *>())
            timer->stop();
        // The toolkit's timers are kernel timers watched by notifiers.
        for (QSocketNotifier *timer : window->findChildren<QSocketNotifier *>())
            timer->setEnabled(false);
        window->setEnabled(false);
    }
}

void showError(std::string_view text)
{
    if (!qApp || !hasDisplay())
        return;
    QMessageBox::critical(nullptr, QStringLiteral("Zorbel"), QString::fromUtf8(text.data(), qsizetype(text.size())));
}

} // namespace zorbel::platform
