#include "displayconnection.h"
#include "form1.h"
#include "moddichiarazionicomuni.h"
#include "pulsesound.h"
#include "terminationsignals.h"

#include <QApplication>

#include <csignal>
#include <memory>
#include <optional>

int main(int argc, char *argv[])
{
    // A server that goes away while we write to it (the X server or the sound
    // server, as at logout) must read as a lost connection, which each side
    // handles, not end the program on the spot.
    std::signal(SIGPIPE, SIG_IGN);
    zorbel::QtErrorScreen errorScreen;
    zorbel::useErrorScreen(errorScreen);
    zorbel::DisplayConnection display;
    QApplication app(argc, argv);
    display.opened();
    QApplication::setApplicationName(QString::fromLatin1(zorbel::versionRecord::productName));
    QApplication::setApplicationVersion(QString::fromLatin1(zorbel::versionRecord::versionText));
    QApplication::setOrganizationName(QString::fromLatin1(zorbel::versionRecord::companyName));
    // Ties the window to the installed desktop entry and icon; under Wayland
    // it is the window's app id.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.zorbel.Zorbel"));

    // The sound module outlives the window: its buffer holds the last cue's
    // bytes while the sound server may still be reading them.
    zorbel::sound::modDichiarazioniComuni sounds(std::make_unique<zorbel::sound::PulseSound>());
    zorbel::TerminationSignals terminationSignals([] { QCoreApplication::exit(EXIT_SUCCESS); });
    // Built inside a handler too: a picture missing from the executable ends
    // the program through the same fatal-error path as any run-time error.
    std::optional<zorbel::Form1> form;
    zorbel::runHandler([&] {
        form.emplace(sounds, [] { QCoreApplication::exit(EXIT_SUCCESS); });
        form->Form_Load();
    });
    return QApplication::exec();
}
