#pragma once

#include "audioplayer.h"
#include "cues.h"

#include <QByteArray>
#include <QHash>

#include <cstdint>

// The program's shared sound module: plays the embedded cues through the sound
// server. Owns the player and with it the player's thread; destroy it before
// the application object.
class modDichiarazioniComuni : public zorbel::sound::Cues {
public:
    // Plays the embedded resource :/CUSTOM/<id> and returns at once. Throws
    // std::runtime_error if the program carries no such resource.
    void PlaySoundResource(std::int16_t id) override;

    // The image of the last cue asked for, exactly as embedded.
    const QByteArray &currentSound() const { return soundBuffer; }

private:
    zorbel::sound::AudioPlayer m_player;
    QHash<std::int16_t, QByteArray> m_resources; // embedded files never change, so each is read once
    QByteArray soundBuffer;
};
