// The site in Chromium, one group of cases per run (e2e_test.sh runs them
// with the sound recorded where it counts):
//
//   e2e_test.cjs SITE WORK startup  autoplay relaxed: the startup drop counts
//                                   1 to 10; screenshot WORK/settled.png
//   e2e_test.cjs SITE WORK gesture  autoplay as for a visitor: the startup
//                                   drop, then a drop from Top 150 by the
//                                   mouse; Tab to the button and Enter
//   e2e_test.cjs SITE WORK input    the accessibility tree; the back and
//                                   forward buttons; mouse, touch and cancelled
//                                   touch drags, a throw; a second finger on
//                                   the close button
//   e2e_test.cjs SITE WORK screens  phones and small windows: the whole design
//                                   scaled to fit, the drops the model predicts
//                                   for the client height, a turn mid-drop
//   e2e_test.cjs SITE WORK offline  autoplay relaxed, SITE a copy to change: the
//                                   manifest, icons and favicon; the startup drop
//                                   three times: kept by the service worker, after
//                                   a new build, and with the network gone
//
// PREDICT (after the group) is tests/e2e/predict_drop built for node.
'use strict';
const childProcess = require('child_process');
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const browser = require('../lib/browser.cjs');

const [site, work, group, predictDrop] = process.argv.slice(2);

// The ball rests at 399, 354 after the startup drop; it is taken 40, 37 inside.
const rest = { left: 399, top: 354 };
const grab = { x: rest.left + 40, y: rest.top + 37 };
const heldTop = 150;

function check(condition, message) {
    if (!condition)
        throw new Error(message);
}

// The titles the page has had since it had `from`: "1" to `last`, each
// once, in order.
async function checkCount(zorbel, from, what, last = 10) {
    const want = Array.from({ length: last }, (_, index) => String(index + 1));
    await zorbel.page.waitForFunction(([from, last]) => window.zorbelTitles.slice(from).includes(last), [from, String(last)],
        { timeout: 30000 }).catch(() => null);
    const titles = (await zorbel.titles()).slice(from);
    check(JSON.stringify(titles) === JSON.stringify(want), `${what}: the title went ${titles.join(' ')}, not 1 to ${last}`);
}

// What the ball logic predicts for a client `height` design pixels high: the
// startup drop, or with `top` a still drop from there: [count, settled Top].
function predict(height, top) {
    const args = ['--no-experimental-fetch', predictDrop, String(height)].concat(top === undefined ? [] : [String(top)]);
    return childProcess.execFileSync(process.execPath, args, { encoding: 'utf8' }).trim().split(' ').map(Number);
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
    const label = await zorbel.page.evaluate(() => getComputedStyle(document.getElementById('Label1')).visibility);
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

// The back and forward buttons pressed and released on the resting ball, in
// a tab with a page behind it: nothing happens to the ball or the line, and
// the tab stays on the page it had, which it has not loaded again.
async function checkHistoryButtons(zorbel) {
    const titles = (await zorbel.titles()).length;
    for (const button of ['back', 'forward'])
        await zorbel.click(button, grab.x, grab.y);
    await browser.sleep(500); // a navigation the buttons started would be under way
    check(zorbel.page.url() === zorbel.url, `the back and forward buttons took the tab to ${zorbel.page.url()}`);
    const after = await zorbel.page.evaluate(() => ({
        titles: window.zorbelTitles.length, label: getComputedStyle(document.getElementById('Label1')).visibility,
    }));
    check(after.titles === titles, 'the back and forward buttons loaded the page again');
    check(after.label === 'visible', 'the back and forward buttons hid the instruction line');
    check(await zorbel.ballTop() === rest.top, 'the back and forward buttons moved the ball');
}

// The picture element with this id as the page shows it: its box in CSS
// pixels, and the colours of the screenshot's pixels inside it.
async function shown(zorbel, id) {
    const shot = (await zorbel.page.screenshot({ scale: 'css' })).toString('base64');
    return zorbel.page.evaluate(async ([shot, id]) => {
        const image = await createImageBitmap(await (await fetch('data:image/png;base64,' + shot)).blob());
        const canvas = new OffscreenCanvas(image.width, image.height);
        const context = canvas.getContext('2d');
        context.drawImage(image, 0, 0);
        const box = document.getElementById(id).getBoundingClientRect();
        const pixels = context.getImageData(Math.floor(box.left), Math.floor(box.top),
            Math.max(1, Math.floor(box.width)), Math.max(1, Math.floor(box.height))).data;
        const colours = [];
        for (let at = 0; at < pixels.length; at += 4)
            colours.push([pixels[at], pixels[at + 1], pixels[at + 2]]);
        const element = document.getElementById(id);
        return {
            left: box.left, top: box.top, right: box.right, bottom: box.bottom, colours,
            cut: element.scrollWidth > element.clientWidth, viewport: { width: innerWidth, height: innerHeight },
        };
    }, [shot, id]);
}

// A phone or a small window: the whole design shows, scaled to fit; the
// startup drop, and a drop by `hand` from a Top the model counts alike to
// half a pixel either way, count as the model predicts for the client height
// the page reports; with `turn`, a drop during which the screen is turned
// ends on the new floor, and turning it back at rest lays the ball on the old
// one. With `close`, ends by a press of that hand `beside` CSS px right of
// the close button's middle: past its picture, inside the square it takes
// presses on.
async function checkScreen(screen, { hand, turn = false, close = null }) {
    const zorbel = await browser.open(site, { screen, touch: screen.touch });
    await zorbel.page.waitForFunction(() => window.zorbelTitles.length > 0, null, { timeout: 30000 });
    // The scale and client size, once the page has taken in its viewport.
    const page = async () => {
        await zorbel.page.waitForFunction(() => zorbelPage.scale === Math.min(1, innerWidth / 608, innerHeight / 428), null,
            { timeout: 10000 }).catch(() => check(false, `${what} the page did not fit itself to its viewport`));
        return zorbel.page.evaluate(() => ({
            scale: zorbelPage.scale, width: Math.fround(zorbelPage.clientWidth()), height: Math.fround(zorbelPage.clientHeight()),
        }));
    };
    const what = `at ${screen.width} x ${screen.height}`;
    const fit = await page();
    check(fit.width >= 608 && fit.height >= 428, `${what} the client area is ${fit.width} x ${fit.height}, smaller than the design`);
    const [count, floor] = predict(fit.height);
    await checkCount(zorbel, 0, `${what}, the startup drop`, count);
    // The ball lies on the floor in whole device pixels: within one of it.
    const onFloor = async (scale, floor) => {
        const top = await waitStill(zorbel);
        check(Math.abs(top - floor * scale) <= 1 / (screen.ratio || 1),
            `${what} the ball rests at ${top} CSS px, not on the floor at ${floor * scale}`);
    };
    await onFloor(fit.scale, floor);

    const ball = await shown(zorbel, 'picBounce');
    const label = await shown(zorbel, 'Label1');
    const button = await shown(zorbel, 'Command1');
    // Drawn from whole device pixels, a scaled box may reach part of one past the edge.
    const inside = box => box.left >= -1 && box.top >= -1 && box.right <= box.viewport.width + 1 && box.bottom <= box.viewport.height + 1;
    check(inside(ball) && ball.colours.some(([r, g, b]) => r > 150 && g > 50 && g < r && b < 60), `${what} the ball is not all in sight`);
    check(inside(label) && !label.cut && label.colours.some(([r, g, b]) => r > 200 && g > 140 && b > 80 && b < 170),
        `${what} the instruction line is not all in sight`);
    const corner = [(fit.width - 45) * fit.scale, (fit.height - 45) * fit.scale];
    check(inside(button) && Math.abs(button.left - corner[0]) <= 1 && Math.abs(button.top - corner[1]) <= 1,
        `${what} the close button is at ${button.left}, ${button.top}, not 45 px in from the corner at ${corner}`);
    await zorbel.page.screenshot({ path: path.join(work, `screen-${screen.width}x${screen.height}.png`) });

    const dropTop = 150.25;
    const [dropCount] = predict(fit.height, dropTop);
    check([-0.5, 0.5].every(off => predict(fit.height, dropTop + off)[0] === dropCount),
        `${what} the model counts a drop from Top ${dropTop} differently half a pixel away: pick another`);
    // The hand takes the ball 40, 37 inside and moves it by whole design
    // pixels from where the drag last placed it, rounded.
    const ballBox = await zorbel.page.evaluate(() => document.getElementById('picBounce').getBoundingClientRect().toJSON());
    const grabAt = [ballBox.left + 40 * fit.scale, ballBox.top + 37 * fit.scale];
    const heldAt = [grabAt[0], ballBox.top + (37 + dropTop - Math.round(floor)) * fit.scale];
    const drop = async () => {
        const before = (await zorbel.titles()).length;
        await hand(zorbel).press(...grabAt);
        for (let step = 1; step <= 5; ++step)
            await hand(zorbel).move(grabAt[0], grabAt[1] + ((heldAt[1] - grabAt[1]) * step) / 5);
        await browser.sleep(150);
        await hand(zorbel).release(...heldAt);
        return before;
    };
    await checkCount(zorbel, await drop(), `${what}, a drop from Top ${dropTop}`, dropCount);
    await onFloor(fit.scale, floor);

    if (turn) {
        await drop();
        await zorbel.page.setViewportSize({ width: screen.height, height: screen.width });
        const turned = await page();
        await onFloor(turned.scale, turned.height - 74);
        await zorbel.page.setViewportSize({ width: screen.width, height: screen.height });
        await onFloor(fit.scale, floor);
    }

    if (close) {
        const middle = [button.left + (button.right - button.left) / 2, button.top + (button.bottom - button.top) / 2];
        const at = [middle[0] + close.beside, middle[1]];
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
        // At rest the page lets its audio rest too, and the next drop wakes it
        // with every cue.
        await zorbel.page.waitForFunction(() => zorbelAudio.context.state === 'suspended', null, { timeout: 30000 })
            .catch(() => check(false, 'the audio did not rest after the drop'));
        await dropFromTop150(zorbel, 'drop after the audio rested', mouse(zorbel));
        // Waking the audio may have set its cues back a little: all of them
        // play out before the program ends.
        await zorbel.page.waitForFunction(() => zorbelAudio.sources.size === 0, null, { timeout: 10000 })
            .catch(() => check(false, 'the cues of the drop after the audio rested did not play out in 10 s'));
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
        const zorbel = await browser.open(site, { touch: true, behind: true, before: noteTimes });
        await zorbel.waitTitle('10', 30);
        // Assistive technology finds the ball and the button by their names, in this order.
        const tree = await zorbel.page.locator('body').ariaSnapshot();
        check(/^- img "Pallone"\n- text: Prendi il pallone .*\n- button "Chiudi"$/.test(tree), `the page reads as:\n${tree}`);
        check(await waitStill(zorbel) === rest.top, 'the startup drop did not end on the floor');
        await checkHistoryButtons(zorbel);
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
            + `the throw peaked at Top ${peak} (flick ${attempt - 1}), a second finger on the close button ended the program`;
    },

    async screens() {
        const said = [];
        said.push(await checkScreen({ width: 360, height: 780, ratio: 3, touch: true }, { hand: finger, turn: true, close: { hand: mouse, beside: 11 } }));
        said.push(await checkScreen({ width: 844, height: 390 }, { hand: mouse }));
        said.push(await checkScreen({ width: 320, height: 480, ratio: 2, touch: true }, { hand: finger, close: { hand: finger, beside: 0 } }));
        return said.join('; ');
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
    childProcess.execFileSync('python3', [path.join(web, 'package_site.py'), site, path.join(work, 'next.zip'), '', path.join(web, 'sw.js.in'), ...files]);
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
