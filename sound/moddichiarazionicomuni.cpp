#include "moddichiarazionicomuni.h"

#include <QFile>
#include <QString>

#include <stdexcept>
#include <string>

namespace {

QByteArray loadSoundResource(std::int16_t id)
{
    QFile resource(QStringLiteral(":/CUSTOM/%1").arg(id));
    if (!resource.open(QIODevice::ReadOnly))
        throw std::runtime_error("sound resource " + std::to_string(id) + " (CUSTOM) is missing");
    return resource.readAll();
}

} // namespace

void modDichiarazioniComuni::PlaySoundResource(std::int16_t id)
{
    auto cached = m_resources.constFind(id);
    if (cached == m_resources.cend())
        cached = m_resources.insert(id, loadSoundResource(id));

    // The player gets a shared copy of these bytes and keeps it until its next
    // cue has started, so replacing soundBuffer here never frees a sound that
    // is still being handed to the server.
    soundBuffer = *cached;
    m_player.play(soundBuffer);
}
