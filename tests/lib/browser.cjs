// The site in Debian's Chromium, driven through playwright-core (which downloads no browser), served from 127.0.0.1
// by this process; the sound goes wherever PULSE_SERVER points. Every wait has a limit and says what it waited for.
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');
const { chromium } = require('playwright-core');

const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm', '.webmanifest': 'application/manifest+json',
    '.png': 'image/png', '.bmp': 'image/bmp', '.ico': 'image/x-icon', '.cur': 'image/x-icon' };

const sleep = milliseconds => new Promise(resolve => setTimeout(resolve, milliseconds));

// `promise`, or an error naming `what` once `seconds` have passed without it.
function within(seconds, what, promise) {
    let timer;
    const late = new Promise((_, reject) => (timer = setTimeout(() => reject(new Error(`no ${what} in ${seconds} s`)), seconds * 1000)));
    return Promise.race([promise, late]).finally(() => clearTimeout(timer));
}

function serve(site) {
    const server = http.createServer((request, response) => {
        const file = path.join(site, path.basename(new URL(request.url, 'http://127.0.0.1').pathname) || 'index.html');
        fs.readFile(file, (error, bytes) => error ? response.writeHead(404).end() :
            response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' }).end(bytes));
    });
    return within(10, 'listening web server', new Promise((resolve, reject) => server.once('error', reject).listen(0, '127.0.0.1', () => resolve(server))));
}

// Opens the site, by default at 608 x 428. autoplay: sound may play before any gesture. touch: a touch screen beside
// the mouse. screen: { width, height, ratio } of the viewport and its device pixel ratio. behind: another page before
// it in the tab's history. before: a function run in the page before any of its own script.
async function open(site, { autoplay = false, touch = false, screen = null, behind = false, before = null } = {}) {
    const server = await serve(site);
    const url = `http://127.0.0.1:${server.address().port}/`;
    const browser = await chromium.launch({
        executablePath: '/usr/bin/chromium', timeout: 60000,
        // Playwright mutes every page unless told otherwise. On a busy machine the output's default buffer runs dry
        // and drops whole cues from the recording; a larger one holds them.
        ignoreDefaultArgs: ['--mute-audio'],
        args: ['--no-sandbox', '--audio-buffer-size=2048', `--autoplay-policy=${autoplay ? 'no-user-gesture-required' : 'document-user-activation-required'}`],
    });
    const viewport = { width: screen?.width ?? 608, height: screen?.height ?? 428 };
    const context = await browser.newContext({ viewport, deviceScaleFactor: screen?.ratio ?? 1, hasTouch: touch });
    context.setDefaultTimeout(30000);
    const page = await context.newPage();
    // Playwright's own waits have their limit above; a script run in the page has this one.
    const evaluate = page.evaluate.bind(page);
    page.evaluate = (script, arg) => within(30, 'answer from a script run in the page', evaluate(script, arg));
    const errors = [];
    page.on('pageerror', error => errors.push(error.message));
    page.on('console', message => message.type() === 'error' && errors.push(message.text()));
    if (before)
        await page.addInitScript(before);
    const sessions = [await browser.newBrowserCDPSession(), await context.newCDPSession(page)];
    const send = (session, method, params) => within(30, `answer from the browser to ${method}`, sessions[session].send(method, params));
    if (behind)
        await page.goto('data:text/html,<title>behind</title>');
    await page.goto(url);
    return {
        page, url, errors,
        cdp: (method, params) => send(1, method, params), // a DevTools protocol command to the page
        // The title as the browser shows it: running script in the page to ask counts as a gesture, waking its audio.
        async title() {
            return (await send(0, 'Target.getTargets')).targetInfos.find(target => target.type === 'page')?.title ?? null;
        },
        async waitTitle(want, seconds) {
            for (let now, until = Date.now() + seconds * 1000; (now = await this.title()) !== want; await sleep(50))
                check(Date.now() <= until, `the title is '${now}' after ${seconds} s, not '${want}'`);
        },
        // The network gone: the site answers no more, also on connections the browser keeps open.
        stopServer: () => server.close().closeAllConnections(),
        close: () => within(30, 'end of the browser', browser.close()).then(() => server.close()),
    };
}

const check = (condition, message) => condition || (() => { throw new Error(message); })();

module.exports = { open, sleep, within, check };
