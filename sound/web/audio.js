// The page's side of the browser's player (sound/web/soundplayer.cpp), which
// decides what plays when (ClockedSchedule, sound/cueschedule.h): here a cue's
// samples go into a Web Audio buffer of their own rate, and one source plays
// it at the time it is given, stopping the source still sounding then.
//
// Until the page has had a user gesture the browser keeps the audio context
// suspended: the cues then sound nowhere, as without a sound server. The first
// gesture resumes it (the player drops the cues that were waiting in it
// first, so they do not sound late).
var zorbelAudio = {
    context: null,
    source: null, // the cue that may still be sounding
    sources: new Set(), // every cue sounding or waiting to, until it ends
    gestures: ['pointerdown', 'pointerup', 'keydown', 'touchend'],

    // The cue's length in seconds, or -1 for a rate or channel count Web
    // Audio does not take.
    start(samples, channels, rate, bits, at) {
        const context = this.context;
        const bytesPerSample = bits / 8;
        const frames = samples.length / (channels * bytesPerSample);
        let buffer;
        try {
            buffer = context.createBuffer(channels, frames, rate);
        } catch (error) {
            return -1;
        }
        for (let channel = 0; channel < channels; ++channel) {
            const out = buffer.getChannelData(channel);
            for (let frame = 0, at = channel * bytesPerSample; frame < frames; ++frame, at += channels * bytesPerSample)
                out[frame] = bits === 8 ? (samples[at] - 128) / 128 : ((samples[at] | samples[at + 1] << 8) << 16 >> 16) / 32768;
        }
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
        return buffer.duration;
    },

    // Stops the cue still sounding, now or at the context's time `at`.
    stop(at = 0) {
        if (!this.source)
            return;
        this.source.stop(at);
        this.source = null;
    },

    stopAll() {
        for (const source of this.sources)
            source.stop();
        this.sources.clear();
        this.source = null;
    },

    // With `tell`, tells the player once the context runs again and its
    // output plays, or failed to.
    resume(tell) {
        const resumed = this.context.resume();
        if (tell)
            resumed.then(() => this.whenPlaying(() => _zorbel_audioResumed(1)), () => _zorbel_audioResumed(0));
    },

    // A new context runs before its output does: what it renders until the
    // output has started is lost (on a busy machine, the first cue of a
    // visit). Calls back once the output's clock has moved, or after a
    // second at the most; not at all once the context is closed.
    whenPlaying(then) {
        const context = this.context;
        const until = performance.now() + 1000;
        const look = () => {
            if (this.context !== context)
                return;
            const stamp = context.getOutputTimestamp ? context.getOutputTimestamp() : null;
            if (!stamp || stamp.contextTime > 0 || performance.now() > until)
                then();
            else
                setTimeout(look, 10);
        };
        look();
    },

    // 0: no audio output at all (silence), 1: the context there was, 2: a new one.
    open() {
        if (this.context)
            return 1;
        try {
            this.context = new AudioContext();
        } catch (error) {
            return 0;
        }
        // Capturing on the window, so this runs before the press reaches the ball.
        for (const gesture of this.gestures)
            window.addEventListener(gesture, _zorbel_audioGesture, true);
        return 2;
    },

    close() {
        this.stop();
        if (!this.context)
            return;
        for (const gesture of this.gestures)
            window.removeEventListener(gesture, _zorbel_audioGesture, true);
        this.context.close();
        this.context = null;
    },
};
