#include "pulsesound.h"

#include "runtimeerror.h"

#include <QFile>
#include <QString>

#include <string>

namespace zorbel::sound {

// The sounds are Qt resources under the prefix of their type (assets/CMakeLists.txt).
std::vector<std::uint8_t> PulseSound::resource(std::int16_t id)
{
    QFile resource(QStringLiteral(":/CUSTOM/%1").arg(id));
    if (!resource.open(QIODevice::ReadOnly))
        throw RuntimeError("sound resource " + std::to_string(id) + " (CUSTOM) is missing");
    const QByteArray bytes = resource.readAll();
    return { bytes.begin(), bytes.end() };
}

} // namespace zorbel::sound
