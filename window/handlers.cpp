#include "handlers.h"

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace zorbel {
namespace {

bool ending = false;

bool hasDisplay()
{
    const QString platform = QGuiApplication::platformName();
    return !platform.isEmpty() && platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

} // namespace

void runHandler(const std::function<void()> &handler)
{
    if (ending)
        return;
    try {
        handler();
    } catch (const std::exception &error) {
        fatalError(error.what());
    }
}

void fatalError(std::string_view message)
{
    // The message box runs a nested event loop: without this, ticks and clicks
    // would keep running handlers on a model that has already failed.
    ending = true;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        for (QTimer *timer : window->findChildren<QTimer *>())
            timer->stop();
        for (QSocketNotifier *timer : window->findChildren<QSocketNotifier *>())
            timer->setEnabled(false);
        window->setEnabled(false);
    }

    std::fprintf(stderr, "Zorbel: fatal error: %.*s\n", static_cast<int>(message.size()), message.data());
    std::fflush(stderr);
    if (qApp && hasDisplay()) {
        QMessageBox::critical(nullptr, QStringLiteral("Zorbel"),
            QStringLiteral("Errore di esecuzione: %1").arg(QString::fromUtf8(message.data(), qsizetype(message.size()))));
    }
    // Nothing is left to save, and unwinding would run handlers' destructors
    // on a model in an unknown state.
    std::_Exit(EXIT_FAILURE);
}

} // namespace zorbel
