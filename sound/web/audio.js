// The player of the browser build (sound/web/soundplayer.cpp): a cue's
// samples go into a Web Audio buffer of their own rate, and one source plays
// it, stopping the source still sounding.
//
// Until the page has had a user gesture the browser keeps the audio context
// suspended: the cues then sound nowhere, as without a sound server. The first
// gesture resumes it, and the cue that was waiting in the suspended context
// is dropped first, so it does not sound late.
var zorbelAudio = {
    context: null,
    source: null,
    gestures: ['pointerdown', 'pointerup', 'keydown', 'touchend'],

    play(samples, channels, rate, bits) {
        this.stop();
        const context = this.open();
        if (!context)
            return false;
        const bytesPerSample = bits / 8;
        const frames = samples.length / (channels * bytesPerSample);
        let buffer;
        try {
            buffer = context.createBuffer(channels, frames, rate);
        } catch (error) {
            return false; // a rate or channel count Web Audio does not take
        }
        for (let channel = 0; channel < channels; ++channel) {
            const out = buffer.getChannelData(channel);
            for (let frame = 0, at = channel * bytesPerSample; frame < frames; ++frame, at += channels * bytesPerSample)
                out[frame] = bits === 8 ? (samples[at] - 128) / 128 : ((samples[at] | samples[at + 1] << 8) << 16 >> 16) / 32768;
        }
        const source = context.createBufferSource();
        source.buffer = buffer;
        source.connect(context.destination);
        source.start();
        this.source = source;
        return true;
    },

    stop() {
        if (!this.source)
            return;
        this.source.stop();
        this.source.disconnect();
        this.source = null;
    },

    open() {
        if (this.context)
            return this.context;
        try {
            this.context = new AudioContext();
        } catch (error) {
            return null; // no audio output at all: silence
        }
        this.resumeOnGesture = () => {
            if (this.context.state !== 'suspended')
                return;
            this.stop();
            this.context.resume();
        };
        // Capturing on the window, so this runs before the press reaches the ball.
        for (const gesture of this.gestures)
            window.addEventListener(gesture, this.resumeOnGesture, true);
        return this.context;
    },

    close() {
        this.stop();
        if (!this.context)
            return;
        for (const gesture of this.gestures)
            window.removeEventListener(gesture, this.resumeOnGesture, true);
        this.context.close();
        this.context = null;
    },
};
