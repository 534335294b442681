// Opens the browser build's site in Chromium (tests/lib/browser.cjs) and
// watches its startup drop, as startupprobe does the desktop window; with
// --bare, the floor page (bench/barepage) too, the two taking turns in the
// same run and the same Chromium:
//
//   pageprobe.cjs SITE [--bare] [--runs N] [--from R] [--rest N]
//                 [--rest-wait S] [--rest-for S] [--ticks PREFIX] [--autoplay]
//
// SITE is the folder of the built site, served as it is from 127.0.0.1; the
// floor page is served from a folder of its own, with the ball's pictures
// from assets/ beside it. --runs: N rounds (default 1), each of them opening
// Zorbel and the floor page once, in the order ABBA BAAB... so neither always
// goes first; --from: the first is round R (default 1), for a caller that
// runs one round at a time. --rest: in rounds 1 to N (default 0) also the CPU
// at rest, before and after a click on the ball. --ticks: the ticks of
// Zorbel's interval timers during the drop go to PREFIX.ROUND, one "NS TIMER"
// line each, as bench/ticktrace.cpp writes them; only tmrAnimate runs in the
// startup drop. --autoplay: the page may play sound before any gesture (its
// cues then sound in the startup drop); by default it may not, as for a
// visitor.
//
// Prints one line per page opened, "who=page ..." for Zorbel and
// "who=page_bare ..." for the floor page, of key=value figures:
//
// frame_ms              navigation to the first frame with the ball: the
//                       paint the ball's picture first appears in (Element
//                       Timing)
// drop_wall_ms          from then until the title reads "10"
// drop_cpu_percent      CPU of all Chromium's processes over that time, in %
//                       of one core
// renderer_cpu_percent  the same for the page's renderer alone
// steady_cpu_percent, steady_renderer_cpu_percent
//                       the same from the third contact to the tenth: apart
//                       from the browser's own start, which the first frame
//                       of a quick page still falls in
// idle_cpu_percent      all processes, at rest for --rest-for seconds
//                       (default 4) a second after the drop, before any
//                       gesture (with --rest)
// activated             1 if the page had had a user gesture by then: the
//                       probe reads the page without giving it one, so 0
// click_cpu_percent     all processes from a click on the ball (the mouse,
//                       as a visitor clicks) for --rest-wait seconds
//                       (default 12): the cues it sounds and what follows
// rest_cpu_percent      all processes, at rest for --rest-for seconds after
//                       that
// rest_renderer_cpu_percent, rest_audio_cpu_percent
//                       the same for the renderer and the audio service
// site_bytes, site_gzip_bytes
//                       the site as a static server sends it, raw and
//                       gzipped file by file
'use strict';
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const browser = require('../tests/lib/browser.cjs');

function parseArguments(argv) {
    const options = { site: null, bare: false, runs: 1, from: 1, rest: 0, restWait: 12, restFor: 4, ticks: null, autoplay: false };
    const numbers = { '--runs': 'runs', '--from': 'from', '--rest': 'rest', '--rest-wait': 'restWait', '--rest-for': 'restFor' };
    for (let i = 0; i < argv.length; i++) {
        const argument = argv[i];
        if (argument in numbers) {
            const value = Number(argv[++i]);
            if (!(value >= 0))
                throw new Error(`${argument} wants a number, not '${argv[i]}'`);
            options[numbers[argument]] = value;
        } else if (argument === '--ticks') {
            if (i + 1 >= argv.length)
                throw new Error(`${argument} wants a value`);
            options.ticks = argv[++i];
        } else if (argument === '--bare' || argument === '--autoplay') {
            options[argument.slice(2)] = true;
        } else if (options.site === null && !argument.startsWith('--')) {
            options.site = argument;
        } else {
            throw new Error(`unknown argument '${argument}'`);
        }
    }
    if (options.site === null)
        throw new Error('usage: pageprobe.cjs SITE [--bare] [--runs N] [--from R] [--rest N] [--rest-wait S] [--rest-for S] [--ticks PREFIX] [--autoplay]');
    return options;
}

// Nanoseconds on CPU of every thread of the processes started from this one:
// in all, for the renderers and for the audio service.
function cpuTotals() {
    const parents = new Map();
    for (const pid of fs.readdirSync('/proc').filter(name => /^\d+$/.test(name))) {
        try {
            const stat = fs.readFileSync(`/proc/${pid}/stat`, 'utf8');
            parents.set(pid, stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]);
        } catch (error) {
            // gone meanwhile
        }
    }
    const ours = pid => {
        for (let at = pid; at && at !== '1'; at = parents.get(at))
            if (at === String(process.pid))
                return at !== pid;
        return false;
    };
    const totals = { all: 0, renderer: 0, audio: 0 };
    for (const pid of parents.keys()) {
        if (!ours(pid))
            continue;
        let ns = 0;
        try {
            for (const task of fs.readdirSync(`/proc/${pid}/task`))
                ns += Number(fs.readFileSync(`/proc/${pid}/task/${task}/schedstat`, 'utf8').split(' ')[0]);
            const command = fs.readFileSync(`/proc/${pid}/cmdline`, 'utf8');
            totals.all += ns;
            if (command.includes('--type=renderer'))
                totals.renderer += ns;
            if (command.includes('--utility-sub-type=audio.mojom.AudioService'))
                totals.audio += ns;
        } catch (error) {
            // gone meanwhile
        }
    }
    return totals;
}

function mark() {
    return { cpu: cpuTotals(), wall: process.hrtime.bigint() };
}

// CPU between two marks, in % of one core, by the process kind.
function percent(start, end, key) {
    return (100 * (end.cpu[key] - start.cpu[key]) / Number(end.wall - start.wall)).toFixed(3);
}

// Before the page's own script: the ball's picture, the first image on the
// page, is timed, and the paint it first appears in is kept for the probe;
// Zorbel's interval timers note their ticks.
function instrument() {
    window.zorbelTicks = [];
    const setInterval = window.setInterval;
    window.setInterval = (callback, period, ...rest) => {
        const id = setInterval(() => {
            window.zorbelTicks.push([performance.now(), id]);
            callback(...rest);
        }, period);
        return id;
    };
    new MutationObserver((changes, observer) => {
        const ball = document.querySelector('img');
        if (ball) {
            ball.setAttribute('elementtiming', 'ball');
            observer.disconnect();
        }
    }).observe(document, { subtree: true, childList: true });
    window.zorbelFrame = new Promise(resolve => {
        new PerformanceObserver(list => {
            for (const entry of list.getEntries())
                if (entry.identifier === 'ball')
                    resolve(entry.renderTime || entry.loadTime);
        }).observe({ type: 'element', buffered: true });
    });
}

// Reads the page through the DevTools protocol without a user gesture, which
// playwright's page.evaluate would give it (and so wake its audio).
async function reader(page) {
    const session = await page.context().newCDPSession(page);
    return async (expression, seconds, what) => {
        let timer;
        const late = new Promise((resolve, reject) => {
            timer = setTimeout(() => reject(new Error(`no ${what} after ${seconds} s`)), seconds * 1000);
        });
        try {
            const { result, exceptionDetails } = await Promise.race([
                session.send('Runtime.evaluate', { expression, awaitPromise: true, returnByValue: true }),
                late,
            ]);
            if (exceptionDetails)
                throw new Error(`reading ${what}: ${exceptionDetails.exception ? exceptionDetails.exception.description : exceptionDetails.text}`);
            return result.value;
        } finally {
            clearTimeout(timer);
        }
    };
}

// The floor page and the pictures it shows, in a fresh folder.
function bareSite() {
    const top = path.join(__dirname, '..');
    const folder = fs.mkdtempSync(path.join(require('os').tmpdir(), 'barepage-'));
    fs.copyFileSync(path.join(top, 'bench', 'barepage', 'index.html'), path.join(folder, 'index.html'));
    for (const name of ['ball.bmp', 'ball@2x.png'])
        fs.copyFileSync(path.join(top, 'assets', name), path.join(folder, name));
    return folder;
}

// Every file of the site, in subfolders too.
function siteSize(site) {
    let raw = 0;
    let gzipped = 0;
    for (const entry of fs.readdirSync(site, { withFileTypes: true })) {
        const file = path.join(site, entry.name);
        if (entry.isDirectory()) {
            const inside = siteSize(file);
            raw += inside.site_bytes;
            gzipped += inside.site_gzip_bytes;
        } else if (entry.isFile()) {
            const bytes = fs.readFileSync(file);
            raw += bytes.length;
            gzipped += zlib.gzipSync(bytes, { level: 9 }).length;
        }
    }
    return { site_bytes: raw, site_gzip_bytes: gzipped };
}

// Until the title counts `count` contacts or more: a poll may miss the
// title's passing through `count` itself on a busy machine.
async function countsFrom(opened, count, seconds) {
    const until = Date.now() + seconds * 1000;
    let now;
    while (!(Number(now = await opened.title()) >= count)) {
        if (Date.now() > until)
            throw new Error(`the title is '${now}' after ${seconds} s, not ${count} contacts or more`);
        await browser.sleep(20);
    }
}

// One visit: the figures of one page, as key=value pairs.
async function visit(site, { rest, restWait, restFor, ticksFile, autoplay }) {
    const figures = {};
    const opened = await browser.open(site, { autoplay, before: instrument });
    try {
        const read = await reader(opened.page);
        figures.frame_ms = (await read('window.zorbelFrame', 30, 'frame with the ball')).toFixed(2);
        const start = mark();
        await countsFrom(opened, 3, 30);
        const steady = mark();
        await opened.waitTitle('10', 30);
        const end = mark();
        figures.drop_wall_ms = (Number(end.wall - start.wall) / 1e6).toFixed(2);
        figures.drop_cpu_percent = percent(start, end, 'all');
        figures.renderer_cpu_percent = percent(start, end, 'renderer');
        figures.steady_cpu_percent = percent(steady, end, 'all');
        figures.steady_renderer_cpu_percent = percent(steady, end, 'renderer');
        if (rest) {
            // The ball's timer stops a tick after it comes to rest.
            await browser.sleep(1000);
            const idle = mark();
            await browser.sleep(restFor * 1000);
            figures.idle_cpu_percent = percent(idle, mark(), 'all');
            figures.activated = await read('navigator.userActivation.hasBeenActive ? 1 : 0', 5, 'user activation');
            const box = await read(`(() => {
                const ball = document.querySelector('img').getBoundingClientRect();
                return [ball.left + ball.width / 2, ball.top + ball.height / 2];
            })()`, 5, 'ball on the page');
            const click = mark();
            await opened.page.mouse.click(box[0], box[1]);
            await browser.sleep(restWait * 1000);
            const rested = mark();
            figures.click_cpu_percent = percent(click, rested, 'all');
            await browser.sleep(restFor * 1000);
            const restEnd = mark();
            figures.rest_cpu_percent = percent(rested, restEnd, 'all');
            figures.rest_renderer_cpu_percent = percent(rested, restEnd, 'renderer');
            figures.rest_audio_cpu_percent = percent(rested, restEnd, 'audio');
        }
        if (ticksFile) {
            const ticks = await read('window.zorbelTicks', 5, 'ticks');
            fs.writeFileSync(ticksFile, ticks.map(([ms, id]) => `${Math.round(ms * 1e6)} ${id}\n`).join(''));
        }
        if (opened.errors.length)
            throw new Error(`the page reported: ${opened.errors.join('; ')}`);
    } finally {
        await opened.close();
    }
    return figures;
}

async function main() {
    const options = parseArguments(process.argv.slice(2));
    const pages = [{ who: 'page', site: options.site }];
    if (options.bare)
        pages.push({ who: 'page_bare', site: bareSite() });
    try {
        await rounds(options, pages);
    } finally {
        if (options.bare)
            fs.rmSync(pages[1].site, { recursive: true, force: true });
    }
}

function median(data) {
    const ordered = [...data].sort((a, b) => a - b);
    const middle = Math.floor(ordered.length / 2);
    return ordered.length % 2 ? ordered[middle] : (ordered[middle - 1] + ordered[middle]) / 2;
}

async function rounds(options, pages) {
    const size = siteSize(options.site);
    const frames = { page: [], page_bare: [] };
    for (let round = options.from; round < options.from + options.runs; round++) {
        // ABBA BAAB ...: each page goes first as often as the other.
        const flip = [0, 1, 1, 0][(round - 1) % 4] ^ ((Math.floor((round - 1) / 4) % 2));
        const order = flip ? [...pages].reverse() : pages;
        for (const { who, site } of order) {
            const figures = await visit(site, {
                rest: round <= options.rest,
                restWait: options.restWait,
                restFor: options.restFor,
                ticksFile: options.ticks && who === 'page' ? `${options.ticks}.${round}` : null,
                autoplay: options.autoplay,
            });
            if (who === 'page')
                Object.assign(figures, size);
            frames[who].push(Number(figures.frame_ms));
            console.log(`who=${who} ${Object.entries(figures).map(([key, value]) => `${key}=${value}`).join(' ')}`);
        }
    }
    // The figures themselves go to stdout, for the caller to gather.
    if (options.bare) {
        const [zorbel, bare] = [median(frames.page), median(frames.page_bare)];
        console.error(`pageprobe: first frame with the ball, median of ${options.runs}: Zorbel ${zorbel.toFixed(1)} ms, ` +
            `floor page ${bare.toFixed(1)} ms, ${(zorbel / bare).toFixed(2)} x (goal <= 1.3 x)`);
    }
}

main().catch(error => {
    console.error(`pageprobe: ${error.message}`);
    process.exit(1);
});
