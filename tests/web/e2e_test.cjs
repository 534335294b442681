// The site in Chromium, one group of cases per run (e2e_test.sh runs them
// with the sound recorded where it counts):
//
//   e2e_test.cjs SITE WORK startup  autoplay relaxed: the startup drop counts
//                                   1 to 10; screenshot WORK/settled.png
//   e2e_test.cjs SITE WORK gesture  autoplay as for a visitor: the startup
//                                   drop, then a drop from Top 150 by the
//                                   mouse; Tab to the button and Enter
//   e2e_test.cjs SITE WORK input    the accessibility tree; mouse, touch and
//                                   cancelled touch drags, a throw, the close button
//   e2e_test.cjs SITE WORK offline  autoplay relaxed, SITE a copy to change: the
//                                   manifest, icons and favicon; the startup drop
//                                   three times: kept by the service worker, after
//                                   a new build, and with the network gone
'use strict';
const { execFileSync } = require('child_process');
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const browser = require('../lib/browser.cjs');

const [site, work, group] = process.argv.slice(2);

// The ball rests at 399, 354 after the startup drop; it is taken 40, 37 inside.
const rest = { left: 399, top: 354 };
const grab = { x: rest.left + 40, y: rest.top + 37 };
const heldTop = 150;
const counts = Array.from({ length: 10 }, (_, index) => String(index + 1));

function check(condition, message) {
    if (!condition)
        throw new Error(message);
}

// The titles the page has had since it had `from`: "1" to "10", each once,
// in order.
async function checkCount(zorbel, from, what) {
    await zorbel.page.waitForFunction(from => window.zorbelTitles.slice(from).includes('10'), from, { timeout: 30000 })
        .catch(() => null);
    const titles = (await zorbel.titles()).slice(from);
    check(JSON.stringify(titles) === JSON.stringify(counts), `${what}: the title went ${titles.join(' ')}, not 1 to 10`);
}

// Waits until the ball has stayed at one Top for half a second; returns it.
async function waitStill(zorbel) {
    let previous = null;
    for (let same = 0, tries = 0; same < 3; ++tries) {
        check(tries < 100, 'the ball does not come to rest');
        await browser.sleep(200);
        const top = await zorbel.ballTop();
        same = top === previous ? same + 1 : 0;
        previous = top;
    }
    return previous;
}

// Takes the ball at the grab point by `press`, carries it to Top 150 along
// `move` and holds it there still, then lets go by `release`: it falls
// back and counts 1 to 10. The page is read only after the press.
async function dropFromTop150(zorbel, what, { press, move, release }) {
    await press(grab.x, grab.y);
    const before = (await zorbel.titles()).length;
    const steps = 5;
    for (let step = 1; step <= steps; ++step)
        await move(grab.x, grab.y + ((heldTop - rest.top) * step) / steps);
    await browser.sleep(150);
    const top = await zorbel.ballTop();
    check(top >= heldTop && top <= heldTop + 2, `${what}: the held ball is at Top ${top}, not ${heldTop}`);
    const label = await zorbel.page.evaluate(() => getComputedStyle(document.querySelector('div')).visibility);
    check(label === 'hidden', `${what}: the instruction line is still ${label} after the press`);
    await release(grab.x, grab.y + heldTop - rest.top);
    await checkCount(zorbel, before, what);
    const rested = await waitStill(zorbel);
    check(rested === rest.top, `${what}: the ball came to rest at Top ${rested}, not on the floor (${rest.top})`);
}

// Before the program starts: notes when the page's interval timers tick and
// when pointer moves and releases reach it.
function noteTimes() {
    const times = window.zorbelTimes = { ticks: [], moves: [], releases: [] };
    const setInterval = window.setInterval;
    window.setInterval = (callback, period, ...rest) => setInterval(() => {
        times.ticks.push(performance.now());
        callback(...rest);
    }, period);
    window.addEventListener('pointerrawupdate', () => times.moves.push(performance.now()), true);
    window.addEventListener('pointerup', () => times.releases.push(performance.now()), true);
}

// Takes the ball at rest and flicks it upward, 20 px every 5 ms and let go
// while still moving. Returns the highest Top it reached in the next 1.5 s,
// and whether the flick reached the page as one: the ball is thrown by the
// movement the drag sampler saw in its last tick before the release, and a
// busy machine may deliver the moves and the release together, after a tick
// that saw none.
async function throwUpward(zorbel) {
    const highest = zorbel.page.evaluate(() => new Promise(resolve => {
        const ball = document.querySelector('img');
        const end = performance.now() + 1500;
        let highest = Infinity;
        const look = () => {
            highest = Math.min(highest, ball.getBoundingClientRect().top);
            if (performance.now() < end)
                requestAnimationFrame(look);
            else
                resolve(highest);
        };
        look();
    }));
    await zorbel.page.mouse.move(grab.x, grab.y);
    await zorbel.page.mouse.down();
    await browser.sleep(50);
    await zorbel.flick(Array.from({ length: 8 }, (_, step) => [grab.x, grab.y - 20 * (step + 1)]), 5);
    const peak = await highest;
    const delivered = await zorbel.page.evaluate(() => {
        const times = window.zorbelTimes;
        const release = times.releases[times.releases.length - 1];
        const ticks = times.ticks.filter(tick => tick < release);
        const [previous, last] = ticks.slice(-2);
        return times.moves.some(move => move > previous && move < last);
    });
    return { peak, delivered };
}

// After `action` the program has ended: nothing is left on the page, which
// is black and keeps its title; or the browser closed the window.
async function endsBy(zorbel, what, action) {
    const title = await zorbel.title();
    await action();
    let left = null;
    for (let tries = 0; tries < 40 && !zorbel.page.isClosed(); ++tries) {
        left = await zorbel.page.evaluate(() => document.querySelectorAll('body > :not(script)').length).catch(() => null);
        if (left === 0)
            break;
        await browser.sleep(50);
    }
    if (zorbel.page.isClosed())
        return;
    check(left === 0, `${left} elements are still on the page after ${what}`);
    const background = await zorbel.page.evaluate(() => getComputedStyle(document.body).backgroundColor);
    check(background === 'rgb(0, 0, 0)', `the page is ${background} after ${what}, not black`);
    await browser.sleep(300);
    check(await zorbel.title() === title, `the title changed after ${what}`);
}

// What makes the page one to keep, read back from the served site: the
// manifest as Chromium reads it and its icons' PNG sizes, the favicon and
// description the page has before its program runs, and the site's size.
async function checkKept(zorbel) {
    const get = async name => {
        const response = await fetch(new URL(name, zorbel.url));
        check(response.ok, `${name || 'the page'} is not served: ${response.status}`);
        return { type: response.headers.get('content-type'), bytes: Buffer.from(await response.arrayBuffer()) };
    };
    const checkPng = async (name, size) => {
        const { type, bytes } = await get(name);
        const signature = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);
        const shape = bytes.subarray(0, 8).equals(signature) ? `${bytes.readUInt32BE(16)}x${bytes.readUInt32BE(20)}` : 'not a PNG';
        check(type === 'image/png' && shape === size, `${name} is ${type}, ${shape}, not an image/png of ${size}`);
    };

    const html = (await get('')).bytes.toString();
    const icon = /<link rel="icon" type="image\/png" sizes="(\d+x\d+)" href="([^"]+)">/.exec(html);
    check(icon, 'the page names no PNG icon');
    await checkPng(icon[2], icon[1]);
    check(/<meta name="description" content="[^"]{50,}">/.test(html), 'the page has no description in its own language');
    check(/<meta name="description" lang="en" content="[^"]{50,}">/.test(html), 'the page has no description in English');
    check(html.includes('<meta name="theme-color" content="#000000">'), 'the page has no black theme colour');

    const session = await zorbel.page.context().newCDPSession(zorbel.page);
    const { url, errors, data } = await session.send('Page.getAppManifest');
    check(url && errors.length === 0, `the manifest (${url}) reads with errors: ${errors.map(error => error.message).join('; ')}`);
    const manifest = JSON.parse(data);
    const want = {
        name: 'Zorbel', short_name: 'Zorbel', lang: 'it', start_url: '.', scope: '.', display: 'standalone',
        theme_color: '#000000', background_color: '#000000',
    };
    for (const [field, value] of Object.entries(want))
        check(manifest[field] === value, `the manifest's ${field} is '${manifest[field]}', not '${value}'`);
    check(/^Un pallone .{30,}/.test(manifest.description), `the manifest's description is '${manifest.description}'`);
    const sizes = manifest.icons.map(icon => icon.sizes).join(' ');
    check(sizes === '192x192 512x512', `the manifest's icons are ${sizes}, not 192x192 and 512x512`);
    for (const icon of manifest.icons)
        await checkPng(icon.src, icon.sizes);
    // Only the test's private browser context keeps it off a home screen.
    const { installabilityErrors } = await session.send('Page.getInstallabilityErrors');
    const against = installabilityErrors.map(error => error.errorId).filter(id => id !== 'in-incognito');
    check(against.length === 0, `Chromium would not install the page: ${against.join(', ')}`);

    // Gzipped file by file, as a server sends them.
    const files = fs.readdirSync(site);
    const gzipped = files.reduce((sum, file) => sum + zlib.gzipSync(fs.readFileSync(path.join(site, file)), { level: 9 }).length, 0);
    check(gzipped <= 100000, `the site is ${gzipped} bytes gzipped, more than 100 KB`);
    return `${files.length} files, ${gzipped} bytes gzipped`;
}

// Waits up to `seconds` for `condition` in the page, a function that may
// return a promise, to hold; says what it waited for otherwise.
async function waitInPage(zorbel, seconds, what, condition) {
    for (const until = Date.now() + seconds * 1000; !(await zorbel.page.evaluate(condition));) {
        check(Date.now() < until, `${what} in ${seconds} s`);
        await browser.sleep(100);
    }
}

const mouse = zorbel => ({
    press: async (x, y) => { await zorbel.page.mouse.move(x, y); await zorbel.page.mouse.down(); },
    move: (x, y) => zorbel.page.mouse.move(x, y),
    release: () => zorbel.page.mouse.up(),
});

const finger = zorbel => ({
    press: (x, y) => zorbel.touch('touchStart', x, y),
    move: (x, y) => zorbel.touch('touchMove', x, y),
    release: () => zorbel.touch('touchEnd'),
});

const groups = {
    async startup() {
        const zorbel = await browser.open(site, { autoplay: true });
        await checkCount(zorbel, 0, 'the startup drop');
        const titles = await zorbel.titles();
        await browser.sleep(400); // the last cue ends before the recording stops
        await zorbel.page.screenshot({ path: path.join(work, 'settled.png') });
        check(zorbel.errors.length === 0, `the page reported: ${zorbel.errors.join('; ')}`);
        await zorbel.close();
        return `the title went ${titles.join(' ')}`;
    },

    // Nothing here evaluates script in the page before the press: that would
    // count as a gesture.
    async gesture() {
        const zorbel = await browser.open(site);
        await zorbel.waitTitle('10', 30);
        await browser.sleep(500);
        await dropFromTop150(zorbel, 'drop after a silent start', mouse(zorbel));
        await browser.sleep(400);
        // The press left the focus on the ball; the button comes next in the
        // tab order, and Enter clicks it.
        await zorbel.page.keyboard.press('Tab');
        const focused = await zorbel.page.evaluate(() => document.activeElement.getAttribute('aria-label'));
        check(focused === 'Chiudi', `Tab from the ball went to '${focused}', not the close button`);
        await endsBy(zorbel, 'Enter on the close button', () => zorbel.page.keyboard.press('Enter'));
        await zorbel.close();
        return 'dropped from Top 150 after the startup drop, Tab and Enter ended the program';
    },

    async input() {
        const zorbel = await browser.open(site, { touch: true, before: noteTimes });
        await zorbel.waitTitle('10', 30);
        // Assistive technology finds the ball and the button by their names, in this order.
        const tree = await zorbel.page.locator('body').ariaSnapshot();
        check(/^- img "Pallone"\n- text: Prendi il pallone .*\n- button "Chiudi"$/.test(tree), `the page reads as:\n${tree}`);
        check(await waitStill(zorbel) === rest.top, 'the startup drop did not end on the floor');
        await dropFromTop150(zorbel, 'mouse drag', mouse(zorbel));
        await dropFromTop150(zorbel, 'touch drag', finger(zorbel));
        // A contact the browser cancels lets the ball go as a release does.
        await dropFromTop150(zorbel, 'cancelled touch', { ...finger(zorbel), release: () => zorbel.touch('touchCancel') });

        // A throw, from a flick that reached the page as one.
        let thrown, attempt;
        const releaseTop = rest.top - 160;
        for (attempt = 1; !(thrown && thrown.delivered); ++attempt) {
            check(attempt <= 10, 'in 10 flicks the machine never delivered the moves before the release');
            thrown = await throwUpward(zorbel);
            check(await waitStill(zorbel) === rest.top, 'the thrown ball did not come to rest on the floor');
        }
        const peak = thrown.peak;
        check(peak < releaseTop - 20, `the thrown ball peaked at Top ${peak}, not above its release at ${releaseTop}`);

        // The close button, 45 px in from the corner.
        await endsBy(zorbel, 'the close button', () => zorbel.page.mouse.click(580, 400));
        check(zorbel.errors.length === 0, `the page reported: ${zorbel.errors.join('; ')}`);
        await zorbel.close();
        return `mouse, touch and cancelled touch drops from Top 150 counted 1 to 10, the throw peaked at Top ${peak} (flick ${attempt - 1}), `
            + 'the close button ended the program';
    },
};

// The startup drop of a visit, with its last cue played out.
async function visit(zorbel, what) {
    await zorbel.page.goto(zorbel.url);
    await checkCount(zorbel, 0, what);
    await browser.sleep(400);
}

groups.offline = async () => {
    const zorbel = await browser.open(site, { autoplay: true });
    const kept = await checkKept(zorbel);
    await checkCount(zorbel, 0, 'the first visit');
    await waitInPage(zorbel, 20, 'the service worker kept no copy of the site',
        () => navigator.serviceWorker.getRegistration().then(found => Boolean(found && found.active)));
    await browser.sleep(400);

    // A new build, sealed as the build does: another page, so another worker.
    // The files in the order the build gave them, so that only the page differs.
    const worker = fs.readFileSync(path.join(site, 'sw.js'), 'utf8');
    const files = JSON.parse(/^const files = (\[.*\]);$/m.exec(worker)[1]).filter(file => file !== './');
    const page = path.join(site, 'index.html');
    fs.writeFileSync(page, fs.readFileSync(page, 'utf8').replace('</body>', '<!-- the next build -->\n</body>'));
    const web = path.join(__dirname, '..', '..', 'window', 'web');
    execFileSync('python3', [path.join(web, 'package_site.py'), site, path.join(work, 'next.zip'), '', path.join(web, 'sw.js.in'), ...files]);
    await visit(zorbel, 'the visit after a new build');
    await waitInPage(zorbel, 20, 'the new build was not kept beside the old one',
        () => navigator.serviceWorker.getRegistration().then(found => Boolean(found.waiting)));

    // Once no page of the old copy is open, the new one takes over alone.
    await zorbel.page.goto('about:blank');
    const copies = async () => {
        const workers = zorbel.page.context().serviceWorkers();
        return workers.length ? workers[workers.length - 1].evaluate(() => caches.keys()).catch(() => []) : [];
    };
    const name = /zorbel-[0-9a-f]+/.exec(fs.readFileSync(path.join(site, 'sw.js'), 'utf8'))[0];
    for (const until = Date.now() + 20000; JSON.stringify(await copies()) !== JSON.stringify([name]);) {
        check(Date.now() < until, `the copies kept are ${JSON.stringify(await copies())} 20 s after the old page went, not ${name} alone`);
        await browser.sleep(100);
    }

    await zorbel.page.context().setOffline(true);
    zorbel.stopServer();
    await visit(zorbel, 'the visit with the network gone');
    check((await zorbel.page.content()).includes('<!-- the next build -->'), 'with the network gone the page is the old build');
    check(zorbel.errors.length === 0, `the page reported: ${zorbel.errors.join('; ')}`);
    await zorbel.close();
    return `${kept}; counted 1 to 10 kept, after a new build and offline, from the new build's copy`;
};

groups[group]().then(
    said => console.log(`${group}: ${said}`),
    error => {
        console.error(`FAIL: ${group}: ${error.message}`);
        process.exit(1);
    });
