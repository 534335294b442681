// The site in Chromium, one group of cases per run (e2e_test.sh records the
// sound where it counts):
//
//   e2e_test.cjs SITE WORK GROUP PREDICT
//
// gesture, input and screens take the site as built; offline a copy of it to
// change, and it leaves WORK/settled.png, the page after the first startup
// drop. PREDICT is tests/e2e/predict_drop built for node.
'use strict';
const childProcess = require('child_process');
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const browser = require('../lib/browser.cjs');

const [site, work, group, predictDrop] = process.argv.slice(2);

// The ball rests at 399, 354 after the startup drop; a hand takes it 40, 37 inside.
const rest = { left: 399, top: 354 };
const grab = { x: rest.left + 40, y: rest.top + 37 };

function check(condition, message) {
    if (!condition)
        throw new Error(message);
}

// Before the program starts: notes each tick of the page's interval timers
// and each pointer press and release, with the Top the ball was placed at
// then, in design pixels: what the drag sampler reads on its ticks.
function noteTicks() {
    const times = window.zorbelTimes = { ticks: [], presses: [], releases: [] };
    const top = () => Number(/, (-?[\d.e+-]+)px\)/.exec(document.getElementById('picBounce')?.style.transform)?.[1]);
    const note = list => list.push({ at: performance.now(), top: top() });
    const setInterval = window.setInterval;
    window.setInterval = (callback, period, ...rest) => setInterval(() => { note(times.ticks); callback(...rest); }, period);
    window.addEventListener('pointerdown', () => note(times.presses), true);
    window.addEventListener('pointerup', () => note(times.releases), true);
}

const open = options => browser.open(site, { before: noteTicks, ...options });

// Until `condition` holds in the page (its value, if any); says `what` did not happen otherwise.
const waitFor = (zorbel, seconds, what, condition, arg = null) =>
    zorbel.page.waitForFunction(condition, arg, { timeout: seconds * 1000 }).then(
        handle => handle.jsonValue(), () => check(false, `${what} in ${seconds} s`));

// The titles the page has had since it had `from`: "1" to `last`, each
// once, in order.
async function checkCount(zorbel, from, what, last = 10) {
    const want = Array.from({ length: last }, (_, index) => String(index + 1));
    await zorbel.page.waitForFunction(([from, last]) => window.zorbelTitles.slice(from).includes(last), [from, String(last)],
        { timeout: 30000 }).catch(() => null);
    const titles = (await zorbel.titles()).slice(from);
    check(JSON.stringify(titles) === JSON.stringify(want), `${what}: the title went ${titles.join(' ')}, not 1 to ${last}`);
}

// Until every cue asked for has played out, waking audio included, and out
// of the audio output too: it holds the last of them a while after the page
// has done with them, and a page that goes cuts it off.
async function playedOut(zorbel, what) {
    const rendered = await waitFor(zorbel, 10, `the cues of ${what} did not play out`,
        () => zorbelAudio.sources.size === 0 && !zorbelAudio.waking && { at: zorbelAudio.context.currentTime });
    await waitFor(zorbel, 10, `the audio output did not play ${what} to its end`,
        at => zorbelAudio.context.getOutputTimestamp().contextTime >= at, rendered.at);
}

// What the ball logic predicts for a client `height` design pixels high: the
// startup drop, or with `top` a still drop from there: [count, settled Top].
function predict(height, top) {
    const args = ['--no-experimental-fetch', predictDrop, String(height)].concat(top === undefined ? [] : [String(top)]);
    return childProcess.execFileSync(process.execPath, args, { encoding: 'utf8', timeout: 30000 }).trim().split(' ').map(Number);
}

// The ball comes to rest, staying at one Top for half a second, on the floor
// at design Top `floor`: in whole device pixels, so within one of it when scaled.
async function onFloor(zorbel, what, floor = rest.top, scale = 1, ratio = 1) {
    let top = null;
    for (let same = 0, tries = 0; same < 3; ++tries) {
        check(tries < 100, `${what}: the ball does not come to rest`);
        await browser.sleep(200);
        const now = await zorbel.ballTop();
        same = now === top ? same + 1 : 0;
        top = now;
    }
    check(Math.abs(top - floor * scale) <= (scale < 1 ? 1 / ratio : 0),
        `${what}: the ball came to rest at ${top} CSS px, not on the floor at ${floor * scale}`);
}

// Until the drag sampler's last two ticks since the press saw the ball where
// it is: let go now, the ball is let go still.
const heldStill = zorbel => waitFor(zorbel, 10, 'the drag sampler did not see the held ball twice where it is', () => {
    const { ticks, presses } = zorbelTimes;
    const held = ticks.filter(tick => tick.at > presses[presses.length - 1].at).slice(-2);
    const top = Number(/, (-?[\d.e+-]+)px\)/.exec(document.getElementById('picBounce').style.transform)[1]);
    return held.length === 2 && held.every(tick => tick.top === top);
});

// Takes the ball resting at `from` (CSS pixels) by `hand` 40, 37 inside,
// carries it in five moves to design Top `to` and holds it still, then lets
// go: it falls back, counts 1 to `count` and rests on the floor at `floor`;
// with no count, returns once let go. The page is read only after the press.
async function drop(zorbel, what, hand, { from = rest, to = 150, count = 10, floor = rest.top, scale = 1, ratio = 1 } = {}) {
    const at = [from.left + 40 * scale, from.top + 37 * scale];
    const held = at[1] + (to - Math.round(floor)) * scale;
    await hand(zorbel).press(...at);
    const before = (await zorbel.titles()).length;
    for (let step = 1; step <= 5; ++step)
        await hand(zorbel).move(at[0], at[1] + ((held - at[1]) * step) / 5);
    await heldStill(zorbel);
    const top = await zorbel.ballTop();
    check(top >= to * scale - 1 && top <= to * scale + 2, `${what}: the held ball is at Top ${top}, not ${to * scale}`);
    const label = await zorbel.page.evaluate(() => getComputedStyle(document.getElementById('Label1')).visibility);
    check(label === 'hidden', `${what}: the instruction line is still ${label} after the press`);
    await hand(zorbel).release(at[0], held);
    if (count !== null) {
        await checkCount(zorbel, before, what, count);
        await onFloor(zorbel, what, floor, scale, ratio);
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

// A contact the browser cancels lets the ball go as a release does.
const cancelled = zorbel => ({ ...finger(zorbel), release: () => zorbel.touch('touchCancel') });

// The resting ball taken and flicked upward, 20 px every 5 ms, and let go
// while still moving. The drag sampler throws it by the movement its last
// tick before the release saw, v design px: rising v / 2 px a tick, one less
// each tick, the ball climbs v (v + 1) / 4 px at most, and from v = 10 more
// than 20. A busy machine may hand the page the moves with the release,
// after a tick that saw none: v = 0, and the ball falls as if held still.
async function checkThrow(zorbel) {
    const highest = zorbel.page.evaluate(() => new Promise(resolve => {
        const ball = document.getElementById('picBounce');
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
    await heldStill(zorbel);
    await zorbel.flick(Array.from({ length: 8 }, (_, step) => [grab.x, grab.y - 20 * (step + 1)]), 5);
    const peak = await highest;
    const { speed, released } = await zorbel.page.evaluate(() => {
        const { ticks, presses, releases } = window.zorbelTimes;
        const release = releases[releases.length - 1];
        const [previous, last] = ticks.filter(tick => tick.at > presses[presses.length - 1].at && tick.at < release.at).slice(-2);
        return { speed: previous.top - last.top, released: release.top };
    });
    const rise = released - peak;
    check(rise <= (speed * (speed + 1)) / 4 + 1 && (speed < 10 || rise > 20),
        `let go at Top ${released} moving ${speed} px a tick, the thrown ball rose ${rise} px`);
    await onFloor(zorbel, 'the throw');
    return `a throw at ${speed} px a tick rose ${rise} px`;
}

// After `action` the program has ended: nothing is left on the page, which
// is black and keeps its title; or the browser closed the window.
async function endsBy(zorbel, what, action) {
    const title = await zorbel.title();
    await action();
    const left = 'body > :not(script)';
    await zorbel.page.waitForFunction(left => !document.querySelector(left), left, { timeout: 2000 }).catch(() => null);
    if (zorbel.page.isClosed())
        return;
    const after = await zorbel.page.evaluate(left => ({
        left: document.querySelectorAll(left).length, background: getComputedStyle(document.body).backgroundColor,
    }), left);
    check(after.left === 0, `${after.left} elements are still on the page after ${what}`);
    check(after.background === 'rgb(0, 0, 0)', `the page is ${after.background} after ${what}, not black`);
    await browser.sleep(300); // a program still running would count on
    check(await zorbel.title() === title, `the title changed after ${what}`);
}

// The ball, the line and the button as the page shows them: each one's box
// in CSS pixels, whether it is all in sight and its text all shown, and the
// colours of the screenshot's pixels inside it.
async function shown(zorbel) {
    const shot = (await zorbel.page.screenshot({ scale: 'css' })).toString('base64');
    return zorbel.page.evaluate(async shot => {
        const image = await createImageBitmap(await (await fetch('data:image/png;base64,' + shot)).blob());
        const context = new OffscreenCanvas(image.width, image.height).getContext('2d');
        context.drawImage(image, 0, 0);
        return ['picBounce', 'Label1', 'Command1'].map(id => {
            const element = document.getElementById(id);
            const box = element.getBoundingClientRect();
            const pixels = context.getImageData(Math.floor(box.left), Math.floor(box.top),
                Math.max(1, Math.floor(box.width)), Math.max(1, Math.floor(box.height))).data;
            const colours = Array.from({ length: pixels.length / 4 }, (_, at) => [...pixels.subarray(4 * at, 4 * at + 3)]);
            // Drawn from whole device pixels, a scaled box may reach part of one past the edge.
            const inside = box.left >= -1 && box.top >= -1 && box.right <= innerWidth + 1 && box.bottom <= innerHeight + 1;
            return { left: box.left, top: box.top, right: box.right, bottom: box.bottom, colours, inside, cut: element.scrollWidth > element.clientWidth };
        });
    }, shot);
}

// Phones and small windows. hand: what drops the ball there. turn: a drop
// during which the screen is turned ends on the new floor, and turning it
// back at rest lays the ball on the old one. close: ends by a press of that
// hand `beside` CSS px right of the close button's middle: past its picture,
// inside the square it takes presses on.
const screens = [
    { width: 360, height: 780, ratio: 3, touch: true, hand: finger, turn: true, close: { hand: mouse, beside: 11 } },
    { width: 844, height: 390, hand: mouse },
    { width: 320, height: 480, ratio: 2, touch: true, hand: finger, close: { hand: finger, beside: 0 } },
];

// The whole design shows, scaled to fit; the startup drop, and a drop from a
// Top the model counts alike to half a pixel either way, count as the model
// predicts for the client height the page reports.
async function checkScreen(screen) {
    const { ratio = 1, hand, close } = screen;
    const what = `at ${screen.width} x ${screen.height}`;
    const zorbel = await open({ screen, touch: screen.touch });
    // The scale and client size, once the running page has taken in its viewport.
    const fitted = () => waitFor(zorbel, 10, `${what} the page did not fit itself to its viewport`, () =>
        zorbelTitles.length > 0 && zorbelPage.scale === Math.min(1, innerWidth / 608, innerHeight / 428) &&
        { scale: zorbelPage.scale, width: Math.fround(zorbelPage.clientWidth()), height: Math.fround(zorbelPage.clientHeight()) });
    const fit = await fitted();
    check(fit.width >= 608 && fit.height >= 428, `${what} the client area is ${fit.width} x ${fit.height}, smaller than the design`);
    const [count, floor] = predict(fit.height);
    await checkCount(zorbel, 0, `${what}, the startup drop`, count);
    await onFloor(zorbel, what, floor, fit.scale, ratio);

    const [ball, label, button] = await shown(zorbel);
    check(ball.inside && ball.colours.some(([r, g, b]) => r > 150 && g > 50 && g < r && b < 60), `${what} the ball is not all in sight`);
    check(label.inside && !label.cut && label.colours.some(([r, g, b]) => r > 200 && g > 140 && b > 80 && b < 170), `${what} the instruction line is not all in sight`);
    const corner = [(fit.width - 45) * fit.scale, (fit.height - 45) * fit.scale];
    check(button.inside && Math.abs(button.left - corner[0]) <= 1 && Math.abs(button.top - corner[1]) <= 1,
        `${what} the close button is at ${button.left}, ${button.top}, not 45 px in from the corner at ${corner}`);

    const to = 150.25;
    const [dropCount] = predict(fit.height, to);
    check([-0.5, 0.5].every(off => predict(fit.height, to + off)[0] === dropCount),
        `${what} the model counts a drop from Top ${to} differently half a pixel away: pick another`);
    const carry = { from: ball, to, floor, scale: fit.scale, ratio };
    await drop(zorbel, `${what}, a drop from Top ${to}`, hand, { ...carry, count: dropCount });
    if (screen.turn) {
        await drop(zorbel, `${what}, a drop turned`, hand, { ...carry, count: null });
        await zorbel.page.setViewportSize({ width: screen.height, height: screen.width });
        const turned = await fitted();
        await onFloor(zorbel, `${what} turned`, turned.height - 74, turned.scale, ratio);
        await zorbel.page.setViewportSize({ width: screen.width, height: screen.height });
        await onFloor(zorbel, `${what} turned back`, floor, fit.scale, ratio);
    }
    if (close) {
        const at = [(button.left + button.right) / 2 + close.beside, (button.top + button.bottom) / 2];
        check(at[0] > button.right || !close.beside, `${what} the close button's picture reaches past ${close.beside} px from its middle`);
        await endsBy(zorbel, `${what} a press ${close.beside} px right of the close button's middle`, async () => {
            await close.hand(zorbel).press(...at);
            await close.hand(zorbel).release(...at);
        });
    }
    check(zorbel.errors.length === 0, `${what} the page reported: ${zorbel.errors.join('; ')}`);
    await zorbel.close();
    return `${what} scale ${fit.scale.toFixed(3)}, client ${fit.width.toFixed(1)} x ${fit.height.toFixed(1)}: counted ${count} and ${dropCount}`;
}

// What makes the page one to keep, read back from the served site: the
// manifest as Chromium reads it and its icons' PNG sizes, the favicon and
// description the page has before its program runs, and the site's size.
async function checkKept(zorbel) {
    const get = async name => {
        const response = await fetch(new URL(name, zorbel.url), { signal: AbortSignal.timeout(10000) });
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
    const icon = /<link rel="icon" type="image\/png" sizes="(\d+x\d+)" href="([^"]+)">/;
    for (const [want, lacks] of [[/<meta name="description" content="[^"]{50,}">/, 'a description in its own language'],
        [/<meta name="description" lang="en" content="[^"]{50,}">/, 'a description in English'],
        [/<meta name="theme-color" content="#000000">/, 'a black theme colour'], [icon, 'PNG icon']])
        check(want.test(html), `the page has no ${lacks}`);
    await checkPng(icon.exec(html)[2], icon.exec(html)[1]);

    const { url, errors, data } = await zorbel.cdp('Page.getAppManifest');
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
    const { installabilityErrors } = await zorbel.cdp('Page.getInstallabilityErrors');
    const against = installabilityErrors.map(error => error.errorId).filter(id => id !== 'in-incognito');
    check(against.length === 0, `Chromium would not install the page: ${against.join(', ')}`);

    // Gzipped file by file, as a server sends them.
    const files = fs.readdirSync(site);
    const gzipped = files.reduce((sum, file) => sum + zlib.gzipSync(fs.readFileSync(path.join(site, file)), { level: 9 }).length, 0);
    check(gzipped <= 100000, `the site is ${gzipped} bytes gzipped, more than 100 KB`);
    return `${files.length} files, ${gzipped} bytes gzipped`;
}

// The startup drop of a visit, with its last cue played out.
async function visit(zorbel, what) {
    await zorbel.page.goto(zorbel.url);
    await checkCount(zorbel, 0, what);
    await playedOut(zorbel, what);
}

const groups = {
    // Nothing here evaluates script in the page before the press: that would
    // count as a gesture.
    async gesture() {
        const zorbel = await open();
        await zorbel.waitTitle('10', 30);
        await drop(zorbel, 'drop after a silent start', mouse);
        // At rest the page lets its audio rest too, and the next drop wakes it
        // with every cue, which all play out before the program ends.
        await waitFor(zorbel, 30, 'the audio did not rest after the drop', () => zorbelAudio.context.state === 'suspended');
        await drop(zorbel, 'drop after the audio rested', mouse);
        await playedOut(zorbel, 'the drop after the audio rested');
        // The press left the focus on the ball; the button comes next in the
        // tab order, and Enter clicks it.
        await zorbel.page.keyboard.press('Tab');
        const focused = await zorbel.page.evaluate(() => document.activeElement.getAttribute('aria-label'));
        check(focused === 'Chiudi', `Tab from the ball went to '${focused}', not the close button`);
        await endsBy(zorbel, 'Enter on the close button', () => zorbel.page.keyboard.press('Enter'));
        await zorbel.close();
        return 'dropped from Top 150 after the startup drop and again after the audio rested, Tab and Enter ended the program';
    },

    async input() {
        const zorbel = await open({ touch: true, behind: true });
        await zorbel.waitTitle('10', 30);
        // Assistive technology finds the ball and the button by their names, in this order.
        const tree = await zorbel.page.locator('body').ariaSnapshot();
        check(/^- img "Pallone"\n- text: Prendi il pallone .*\n- button "Chiudi"$/.test(tree), `the page reads as:\n${tree}`);
        await onFloor(zorbel, 'the startup drop');
        // The back and forward buttons pressed and released on the resting
        // ball, with a page behind it: nothing happens to the ball or the line,
        // and the tab stays on the page it had, which it has not loaded again.
        const titles = (await zorbel.titles()).length;
        for (const button of ['back', 'forward'])
            await zorbel.click(button, grab.x, grab.y);
        await browser.sleep(500); // a navigation the buttons started would be under way
        check(zorbel.page.url() === zorbel.url, `the back and forward buttons took the tab to ${zorbel.page.url()}`);
        check((await zorbel.titles()).length === titles, 'the back and forward buttons loaded the page again');
        const label = await zorbel.page.evaluate(() => getComputedStyle(document.getElementById('Label1')).visibility);
        check(label === 'visible', 'the back and forward buttons hid the instruction line');
        check(await zorbel.ballTop() === rest.top, 'the back and forward buttons moved the ball');

        for (const [what, hand] of [['mouse drag', mouse], ['touch drag', finger], ['cancelled touch', cancelled]])
            await drop(zorbel, what, hand);
        const thrown = await checkThrow(zorbel);

        // A second finger on the close button, 45 px in from the corner,
        // while the first holds the ball.
        await zorbel.touch('touchStart', grab.x, grab.y);
        await endsBy(zorbel, 'a second finger on the close button', async () => {
            await zorbel.touch('touchStart', [[grab.x, grab.y, 0], [580, 400, 1]]);
            await zorbel.touch('touchEnd', [[580, 400, 1]]);
        });
        check(zorbel.errors.length === 0, `the page reported: ${zorbel.errors.join('; ')}`);
        await zorbel.close();
        return `the back and forward buttons did nothing; mouse, touch and cancelled touch drops from Top 150 counted 1 to 10, `
            + `${thrown}, a second finger on the close button ended the program`;
    },

    async screens() {
        const said = [];
        for (const screen of screens)
            said.push(await checkScreen(screen));
        return said.join('; ');
    },

    async offline() {
        const zorbel = await open({ autoplay: true });
        const kept = await checkKept(zorbel);
        await checkCount(zorbel, 0, 'the first visit');
        const titles = await zorbel.titles();
        await zorbel.page.screenshot({ path: path.join(work, 'settled.png') });
        await waitFor(zorbel, 20, 'the service worker kept no copy of the site',
            () => navigator.serviceWorker.getRegistration().then(found => Boolean(found && found.active)));
        await playedOut(zorbel, 'the first visit');

        // A new build, sealed as the build does: another page, so another worker.
        // The files in the order the build gave them, so that only the page differs.
        const worker = fs.readFileSync(path.join(site, 'sw.js'), 'utf8');
        const files = JSON.parse(/^const files = (\[.*\]);$/m.exec(worker)[1]).filter(file => file !== './');
        const page = path.join(site, 'index.html');
        fs.writeFileSync(page, fs.readFileSync(page, 'utf8').replace('</body>', '<!-- the next build -->\n</body>'));
        const web = path.join(__dirname, '..', '..', 'window', 'web');
        childProcess.execFileSync('python3', [path.join(web, 'package_site.py'), site, path.join(work, 'next.zip'), '', path.join(web, 'sw.js.in'), ...files],
            { timeout: 60000 });
        await visit(zorbel, 'the visit after a new build');
        await waitFor(zorbel, 20, 'the new build was not kept beside the old one',
            () => navigator.serviceWorker.getRegistration().then(found => Boolean(found.waiting)));

        // Once no page of the old copy is open, the new one takes over alone.
        await zorbel.page.goto('about:blank');
        const copies = async () => {
            const workers = zorbel.page.context().serviceWorkers();
            return workers.length ? browser.within(10, 'answer from the service worker', workers[workers.length - 1].evaluate(() => caches.keys())).catch(() => []) : [];
        };
        const name = /zorbel-[0-9a-f]+/.exec(fs.readFileSync(path.join(site, 'sw.js'), 'utf8'))[0];
        for (const until = Date.now() + 20000; JSON.stringify(await copies()) !== JSON.stringify([name]); await browser.sleep(100))
            check(Date.now() < until, `the copies kept are ${JSON.stringify(await copies())} 20 s after the old page went, not ${name} alone`);

        await zorbel.page.context().setOffline(true);
        zorbel.stopServer();
        await visit(zorbel, 'the visit with the network gone');
        check((await zorbel.page.content()).includes('<!-- the next build -->'), 'with the network gone the page is the old build');
        check(zorbel.errors.length === 0, `the page reported: ${zorbel.errors.join('; ')}`);
        await zorbel.close();
        return `the title went ${titles.join(' ')}; ${kept}; counted 1 to 10 kept, after a new build and offline, from the new build's copy`;
    },
};

groups[group]().then(
    said => console.log(`${group}: ${said}`),
    error => {
        console.error(`FAIL: ${group}: ${error.message}`);
        process.exit(1);
    });
