// Opens the browser build's site in Chromium (tests/lib/browser.cjs, the
// autoplay policy relaxed so its cues play as on the desktop) and watches
// its startup drop, as startupprobe does the desktop window:
//
//   pageprobe.cjs SITE TICKS_FILE
//
// frame_ms              navigation to the first frame with the ball: the
//                       paint the ball's picture first appears in (Element
//                       Timing)
// drop_cpu_percent      CPU of all Chromium's processes from then until the
//                       title reads "10", in % of one core
// renderer_cpu_percent  the same for the page's renderer alone
//
// The ticks of the page's interval timers during the drop go to TICKS_FILE,
// one "NS TIMER" line each, as bench/ticktrace.cpp writes them; only
// tmrAnimate runs in the startup drop. Prints key=value lines.
'use strict';
const fs = require('fs');
const path = require('path');
const browser = require('../tests/lib/browser.cjs');

const [site, ticksFile] = process.argv.slice(2);

// Nanoseconds on CPU of every thread of the processes started from this one,
// in all and for the renderers alone.
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
    const totals = { all: 0, renderer: 0 };
    for (const pid of parents.keys()) {
        if (!ours(pid))
            continue;
        let ns = 0;
        try {
            for (const task of fs.readdirSync(`/proc/${pid}/task`))
                ns += Number(fs.readFileSync(`/proc/${pid}/task/${task}/schedstat`, 'utf8').split(' ')[0]);
            totals.all += ns;
            if (fs.readFileSync(`/proc/${pid}/cmdline`, 'utf8').includes('--type=renderer'))
                totals.renderer += ns;
        } catch (error) {
            // gone meanwhile
        }
    }
    return totals;
}

async function main() {
    const zorbel = await browser.open(site, {
        autoplay: true,
        // Before the program's script: its interval timers note their ticks,
        // and the ball's picture, the first image it adds, is timed.
        before: () => {
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
        },
    });
    const frameMs = await zorbel.page.evaluate(() => new Promise(resolve => {
        new PerformanceObserver(list => {
            for (const entry of list.getEntries())
                if (entry.identifier === 'ball')
                    resolve(entry.renderTime || entry.loadTime);
        }).observe({ type: 'element', buffered: true });
    }));
    const start = { cpu: cpuTotals(), wall: process.hrtime.bigint() };
    await zorbel.waitTitle('10', 30);
    const end = { cpu: cpuTotals(), wall: process.hrtime.bigint() };
    const ticks = await zorbel.page.evaluate(() => window.zorbelTicks);
    await zorbel.close();

    fs.writeFileSync(ticksFile, ticks.map(([ms, id]) => `${Math.round(ms * 1e6)} ${id}\n`).join(''));
    const wallNs = Number(end.wall - start.wall);
    const percent = key => (100 * (end.cpu[key] - start.cpu[key]) / wallNs).toFixed(3);
    console.log(`frame_ms=${frameMs.toFixed(2)}`);
    console.log(`drop_wall_ms=${(wallNs / 1e6).toFixed(2)}`);
    console.log(`drop_cpu_percent=${percent('all')}`);
    console.log(`renderer_cpu_percent=${percent('renderer')}`);
    // The site as a static server would send it, and gzipped file by file.
    let raw = 0;
    let gzipped = 0;
    for (const name of fs.readdirSync(site)) {
        const bytes = fs.readFileSync(path.join(site, name));
        raw += bytes.length;
        gzipped += require('zlib').gzipSync(bytes, { level: 9 }).length;
    }
    console.log(`site_bytes=${raw}`);
    console.log(`site_gzip_bytes=${gzipped}`);
}

main().catch(error => {
    console.error(`pageprobe: ${error.message}`);
    process.exit(1);
});
