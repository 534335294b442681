#include "qttoolkit.h"

#include "terminationsignals.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

namespace zorbel {
namespace {

bool hasDisplay()
{
    const QString platform = QGuiApplication::platformName();
    return !platform.isEmpty() && platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

} // namespace

void QtErrorScreen::stopInput()
{
    TerminationSignals::programFailing();
    if (!qApp)
        return;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        for (QTimer *timer : window->findChildren<QTimer *>())
            timer->stop();
        window->setEnabled(false);
    }
}

void QtErrorScreen::showError(std::string_view text)
{
    if (!qApp || !hasDisplay())
        return;
    QMessageBox::critical(nullptr, QStringLiteral("Zorbel"), QString::fromUtf8(text.data(), qsizetype(text.size())));
}

} // namespace zorbel
