// The browser the web tests and benchmark drive, in whichever engine
// SRTX_BROWSER names, behind one small interface: tabs that run a function
// in the page, poll for a condition, and give a file input its files; and a
// static host for the page folder.
//   chromium: Debian's Chromium through playwright-core, persistent profile
//   firefox:  Debian's Firefox ESR through puppeteer-core (WebDriver BiDi),
//             persistent profile
//   webkit:   WebKitGTK's MiniBrowser through WebKitWebDriver, plain
//             WebDriver calls (its session is ephemeral); needs a display,
//             such as xvfb-run's
'use strict';
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const http = require('node:http');
const os = require('node:os');
const path = require('node:path');

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// The tab calls each engine's driver makes, on top of which the rest is the
// same: evaluate(fn, arg) runs fn(arg) in the page (fn may be async) and
// gives its result; setFiles(selector, paths); close().
async function chromium(profile, downloads) {
    const { chromium: launcher } = require('playwright-core');
    const context = await launcher.launchPersistentContext(profile, {
        executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
        acceptDownloads: true,
        downloadsPath: downloads,
        args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
            '--disable-sync', '--no-first-run', '--js-flags=--expose-gc'],
    });
    // A tab of the page; cdp(method, params, browser) calls the DevTools
    // protocol, on the page or the browser; launched() is the next tab the
    // browser opens itself.
    const tabOf = (page, requests) => {
        page.on('request', (request) => requests.push(request.url()));
        return {
            evaluate: (fn, arg) => page.evaluate(fn, arg),
            setFiles: (selector, paths) => page.setInputFiles(selector, paths),
            reload: () => page.reload(),
            screenshot: async (file) => {
                await page.setViewportSize({ width: 900, height: 1000 });
                await page.screenshot({ path: file, fullPage: true });
            },
            cdp: async (method, params, browser) => (browser ? await context.browser().newBrowserCDPSession()
                : await context.newCDPSession(page)).send(method, params),
            launched: async () => tabOf(await context.waitForEvent('page'), requests),
            close: () => page.close(),
        };
    };
    return {
        async open(url, requests) {
            const page = await context.newPage();
            const tab = tabOf(page, requests);
            await page.goto(url);
            return tab;
        },
        close: () => context.close(),
    };
}

async function firefox(profile, downloads) {
    const puppeteer = require('puppeteer-core');
    const browser = await puppeteer.launch({
        browser: 'firefox',
        executablePath: process.env.FIREFOX || '/usr/bin/firefox-esr',
        userDataDir: profile,
        headless: true,
        extraPrefsFirefox: {
            'browser.download.dir': downloads,
            'browser.download.folderList': 2,
            'browser.download.useDownloadDir': true,
            'browser.download.always_ask_before_handling_new_types': false,
        },
    });
    return {
        async open(url, requests) {
            const page = await browser.newPage();
            page.on('request', (request) => requests.push(request.url()));
            await page.goto(url);
            return {
                evaluate: (fn, arg) => page.evaluate(fn, arg),
                setFiles: async (selector, paths) => (await page.$(selector)).uploadFile(...paths),
                reload: () => page.reload(),
                close: () => page.close(),
            };
        },
        close: () => browser.close(),
    };
}

async function webkit() {
    const port = 20000 + Math.floor(Math.random() * 20000);
    const driver = spawn(process.env.WEBKIT_DRIVER || 'WebKitWebDriver', [`--port=${port}`], { stdio: 'ignore' });
    const call = async (method, where, body) => {
        const response = await fetch(`http://127.0.0.1:${port}${where}`, {
            method, headers: { 'content-type': 'application/json' }, body: body && JSON.stringify(body),
        });
        const { value } = await response.json();
        if (value && value.error) {
            throw new Error(`${value.error}: ${value.message}`);
        }
        return value;
    };
    for (let tries = 0; ; ++tries) {
        try {
            await call('GET', '/status');
            break;
        } catch (error) {
            if (tries === 100) {
                throw error;
            }
            await sleep(100);
        }
    }
    // The driver holds one session at a time: each tab is a fresh load of
    // the page in it.
    const { sessionId } = await call('POST', '/session', { capabilities: { alwaysMatch: {
        'webkitgtk:browserOptions': {
            binary: process.env.MINIBROWSER || '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser',
            args: ['--automation'],
        },
        timeouts: { script: 600000 },
    } } });
    const at = `/session/${sessionId}`;
    return {
        async open(url) {
            await call('POST', `${at}/url`, { url: 'about:blank' });
            await call('POST', `${at}/url`, { url });
            return {
                async evaluate(fn, arg) {
                    const { ok, error } = await call('POST', `${at}/execute/async`, {
                        script: `const done = arguments[1]; Promise.resolve().then(() => (${fn})(arguments[0]))` +
                            '.then((ok) => done({ ok }), (error) => done({ error: String(error && error.stack || error) }));',
                        args: [arg === undefined ? null : arg],
                    });
                    if (error) {
                        throw new Error(error);
                    }
                    return ok;
                },
                async setFiles(selector, paths) {
                    const element = Object.values(await call('POST', `${at}/element`, { using: 'css selector', value: selector }))[0];
                    // A chooser the page shows by its label alone takes this
                    // driver's keys only while it is shown itself.
                    const shown = (script) => call('POST', `${at}/execute/sync`,
                        { script, args: [{ 'element-6066-11e4-a52e-4f735466cecf': element }] });
                    await shown('arguments[0].style.clipPath = "none"');
                    await call('POST', `${at}/element/${element}/clear`, {});
                    await call('POST', `${at}/element/${element}/value`, { text: paths.join('\n') });
                    await shown('arguments[0].style.clipPath = ""');
                },
                reload: () => call('POST', `${at}/refresh`, {}),
                close: async () => {},
            };
        },
        async close() {
            await call('DELETE', at).catch(() => {});
            driver.kill();
        },
    };
}

// The engine's browser, its profile and download folder under work; each tab
// gains waitFor(fn, arg, timeout), polling fn(arg) in the page until it holds
// (across the page's own reloads).
async function launch(work, name = process.env.SRTX_BROWSER || 'chromium') {
    const engines = { chromium, firefox, webkit };
    if (!engines[name]) {
        throw new Error(`SRTX_BROWSER=${name}: not chromium, firefox or webkit`);
    }
    const profile = fs.mkdtempSync(path.join(work || os.tmpdir(), `${name}-profile-`));
    const downloads = fs.mkdtempSync(path.join(work || os.tmpdir(), `${name}-downloads-`));
    const browser = await engines[name](profile, downloads);
    const waiting = (tab, launched = tab.launched) => Object.assign(tab, {
        waitFor: async (fn, arg, timeout = 120000) => {
            for (const end = Date.now() + timeout; ;) {
                const held = await tab.evaluate(fn, arg).catch((error) => {
                    if (!/context was destroyed|navigat/i.test(error.message)) {
                        throw error;
                    }
                });
                if (held) {
                    return;
                }
                if (Date.now() > end) {
                    throw new Error(`timed out waiting for ${fn}`);
                }
                await sleep(50);
            }
        },
        launched: launched && (async () => waiting(await launched())),
    });
    return {
        name,
        downloads,
        open: async (url, requests = []) => waiting(await browser.open(url, requests)),
        close: browser.close,
    };
}

// The page folder served from 127.0.0.1 as a static host would serve it, at
// a path of its own: host.folder may become another build's folder, and
// stop() takes the host away.
const types = { html: 'text/html', js: 'text/javascript', css: 'text/css', webmanifest: 'application/manifest+json',
    svg: 'image/svg+xml', png: 'image/png', txt: 'text/plain' };
async function serve(folder) {
    const host = { folder };
    const server = http.createServer((request, response) => {
        const file = path.join(host.folder, new URL(request.url, 'http://x').pathname.replace(/^\/tools\/srtx\/?/, '') || 'index.html');
        fs.readFile(file, (error, bytes) => {
            response.writeHead(error ? 404 : 200, { 'content-type': types[path.extname(file).slice(1)] || 'application/octet-stream',
                'cache-control': 'no-cache', 'x-content-type-options': 'nosniff' });
            response.end(error ? '' : bytes);
        });
    });
    await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
    host.url = `http://127.0.0.1:${server.address().port}/tools/srtx/`;
    host.stop = () => new Promise((resolve) => server.close(resolve) && server.closeAllConnections());
    return host;
}

module.exports = { launch, serve };
