// The site in Chromium, a group of cases a run: e2e_test.cjs SITE WORK GROUP PREDICT (tests/e2e/predict_drop built for
// node). offline changes the site and leaves WORK/settled.png, the page after the startup drop.
'use strict';
const [childProcess, fs, path, zlib] = ['child_process', 'fs', 'path', 'zlib'].map(require);
const browser = require('../lib/browser.cjs'), { check } = browser;

const [site, work, group, predictDrop] = process.argv.slice(2);
// The ball rests at 399, 354 after the startup drop; a hand takes it 40, 37 inside.
const rest = { left: 399, top: 354 }, grab = [rest.left + 40, rest.top + 37];

// Before the program starts: each title, and each interval timer tick and pointer press and release with the ball's Top then.
function noteTicks() {
    const times = window.zorbelTimes = { ticks: [], presses: [], releases: [] }, titles = window.zorbelTitles = [];
    window.zorbelTop = () => Number(/, (-?[\d.e+-]+)px\)/.exec(document.getElementById('picBounce')?.style.transform)?.[1]);
    const note = list => list.push({ at: performance.now(), top: zorbelTop() }), setInterval = window.setInterval;
    window.setInterval = (callback, period, ...rest) => setInterval(() => { note(times.ticks); callback(...rest); }, period);
    addEventListener('pointerdown', () => note(times.presses), true);
    addEventListener('pointerup', () => note(times.releases), true);
    new MutationObserver(() => document.title !== (titles.at(-1) ?? '') && titles.push(document.title))
        .observe(document, { subtree: true, childList: true, characterData: true });
}

const open = options => browser.open(site, { before: noteTicks, ...options });
const inPage = (zorbel, script, arg) => zorbel.page.evaluate(script, arg);
const titles = zorbel => inPage(zorbel, () => zorbelTitles);
const ballTop = zorbel => inPage(zorbel, () => document.getElementById('picBounce')?.getBoundingClientRect().top ?? null);
const label = zorbel => inPage(zorbel, () => getComputedStyle(document.getElementById('Label1')).visibility);
// No errors reported by the page, then the browser closed.
const finish = (zorbel, what = '') => check(zorbel.errors.length === 0, `${what}the page reported: ${zorbel.errors.join('; ')}`) && zorbel.close();
// Until `condition` holds in the page (its value); says `what` did not happen otherwise.
const waitFor = (zorbel, seconds, what, condition, arg = null) => zorbel.page.waitForFunction(condition, arg, { timeout: seconds * 1000 })
    .then(handle => handle.jsonValue(), () => check(false, `${what} in ${seconds} s`));

// The titles since the page had `from` of them: "1" to `last`, each once, in order.
async function checkCount(zorbel, from, what, last = 10) {
    await zorbel.page.waitForFunction(([from, last]) => zorbelTitles.slice(from).includes(last), [from, String(last)]).catch(() => null);
    const went = (await titles(zorbel)).slice(from).join(' ');
    check(went === Array.from({ length: last }, (_, index) => index + 1).join(' '), `${what}: the title went ${went}, not 1 to ${last}`);
}

// Until every cue asked for has played out of the audio output too, which holds the last a while: a page that goes cuts it off.
async function playedOut(zorbel, what) {
    const { at } = await waitFor(zorbel, 10, `the cues of ${what} did not play out`,
        () => zorbelAudio.sources.size === 0 && !zorbelAudio.waking && { at: zorbelAudio.context.currentTime });
    await waitFor(zorbel, 10, `the audio output did not play ${what} to its end`, at => zorbelAudio.context.getOutputTimestamp().contextTime >= at, at);
}

// What the ball logic predicts for a client `height` design px high, the startup drop or a still drop from `top`: [count, Top].
const predict = (...numbers) => childProcess.execFileSync(process.execPath, ['--no-experimental-fetch', predictDrop, ...numbers.map(String)],
    { encoding: 'utf8', timeout: 30000 }).trim().split(' ').map(Number);

// The ball comes to rest, at one Top for 600 ms, on the floor at design Top `floor`: within a device pixel when scaled.
async function onFloor(zorbel, what, floor = rest.top, scale = 1, ratio = 1) {
    let top = null;
    for (let same = 0, tries = 0, now; same < 3; ++tries, top = now) {
        check(tries < 100, `${what}: the ball does not come to rest`);
        await browser.sleep(200);
        same = (now = await ballTop(zorbel)) === top ? same + 1 : 0;
    }
    check(Math.abs(top - floor * scale) <= (scale < 1 ? 1 / ratio : 0), `${what}: the ball came to rest at ${top} CSS px, not on the floor at ${floor * scale}`);
}

// Until the drag sampler's last two ticks since the press saw the ball where it is: let go now, it is let go still.
const heldStill = zorbel => waitFor(zorbel, 10, 'the drag sampler did not see the held ball twice where it is', () => {
    const held = zorbelTimes.ticks.filter(tick => tick.at > zorbelTimes.presses.at(-1).at).slice(-2);
    return held.length === 2 && held.every(tick => tick.top === zorbelTop());
});

// The browser's own input. A hand's steps: 0 press, 1 move, 2 let go (a cancelled contact as a release).
const mouseEvent = (zorbel, type, [x, y], button = 'left', buttons = Number(type !== 'mouseReleased')) =>
    zorbel.cdp('Input.dispatchMouseEvent', { type, x, y, button, buttons, clickCount: 1 });
const touch = (zorbel, type, points) => zorbel.cdp('Input.dispatchTouchEvent', { type, touchPoints: points.map(([x, y, id = 0]) => ({ x, y, id })) });
const finger = end => (zorbel, step, point) => touch(zorbel, ['touchStart', 'touchMove', end][step], step < 2 ? [point] : []);
const hands = {
    mouse: (zorbel, step, point) => mouseEvent(zorbel, ['mousePressed', 'mouseMoved', 'mouseReleased'][step], point),
    finger: finger('touchEnd'), cancelled: finger('touchCancel'),
};

// `hand` carries the ball resting at `from` (CSS px) to design Top `to` and lets it go still: it counts 1 to `count`, rests at `floor`.
async function drop(zorbel, what, hand, { from = rest, to = 150, count = 10, floor = rest.top, scale = 1, ratio = 1 } = {}) {
    const [x, y] = [from.left + 40 * scale, from.top + 37 * scale], held = y + (to - Math.round(floor)) * scale;
    await hands[hand](zorbel, 0, [x, y]);
    const before = (await titles(zorbel)).length;
    for (let step = 1; step <= 5; ++step)
        await hands[hand](zorbel, 1, [x, y + ((held - y) * step) / 5]);
    await heldStill(zorbel);
    const [top, shows] = [await ballTop(zorbel), await label(zorbel)];
    check(top >= to * scale - 1 && top <= to * scale + 2 && shows === 'hidden',
        `${what}: after the press the held ball is at Top ${top} (wanted ${to * scale}), the instruction line ${shows} (wanted hidden)`);
    await hands[hand](zorbel, 2, [x, held]);
    if (count !== null) {
        await checkCount(zorbel, before, what, count);
        await onFloor(zorbel, what, floor, scale, ratio);
    }
}

// The ball flicked up, 20 px every 5 ms, is thrown by the v px its last tick before the release saw: rising v / 2 a tick,
// one less each tick, it climbs v (v + 1) / 4 px at most, from v = 10 over 20. A busy machine may make v = 0, a still drop.
async function checkThrow(zorbel) {
    await hands.mouse(zorbel, 0, grab);
    await heldStill(zorbel);
    const sent = []; // on time, without waiting for the page to take each
    for (let step = 1; step <= 8; await browser.sleep(5), ++step)
        sent.push(mouseEvent(zorbel, 'mouseMoved', [grab[0], grab[1] - 20 * step]));
    await Promise.all([...sent, mouseEvent(zorbel, 'mouseReleased', [grab[0], grab[1] - 160])]);
    await onFloor(zorbel, 'the throw');
    const { speed, released, peak } = await inPage(zorbel, () => {
        const { ticks, presses, releases } = zorbelTimes, release = releases.at(-1);
        const [previous, last] = ticks.filter(tick => tick.at > presses.at(-1).at && tick.at < release.at).slice(-2);
        return { speed: previous.top - last.top, released: release.top, peak: Math.min(...ticks.filter(tick => tick.at > release.at).map(tick => tick.top)) };
    });
    const rise = released - peak;
    check(rise <= (speed * (speed + 1)) / 4 + 1 && (speed < 10 || rise > 20), `let go at Top ${released} moving ${speed} px a tick, the thrown ball rose ${rise} px`);
    return `a throw at ${speed} px a tick rose ${rise} px`;
}

// After `action` the program has ended: the page is empty, black and keeps its title (a running program counts on), or closed.
async function endsBy(zorbel, what, action) {
    const [title, left] = [await zorbel.title(), 'body > :not(script)'];
    await action();
    await zorbel.page.waitForFunction(left => !document.querySelector(left), left, { timeout: 2000 }).catch(() => null);
    if (zorbel.page.isClosed())
        return;
    const [count, background] = await inPage(zorbel, left => [document.querySelectorAll(left).length, getComputedStyle(document.body).backgroundColor], left);
    check(count === 0 && background === 'rgb(0, 0, 0)', `after ${what} the page has ${count} elements on ${background}, not none on black`);
    await browser.sleep(300);
    check(await zorbel.title() === title, `the title changed after ${what}`);
}

// The ball, the line and the button: each one's box in CSS px, whether it is all in sight and a pixel of it `looks` right.
async function shown(zorbel, looks) {
    const shot = (await zorbel.page.screenshot({ scale: 'css' })).toString('base64');
    const boxes = await inPage(zorbel, async shot => {
        const image = await createImageBitmap(await (await fetch('data:image/png;base64,' + shot)).blob());
        const context = new OffscreenCanvas(image.width, image.height).getContext('2d');
        context.drawImage(image, 0, 0);
        return ['picBounce', 'Label1', 'Command1'].map(id => {
            const [element, box] = [document.getElementById(id), document.getElementById(id).getBoundingClientRect()];
            const pixels = context.getImageData(Math.floor(box.left), Math.floor(box.top), Math.max(1, Math.floor(box.width)), Math.max(1, Math.floor(box.height))).data;
            const inside = box.left >= -1 && box.top >= -1 && box.right <= innerWidth + 1 && box.bottom <= innerHeight + 1;
            return { left: box.left, top: box.top, right: box.right, bottom: box.bottom, pixels: [...pixels], inside, cut: element.scrollWidth > element.clientWidth };
        });
    }, shot);
    return boxes.map((box, which) => ({ ...box, seen: box.inside && box.pixels.some((_, at) => at % 4 === 0 && looks[which](...box.pixels.slice(at, at + 3))) }));
}

// Phones and small windows. turn: the screen turns during a drop and back at rest. close: a press by that hand `beside`
// CSS px right of the close button's middle (past its picture, inside the square it takes presses on) ends the program.
const screens = [
    { width: 360, height: 780, ratio: 3, touch: true, hand: 'finger', turn: true, close: { hand: 'mouse', beside: 11 } },
    { width: 844, height: 390, hand: 'mouse' },
    { width: 320, height: 480, ratio: 2, touch: true, hand: 'finger', close: { hand: 'finger', beside: 0 } },
];

// The whole design shows, scaled to fit; the startup drop and a drop count as the model predicts for the page's client height.
async function checkScreen(screen) {
    const { ratio = 1, hand, close } = screen, what = `at ${screen.width} x ${screen.height}`;
    const zorbel = await open({ screen, touch: screen.touch });
    const fitted = () => waitFor(zorbel, 10, `${what} the page did not fit itself to its viewport`, () =>
        zorbelTitles.length > 0 && zorbelPage.scale === Math.min(1, innerWidth / 608, innerHeight / 428) &&
        { scale: zorbelPage.scale, width: Math.fround(zorbelPage.clientWidth()), height: Math.fround(zorbelPage.clientHeight()) });
    const fit = await fitted();
    check(fit.width >= 608 && fit.height >= 428, `${what} the client area is ${fit.width} x ${fit.height}, smaller than the design`);
    const [count, floor] = predict(fit.height);
    await checkCount(zorbel, 0, `${what}, the startup drop`, count);
    await onFloor(zorbel, what, floor, fit.scale, ratio);

    const [ball, line, button] = await shown(zorbel, [(r, g, b) => r > 150 && g > 50 && g < r && b < 60, (r, g, b) => r > 200 && g > 140 && b > 80 && b < 170, () => true]);
    check(ball.seen && line.seen && !line.cut, `${what} the ball or the instruction line is not all in sight`);
    const corner = [(fit.width - 45) * fit.scale, (fit.height - 45) * fit.scale];
    check(button.seen && Math.abs(button.left - corner[0]) <= 1 && Math.abs(button.top - corner[1]) <= 1,
        `${what} the close button is at ${button.left}, ${button.top}, not 45 px in from the corner at ${corner}`);

    const to = 150.25;
    const [dropCount] = predict(fit.height, to);
    check([-0.5, 0.5].every(off => predict(fit.height, to + off)[0] === dropCount), `${what} the model counts a drop from Top ${to} differently half a pixel away`);
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
        await endsBy(zorbel, `${what} a press ${close.beside} px right of the close button's middle`,
            () => hands[close.hand](zorbel, 0, at).then(() => hands[close.hand](zorbel, 2, at)));
    }
    await finish(zorbel, `${what} `);
    return `${what} scale ${fit.scale.toFixed(3)}, client ${fit.width.toFixed(1)} x ${fit.height.toFixed(1)}: counted ${count} and ${dropCount}`;
}

// What makes the page one to keep: its descriptions and icon before its program runs, the manifest as Chromium reads it,
// and the site's size gzipped file by file.
async function checkKept(zorbel) {
    const get = async name => {
        const response = await fetch(new URL(name, zorbel.url), { signal: AbortSignal.timeout(10000) });
        check(response.ok, `${name || 'the page'} is not served: ${response.status}`);
        return Buffer.from(await response.arrayBuffer());
    };
    const checkIcon = (name, size) => get(name).then(png => check(png.toString('latin1', 1, 4) === 'PNG' && `${png.readUInt32BE(16)}x${png.readUInt32BE(20)}` === size, `${name} is not a PNG of ${size}`));
    const html = (await get('')).toString();
    const icon = /<link rel="icon" type="image\/png" sizes="(\d+x\d+)" href="([^"]+)">/;
    for (const want of [/<meta name="description" content="[^"]{50,}">/, /<meta name="description" lang="en" content="[^"]{50,}">/,
        /<meta name="theme-color" content="#000000">/, icon])
        check(want.test(html), `the page has nothing like ${want}`);
    await checkIcon(icon.exec(html)[2], icon.exec(html)[1]);

    const { url, errors, data } = await zorbel.cdp('Page.getAppManifest');
    check(url && errors.length === 0, `the manifest (${url}) reads with errors: ${errors.map(error => error.message).join('; ')}`);
    const manifest = JSON.parse(data), fields = ['name', 'short_name', 'lang', 'start_url', 'scope', 'display', 'theme_color', 'background_color'];
    const has = JSON.stringify([...fields.map(field => manifest[field]), manifest.icons.map(icon => icon.sizes)]);
    check(has === '["Zorbel","Zorbel","it",".",".","standalone","#000000","#000000",["192x192","512x512"]]' && /^Un pallone .{30,}/.test(manifest.description),
        `the manifest's ${fields} and icons are ${has}, its description '${manifest.description}'`);
    await Promise.all(manifest.icons.map(icon => checkIcon(icon.src, icon.sizes)));
    // Only the test's private browser context keeps it off a home screen.
    const against = (await zorbel.cdp('Page.getInstallabilityErrors')).installabilityErrors.map(error => error.errorId).filter(id => id !== 'in-incognito');
    check(against.length === 0, `Chromium would not install the page: ${against.join(', ')}`);
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

// The service worker's registration has a worker `state`, active or waiting.
const registered = (zorbel, what, state) =>
    waitFor(zorbel, 20, what, state => navigator.serviceWorker.getRegistration().then(found => Boolean(found?.[state])), state);

const groups = {
    // Nothing here runs script in the page before the press: that would count as a gesture.
    async gesture() {
        const zorbel = await open();
        await zorbel.waitTitle('10', 30);
        await drop(zorbel, 'drop after a silent start', 'mouse');
        // At rest the page lets its audio rest too; the next drop wakes it with every cue, all played out before the end.
        await waitFor(zorbel, 30, 'the audio did not rest after the drop', () => zorbelAudio.context.state === 'suspended');
        await drop(zorbel, 'drop after the audio rested', 'mouse');
        await playedOut(zorbel, 'the drop after the audio rested');
        // The press left the focus on the ball; the button comes next in the tab order, and Enter clicks it.
        await zorbel.page.keyboard.press('Tab');
        const focused = await inPage(zorbel, () => document.activeElement.getAttribute('aria-label'));
        check(focused === 'Chiudi', `Tab from the ball went to '${focused}', not the close button`);
        await endsBy(zorbel, 'Enter on the close button', () => zorbel.page.keyboard.press('Enter'));
        return finish(zorbel);
    },

    async input() {
        const zorbel = await open({ touch: true, behind: true });
        await zorbel.waitTitle('10', 30);
        // Assistive technology finds the ball and the button by their names, in this order.
        const tree = await zorbel.page.locator('body').ariaSnapshot();
        check(/^- img "Pallone"\n- text: Prendi il pallone .*\n- button "Chiudi"$/.test(tree), `the page reads as:\n${tree}`);
        await onFloor(zorbel, 'the startup drop');
        // The back and forward buttons on the resting ball, with a page behind it, leave the ball, the line and the tab.
        const had = (await titles(zorbel)).length;
        for (const [button, buttons] of [['back', 8], ['forward', 16]]) {
            await mouseEvent(zorbel, 'mousePressed', grab, button, buttons);
            await mouseEvent(zorbel, 'mouseReleased', grab, button, 0);
        }
        await browser.sleep(500); // a navigation the buttons started would be under way
        check(zorbel.page.url() === zorbel.url && (await titles(zorbel)).length === had && await label(zorbel) === 'visible' && await ballTop(zorbel) === rest.top,
            `the back and forward buttons took the tab, loaded the page again, hid the line or moved the ball: at ${zorbel.page.url()}, Top ${await ballTop(zorbel)}`);
        for (const hand of ['mouse', 'finger', 'cancelled'])
            await drop(zorbel, `a drop by ${hand}`, hand);
        const thrown = await checkThrow(zorbel);
        // A second finger on the close button, 45 px in from the corner, while the first holds the ball.
        await touch(zorbel, 'touchStart', [grab]);
        await endsBy(zorbel, 'a second finger on the close button',
            () => touch(zorbel, 'touchStart', [grab, [580, 400, 1]]).then(() => touch(zorbel, 'touchEnd', [[580, 400, 1]])));
        await finish(zorbel);
        return thrown;
    },

    screens: () => screens.reduce(async (said, screen) => [...await said, await checkScreen(screen)], []).then(said => said.join('; ')),

    async offline() {
        const zorbel = await open({ autoplay: true });
        const kept = await checkKept(zorbel);
        await checkCount(zorbel, 0, 'the first visit');
        await zorbel.page.screenshot({ path: path.join(work, 'settled.png') });
        await registered(zorbel, 'the service worker kept no copy of the site', 'active');
        await playedOut(zorbel, 'the first visit');
        // A new build, sealed as the build does with the files in its order: only the page differs, so another worker.
        const files = JSON.parse(/^const files = (\[.*\]);$/m.exec(fs.readFileSync(path.join(site, 'sw.js'), 'utf8'))[1]).filter(file => file !== './');
        const page = path.join(site, 'index.html');
        fs.writeFileSync(page, fs.readFileSync(page, 'utf8').replace('</body>', '<!-- the next build -->\n</body>'));
        const web = path.join(__dirname, '..', '..', 'window', 'web');
        childProcess.execFileSync('python3', [path.join(web, 'package_site.py'), site, path.join(work, 'next.zip'), '', path.join(web, 'sw.js.in'), ...files],
            { timeout: 60000 });
        await visit(zorbel, 'the visit after a new build');
        await registered(zorbel, 'the new build was not kept beside the old one', 'waiting');
        // Once no page of the old copy is open, the new one takes over alone.
        await zorbel.page.goto('about:blank');
        const copies = async () => {
            const workers = zorbel.page.context().serviceWorkers();
            return JSON.stringify(workers.length ? await browser.within(10, 'answer from the service worker', workers.at(-1).evaluate(() => caches.keys())).catch(() => []) : []);
        };
        const name = /zorbel-[0-9a-f]+/.exec(fs.readFileSync(path.join(site, 'sw.js'), 'utf8'))[0];
        for (const until = Date.now() + 20000; await copies() !== JSON.stringify([name]); await browser.sleep(100))
            check(Date.now() < until, `the copies kept are ${await copies()} 20 s after the old page went, not ${name} alone`);
        await zorbel.page.context().setOffline(true);
        zorbel.stopServer();
        await visit(zorbel, 'the visit with the network gone');
        check((await zorbel.page.content()).includes('<!-- the next build -->'), 'with the network gone the page is the old build');
        await finish(zorbel);
        return kept;
    },
};

groups[group]().then(said => console.log(`${group}: ${said ?? 'passed'}`), error => {
    console.error(`FAIL: ${group}: ${error.message}`);
    process.exit(1);
});
