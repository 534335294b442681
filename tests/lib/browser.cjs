// The site in Debian's Chromium, driven through playwright-core (which
// downloads no browser). The site is served from 127.0.0.1 by a static
// server in this process; the sound goes wherever PULSE_SERVER points.
//
//   const browser = require('.../tests/lib/browser.cjs');
//   const zorbel = await browser.open(site, { autoplay: true });
//   await zorbel.waitTitle('10', 30);
//   ...
//   await zorbel.close();
//
// Every title the page has had is noted from its start (titles()), by a
// script that runs before the program's. Reading the page by evaluating
// script in it counts as a user gesture in Chromium, which would wake the
// page's audio; waitTitle asks the browser instead.
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');
const { chromium } = require('playwright-core');

const viewport = { width: 608, height: 428 };
const types = {
    '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
    '.webmanifest': 'application/manifest+json', '.png': 'image/png', '.bmp': 'image/bmp',
    '.ico': 'image/x-icon', '.cur': 'image/x-icon',
};

function serve(site) {
    const server = http.createServer((request, response) => {
        const name = new URL(request.url, 'http://127.0.0.1').pathname.slice(1) || 'index.html';
        const file = path.join(site, path.basename(name));
        fs.readFile(file, (error, bytes) => {
            if (error) {
                response.writeHead(404).end();
                return;
            }
            response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' }).end(bytes);
        });
    });
    return new Promise((resolve, reject) => {
        server.once('error', reject);
        server.listen(0, '127.0.0.1', () => resolve(server));
    });
}

const sleep = milliseconds => new Promise(resolve => setTimeout(resolve, milliseconds));

// Opens the site, by default at 608 x 428. autoplay: the page may play sound
// before any gesture. touch: the page has a touch screen as well as the
// mouse. screen: { width, height, ratio } of a viewport of its own and its
// device pixel ratio. behind: the page comes after another in the tab's
// history, which going back would return to. before: a function to run in
// the page before any of its own script.
async function open(site, { autoplay = false, touch = false, screen = null, behind = false, before = null } = {}) {
    const server = await serve(site);
    const url = `http://127.0.0.1:${server.address().port}/`;
    const browser = await chromium.launch({
        executablePath: '/usr/bin/chromium',
        // Playwright mutes every page unless told otherwise. On a busy
        // machine the audio output's default buffer runs dry and drops whole
        // cues from the recording; a larger one holds them.
        ignoreDefaultArgs: ['--mute-audio'],
        args: ['--no-sandbox', '--audio-buffer-size=2048', `--autoplay-policy=${autoplay ? 'no-user-gesture-required' : 'document-user-activation-required'}`],
    });
    const context = await browser.newContext({
        viewport: screen ? { width: screen.width, height: screen.height } : viewport,
        deviceScaleFactor: screen ? screen.ratio || 1 : 1,
        hasTouch: touch,
    });
    const page = await context.newPage();
    const errors = [];
    page.on('pageerror', error => errors.push(error.message));
    page.on('console', message => { if (message.type() === 'error') errors.push(message.text()); });
    if (before)
        await page.addInitScript(before);
    await page.addInitScript(() => {
        window.zorbelTitles = [];
        new MutationObserver(() => {
            const titles = window.zorbelTitles;
            if (document.title !== (titles.length ? titles[titles.length - 1] : ''))
                titles.push(document.title);
        }).observe(document, { subtree: true, childList: true, characterData: true });
    });
    const browserSession = await browser.newBrowserCDPSession();
    const pageSession = await context.newCDPSession(page);
    if (behind)
        await page.goto('data:text/html,<title>behind</title>');
    const opened = Date.now();
    await page.goto(url);

    return {
        page,
        url,
        errors,
        opened,

        // The title as the browser shows it, without touching the page.
        async title() {
            const { targetInfos } = await browserSession.send('Target.getTargets');
            const shown = targetInfos.find(target => target.type === 'page');
            return shown ? shown.title : null;
        },

        async waitTitle(want, seconds) {
            const until = Date.now() + seconds * 1000;
            let now;
            while ((now = await this.title()) !== want) {
                if (Date.now() > until)
                    throw new Error(`the title is '${now}' after ${seconds} s, not '${want}'`);
                await sleep(50);
            }
        },

        titles() {
            return page.evaluate(() => window.zorbelTitles);
        },

        // The ball's drawn Top, or null when it is not on the page.
        ballTop() {
            return page.evaluate(() => {
                const ball = document.getElementById('picBounce');
                return ball ? ball.getBoundingClientRect().top : null;
            });
        },

        // One finger's contact, by the browser's own touch input; or, given
        // [x, y, id] points in place of x and y, those fingers' (a start or a
        // move names all the fingers down, an end those lifted).
        touch(type, x, y) {
            const points = Array.isArray(x) ? x : x === undefined ? [] : [[x, y]];
            return pageSession.send('Input.dispatchTouchEvent', { type, touchPoints: points.map(([x, y, id = 0]) => ({ x, y, id })) });
        },

        // A press and release of a mouse button ('left', 'back', 'forward'…)
        // at x, y, by the browser's own input.
        async click(button, x, y) {
            const buttons = { left: 1, right: 2, middle: 4, back: 8, forward: 16 };
            for (const [type, held] of [['mousePressed', buttons[button]], ['mouseReleased', 0]])
                await pageSession.send('Input.dispatchMouseEvent', { type, x, y, button, buttons: held, clickCount: 1 });
        },

        // The left button held down and moved through `points` (x, y pairs)
        // one every `spacing` ms, then let go with the last: the events are
        // sent on time without waiting for the page to take each.
        async flick(points, spacing) {
            const send = (type, [x, y], buttons) =>
                pageSession.send('Input.dispatchMouseEvent', { type, x, y, button: 'left', buttons, clickCount: 1 });
            const sent = [];
            for (const point of points) {
                sent.push(send('mouseMoved', point, 1));
                await sleep(spacing);
            }
            sent.push(send('mouseReleased', points[points.length - 1], 0));
            await Promise.all(sent);
        },

        // The network gone: the site answers no more, also on connections
        // the browser keeps open.
        stopServer() {
            server.close();
            server.closeAllConnections();
        },

        async close() {
            await browser.close();
            server.close();
        },
    };
}

module.exports = { open, sleep, viewport };
