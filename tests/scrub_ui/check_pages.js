// The removal pages in a current browser: headless Chromium driven by
// playwright-core, the pages served from their resource folder by a local
// HTTP server, and a stand-in `external` that records every call. Each page,
// in every UI language, must render without a script error, show that
// language's strings (English for a locale without a string file), accept the
// host's calls and send its events, and take that language as its own
// (lang); a screenshot of each page in each language is written to the
// output folder. Chromium has no ActiveXObject, so the pages read their
// string files through XMLHttpRequest here.
//
//   node check_pages.js <pages folder> <output folder>
'use strict';

const fs = require('fs');
const http = require('http');
const path = require('path');

let chromium;
try {
    ({ chromium } = require('playwright-core'));
} catch (e) {
    console.error('playwright-core is missing: run scripts/setup.sh');
    process.exit(2);
}

const pagesDir = path.resolve(process.argv[2] || '.');
const outDir = path.resolve(process.argv[3] || '.');
fs.mkdirSync(outDir, { recursive: true });

const types = { '.HTML': 'text/html', '.JS': 'application/javascript', '.CSS': 'text/css', '.WXL': 'text/xml' };

function startServer() {
    const server = http.createServer((req, res) => {
        const name = path.basename(decodeURIComponent(req.url.split('?')[0]));
        const file = path.join(pagesDir, name);
        if (!name || !fs.existsSync(file)) {
            res.writeHead(404);
            res.end();
            return;
        }
        res.writeHead(200, { 'Content-Type': (types[path.extname(name).toUpperCase()] || 'text/plain') + '; charset=utf-8' });
        res.end(fs.readFileSync(file));
    });
    return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// The page's `external`: records calls as [name, args...] in window.__calls.
function externalStub(locale) {
    window.__calls = [];
    const record = (name) => function () {
        window.__calls.push([name].concat(Array.prototype.slice.call(arguments).map(String)));
        return name === 'getLocale' ? locale : undefined;
    };
    const stub = { getLocale: record('getLocale'), notify: record('notify'), log: record('log'),
                   setWindowProp: record('setWindowProp') };
    Object.defineProperty(window, 'external', { value: stub, configurable: true, writable: true });
}

// The UI languages' locale names; "ru" has no string files.
const locales = ['en', 'zh_CN', 'ja', 'zh_TW', 'de', 'es', 'fr', 'it', 'ko', 'pt_BR', 'sv', 'ru'];

// The strings of a page's file for locale, by id.
function stringsOf(file, locale) {
    const name = path.join(pagesDir, file.replace('.HTML', '') + '_' + locale.toUpperCase() + '.WXL');
    if (!fs.existsSync(name))
        return null;
    const table = {};
    const text = fs.readFileSync(name, 'utf8');
    const pattern = /<String\s+Id="([^"]+)">([\s\S]*?)<\/String>/g;
    for (let m = pattern.exec(text); m; m = pattern.exec(text))
        table[m[1]] = m[2].replace(/&lt;/g, '<').replace(/&gt;/g, '>').replace(/&quot;/g, '"').replace(/&apos;/g, "'").replace(/&amp;/g, '&');
    return table;
}

const failures = [];
function check(condition, what) {
    if (!condition) {
        failures.push(what);
        console.error('FAIL: ' + what);
    }
}

// Names with a quote, a backslash and a line break, as the launcher escapes
// them for a single-quoted script string.
const hostileName = "Tolva 8 'x' \\ </script>\nline";
const hostileCall = "Tolva 8 \\'x\\' \\\\ <\\/script>\\nline";

const pages = [
    {
        file: 'TOLVASCRUB.HTML',
        texts: ['uninstallBtnCtrl', 'laterBtnCtrl', 'manageListLink'],
        clicks: [
            ['uninstallBtnCtrl', ['notify', 'next']],
            ['laterBtnCtrl', ['notify', 'cancel']],
            ['manageListLink', ['notify', 'a', 'manageListLink']],
            ['moreInfo', ['notify', 'a', 'https://www.tolva.example/olderversions']],
        ],
    },
    {
        file: 'TOLVASCRUB_VERSIONS.HTML',
        calls: ["addListItem('0','Tolva 7 Update 80');", "addListItem('1','" + hostileCall + "');",
                "addListItem('2','Tolva 8 Update 40 (64-bit)');", "updateListItems('011');"],
        dom: async (page) => {
            check(await page.evaluate(() => document.getElementById('name1').innerText) === hostileName,
                  'versions: an escaped name arrives as written');
            check(await page.evaluate(() => [0, 1, 2].map((i) => document.getElementById(String(i)).checked).join()) ===
                  'false,true,true', 'versions: updateListItems ticks the rows marked 1');
            check(await page.evaluate(() => document.getElementById('checkbox1').className) === 'row selected',
                  'versions: ticked rows are emphasised');
        },
        clicks: [
            ['0', ['notify', 'checkbox_clicked', '111']],
            ['2', ['notify', 'checkbox_clicked', '110']],
            // A version's name is the label of its box.
            ['name2', ['notify', 'checkbox_clicked', '111']],
            ['nextBtnCtrl', ['notify', 'next']],
            ['backBtnCtrl', ['notify', 'cancel']],
        ],
    },
    {
        file: 'TOLVASCRUB_PROGRESS.HTML',
        firstCall: ['setWindowProp', 'closeButton', '0'],
        calls: ['showProgressView(1)', "setStatus('" + hostileCall + "','2','3')"],
        dom: async (page, strings) => {
            const status = strings.uninstallStatusFormat.replace('%KESSA_NAME%', hostileName).replace('%NUM%', '2')
                .replace('%TOTAL%', '3');
            check(await page.evaluate(() => document.getElementById('uninstallStatus').innerText) === status,
                  'progress: setStatus fills the status line');
            check(!(await page.isVisible('#nextBtnCtrl')) && !(await page.isVisible('#viewListLink')),
                  'progress: no button or link while running');
        },
        screenshot: 'TOLVASCRUB_PROGRESS-running',
        then: {
            calls: ['showProgressView(0)'],
            dom: async (page) => {
                check(await page.isVisible('#nextBtnCtrl') && await page.isVisible('#viewListLink') &&
                      await page.isVisible('#completeStatus') && !(await page.isVisible('#uninstallStatus')),
                      'progress: the finished view shows its text, button and link');
            },
        },
        clicks: [
            ['nextBtnCtrl', ['notify', 'next']],
            ['viewListLink', ['notify', 'a', 'viewListLink']],
        ],
    },
    {
        file: 'TOLVASCRUB_COMPLETE.HTML',
        calls: ["addListItem('uninstalledList', 'Tolva 7 Update 80');",
                "addListItem('uninstalledList', 'Tolva 8 Update 40 (64-bit)');",
                "addListItem('remainingList', '" + hostileCall + "');"],
        dom: async (page) => {
            check(await page.evaluate(() => document.getElementById('uninstalledList').children.length) === 2,
                  'complete: two removed versions');
            check(await page.evaluate(() => document.getElementById('remainingList').innerText) === hostileName,
                  'complete: the remaining version as written');
        },
        clicks: [['closeBtnCtrl', ['notify', 'next']]],
    },
    {
        file: 'TOLVASCRUB_DRS.HTML',
        calls: ["addListItem('Tolva 7 Update 80');", "addListItem('" + hostileCall + "');"],
        dom: async (page) => {
            check(await page.evaluate(() => document.getElementById('versionList').children.length) === 2,
                  'drs: both versions listed');
        },
        clicks: [['nextBtnCtrl', ['notify', 'next']]],
    },
];

async function run() {
    const server = await startServer();
    const base = 'http://127.0.0.1:' + server.address().port + '/';
    const browser = await chromium.launch({
        executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
        args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage'],
    });
    try {
        for (const entry of pages) {
            for (const locale of locales) {
                const english = stringsOf(entry.file, 'en');
                const own = stringsOf(entry.file, locale);
                const strings = own || english;
                const context = await browser.newContext({ viewport: { width: 640, height: 400 } });
                await context.addInitScript(externalStub, locale);
                const page = await context.newPage();
                const errors = [];
                page.on('pageerror', (e) => errors.push(e.message));
                page.on('dialog', (d) => { errors.push('dialog: ' + d.message()); d.dismiss(); });
                const label = entry.file + ' (' + locale + ')';
                await page.goto(base + entry.file, { waitUntil: 'load' });
                const calls = await page.evaluate(() => window.__calls);
                if (entry.firstCall)
                    check(JSON.stringify(calls[0]) === JSON.stringify(entry.firstCall),
                          label + ': first host call ' + JSON.stringify(calls[0]));
                const size = calls.find((c) => c[0] === 'setWindowProp' && c[1] === 'size');
                check(size && size[2] === '652' && size[3] === '432', label + ': window size sent to the host');
                const title = calls.find((c) => c[0] === 'setWindowProp' && c[1] === 'title');
                check(title && title[2] === strings.title, label + ': title sent to the host');
                check((await page.title()) === strings.title, label + ': document title');
                // The language loaded, as the root element's lang ("pt-BR").
                const lang = await page.evaluate(() => document.documentElement.lang);
                check(lang === (own ? locale : 'en').replace('_', '-'), label + ': document language ' + JSON.stringify(lang));
                check(locale === 'en' || !own || strings.title !== english.title, label + ': title left in English');
                // The buttons and the texts the page names, from the locale's file.
                const ids = (entry.texts || []).concat(Object.keys(strings).filter((id) => /BtnCtrl$/.test(id)));
                for (const id of ids) {
                    if (!(await page.isVisible('#' + id)))
                        continue;
                    check((await page.textContent('#' + id)).trim() === strings[id], label + ': text of ' + id);
                    check(locale === 'en' || !own || strings[id] !== english[id], label + ': ' + id + ' left in English');
                }
                check((await page.textContent('h1')).trim() !== '', label + ': heading has its text');
                for (const call of entry.calls || [])
                    await page.evaluate(call);
                if (entry.dom)
                    await entry.dom(page, strings);
                const suffix = locale === 'en' ? '' : '-' + locale;
                await page.screenshot({ path: path.join(outDir, (entry.screenshot || entry.file.replace('.HTML', '')) + suffix + '.png') });
                if (entry.then) {
                    for (const call of entry.then.calls)
                        await page.evaluate(call);
                    await entry.then.dom(page, strings);
                    await page.screenshot({ path: path.join(outDir, entry.file.replace('.HTML', '') + suffix + '.png') });
                }
                for (const [id, expected] of entry.clicks || []) {
                    await page.evaluate(() => { window.__calls = []; });
                    await page.click('[id="' + id + '"]');
                    const after = await page.evaluate(() => window.__calls.filter((c) => c[0] === 'notify'));
                    check(JSON.stringify(after) === JSON.stringify([expected]),
                          label + ': click on ' + id + ' sent ' + JSON.stringify(after));
                }
                check(errors.length === 0, label + ': script errors ' + JSON.stringify(errors));
                await context.close();
            }
        }
    } finally {
        await browser.close();
        server.close();
    }
    if (failures.length) {
        console.error(failures.length + ' check(s) failed');
        process.exit(1);
    }
    console.log('all pages passed; screenshots in ' + outDir);
}

run().catch((e) => {
    console.error(e);
    process.exit(1);
});
