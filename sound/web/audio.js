// The player of the browser build (sound/web/soundplayer.cpp): a cue's
// samples go into a Web Audio buffer of their own rate, and one source plays
// it, stopping the source still sounding.
//
// Until the page has had a user gesture the browser keeps the audio context
// suspended: the cues then sound nowhere, as without a sound server. The first
// gesture resumes it, and the cues that were waiting in the suspended context
// are dropped first, so they do not sound late.
//
// The context's clock moves on only as the audio thread renders, in steps of
// its buffer, which grow on a busy machine. Two cues asked for a tick apart
// can then read the same time, and the first would be cut before it is ever
// heard: each cue starts as long after the one it cuts as it was asked
// after it, and at least a tick after. So it goes too while a new context
// has yet to start, as the browser's audio service may take a while to, and
// while a rested one wakes: their clock stands still meanwhile.
//
// Some seconds after the last cue has played out the context is suspended,
// so a page at rest costs nothing, and the next cue resumes it.
var zorbelAudio = {
    context: null,
    source: null, // the cue that may still be sounding
    sources: new Set(), // every cue sounding or waiting to, until it ends
    startedAt: 0, // its start, on the context's clock
    askedAt: 0, // when it was asked for, on the page's clock
    shortestCue: 0.010,
    gestures: ['pointerdown', 'pointerup', 'keydown', 'touchend'],
    resting: false, // suspended by the player, not held by the browser's autoplay policy
    waking: null, // the resume of a rested context, until it has run
    restTimer: 0,

    play(samples, channels, rate, bits, restAfterMs, asked = performance.now()) {
        const context = this.open();
        if (!context)
            return false;
        if (this.resting) {
            this.resting = false;
            const waking = this.waking = context.resume().finally(() => {
                if (this.waking === waking)
                    this.waking = null;
            });
        }
        // A woken output may drop what it is given before it runs again: the
        // cues wait for it, in order and as far apart as they were asked.
        if (this.waking) {
            const cue = [samples.slice(), channels, rate, bits, restAfterMs, asked];
            this.waking.then(() => this.play(...cue));
            return true;
        }
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
        let at = context.currentTime;
        if (this.source)
            at = Math.max(at, this.startedAt + Math.max((asked - this.askedAt) / 1000, this.shortestCue));
        this.stop(at);
        const source = context.createBufferSource();
        source.buffer = buffer;
        source.connect(context.destination);
        source.onended = () => {
            this.sources.delete(source);
            if (this.source === source)
                this.source = null;
        };
        this.sources.add(source);
        source.start(at);
        this.source = source;
        this.startedAt = at;
        this.askedAt = asked;
        this.restLater((at - context.currentTime + buffer.duration) * 1000 + restAfterMs);
        return true;
    },

    restLater(milliseconds) {
        clearTimeout(this.restTimer);
        this.restTimer = setTimeout(() => {
            if (!this.context || this.context.state !== 'running' || this.waking)
                return;
            this.resting = true;
            this.context.suspend();
        }, milliseconds);
    },

    // Stops the cue still sounding, now or at the context's time `at`.
    stop(at = 0) {
        if (!this.source)
            return;
        this.source.stop(at);
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
            if (this.context.state !== 'suspended' || this.resting)
                return;
            for (const source of this.sources)
                source.stop();
            this.sources.clear();
            this.source = null;
            this.context.resume();
        };
        // Capturing on the window, so this runs before the press reaches the ball.
        for (const gesture of this.gestures)
            window.addEventListener(gesture, this.resumeOnGesture, true);
        return this.context;
    },

    close() {
        clearTimeout(this.restTimer);
        this.stop();
        if (!this.context)
            return;
        for (const gesture of this.gestures)
            window.removeEventListener(gesture, this.resumeOnGesture, true);
        this.context.close();
        this.context = null;
    },
};
