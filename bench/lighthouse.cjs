// Lighthouse (npm, pinned by bench/package-lock.json) on the built site, in
// Debian's Chromium, headless:
//
//   lighthouse.cjs SITE [--mobile N] [--desktop N] [--plain] [--keep DIR]
//
// SITE is served from 127.0.0.1 by a static server in this process, which
// gzips what it sends when asked to, as a web host does (--plain: as the
// files are). --mobile: N runs in Lighthouse's default setting, a mid-range
// phone on a slow 4G line, simulated (default 3); --desktop: N runs with its
// desktop preset (default 1). --keep: each run's JSON report into DIR.
//
// Prints one line per run, "who=lighthouse_mobile ..." or
// "who=lighthouse_desktop ...", of key=value figures: the category scores
// out of 100 (performance, accessibility, best_practices, seo), the metrics
// (fcp_ms, lcp_ms, tbt_ms, si_ms, cls), benchmark_index (Lighthouse's
// measure of this machine's speed; it expects about 1000 or more), and
// flagged: the ids of the scored audits under 0.9, as CATEGORY:ID, joined
// by commas; version: Lighthouse's; served: gzip or plain.
'use strict';
const { execFile } = require('child_process');
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const zlib = require('zlib');

const types = {
    '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.wasm': 'application/wasm',
    '.json': 'application/json', '.webmanifest': 'application/manifest+json', '.png': 'image/png',
    '.bmp': 'image/bmp', '.ico': 'image/x-icon', '.svg': 'image/svg+xml', '.css': 'text/css',
};

function parseArguments(argv) {
    const options = { site: null, mobile: 3, desktop: 1, plain: false, keep: null };
    for (let i = 0; i < argv.length; i++) {
        const argument = argv[i];
        if (argument === '--mobile' || argument === '--desktop') {
            const value = Number(argv[++i]);
            if (!Number.isInteger(value) || value < 0)
                throw new Error(`${argument} wants a count, not '${argv[i]}'`);
            options[argument.slice(2)] = value;
        } else if (argument === '--keep') {
            if (i + 1 >= argv.length)
                throw new Error('--keep wants a folder');
            options.keep = argv[++i];
        } else if (argument === '--plain') {
            options.plain = true;
        } else if (options.site === null && !argument.startsWith('--')) {
            options.site = argument;
        } else {
            throw new Error(`unknown argument '${argument}'`);
        }
    }
    if (options.site === null)
        throw new Error('usage: lighthouse.cjs SITE [--mobile N] [--desktop N] [--plain] [--keep DIR]');
    return options;
}

// The site's files, one folder deep or more, by their path under it.
function serve(site, plain) {
    const root = path.resolve(site);
    const server = http.createServer((request, response) => {
        let name = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
        if (name.endsWith('/'))
            name += 'index.html';
        const file = path.join(root, path.normalize(name));
        if (!file.startsWith(root + path.sep)) {
            response.writeHead(404).end();
            return;
        }
        fs.readFile(file, (error, bytes) => {
            if (error) {
                response.writeHead(404).end();
                return;
            }
            const headers = { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' };
            if (!plain && /\bgzip\b/.test(request.headers['accept-encoding'] || '')) {
                bytes = zlib.gzipSync(bytes, { level: 9 });
                headers['Content-Encoding'] = 'gzip';
                headers.Vary = 'Accept-Encoding';
            }
            response.writeHead(200, headers).end(bytes);
        });
    });
    return new Promise((resolve, reject) => {
        server.once('error', reject);
        server.listen(0, '127.0.0.1', () => resolve(server));
    });
}

function lighthouse(url, desktop, report) {
    const cli = path.join(path.dirname(require.resolve('lighthouse/package.json')), 'cli', 'index.js');
    const args = [
        cli, url, '--quiet', '--output=json', `--output-path=${report}`,
        '--only-categories=performance,accessibility,best-practices,seo',
        '--chrome-flags=--headless=new --no-sandbox',
    ];
    if (desktop)
        args.push('--preset=desktop');
    return new Promise((resolve, reject) => {
        execFile(process.execPath, args, {
            env: { ...process.env, CHROME_PATH: process.env.CHROME_PATH || '/usr/bin/chromium' },
            timeout: 180000,
            maxBuffer: 16 << 20,
        }, (error, stdout, stderr) => {
            if (error)
                reject(new Error(`lighthouse failed (${error.killed ? 'no report after 180 s' : `exit ${error.code}`}): ${stderr.trim()}`));
            else
                resolve();
        });
    });
}

function figures(report) {
    const { categories, audits, environment, lighthouseVersion } = report;
    const score = id => categories[id] ? Math.round(categories[id].score * 100) : 'none';
    const metric = id => audits[id] && audits[id].numericValue !== undefined ? audits[id].numericValue : NaN;
    const flagged = [];
    for (const [category, { auditRefs }] of Object.entries(categories))
        for (const { id } of auditRefs) {
            const audit = audits[id];
            if (audit && audit.score !== null && ['binary', 'numeric', 'metricSavings'].includes(audit.scoreDisplayMode) &&
                audit.score < 0.9)
                flagged.push(`${category}:${id}`);
        }
    return {
        performance: score('performance'),
        accessibility: score('accessibility'),
        best_practices: score('best-practices'),
        seo: score('seo'),
        fcp_ms: metric('first-contentful-paint').toFixed(0),
        lcp_ms: metric('largest-contentful-paint').toFixed(0),
        tbt_ms: metric('total-blocking-time').toFixed(0),
        si_ms: metric('speed-index').toFixed(0),
        cls: metric('cumulative-layout-shift').toFixed(3),
        benchmark_index: environment.benchmarkIndex.toFixed(0),
        flagged: flagged.join(',') || 'none',
        version: lighthouseVersion,
    };
}

async function main() {
    const options = parseArguments(process.argv.slice(2));
    const server = await serve(options.site, options.plain);
    const url = `http://127.0.0.1:${server.address().port}/`;
    const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'lighthouse-'));
    try {
        const runs = [...Array(options.mobile).fill(false), ...Array(options.desktop).fill(true)];
        for (const [i, desktop] of runs.entries()) {
            const report = path.join(options.keep || scratch, `lighthouse-${i + 1}-${desktop ? 'desktop' : 'mobile'}.json`);
            await lighthouse(url, desktop, report);
            const line = figures(JSON.parse(fs.readFileSync(report, 'utf8')));
            line.served = options.plain ? 'plain' : 'gzip';
            console.log(`who=lighthouse_${desktop ? 'desktop' : 'mobile'} ` +
                Object.entries(line).map(([key, value]) => `${key}=${value}`).join(' '));
        }
    } finally {
        server.close();
        fs.rmSync(scratch, { recursive: true, force: true });
    }
}

main().catch(error => {
    console.error(`lighthouse.cjs: ${error.message}`);
    process.exit(1);
});
