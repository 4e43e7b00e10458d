// Drives Debian's headless Chromium for qx50-web's tests and bench: one JSON command a
// line on stdin, one JSON answer a line on stdout ({"ok":true,...} or {"ok":false,"error":...}).
// The C++ side holds the pseudo-terminal unit and the panel and decides what passes.
import puppeteer from 'puppeteer-core';
import { createServer } from 'node:http';
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { createInterface } from 'node:readline';

const require = createRequire(import.meta.url);
const axeSource = readFileSync(require.resolve('axe-core/axe.min.js'), 'utf8');
const BOUND_MS = 10000;

let browser = null;
const pages = new Map();
let nextPage = 1;
let evil = null; // the second origin's server
let evilHeard = []; // the heads of the requests it received

async function launch() {
  browser = await puppeteer.launch({
    executablePath: process.env.QX50_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    acceptInsecureCerts: true, // the TLS test's certificate is made for the test
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync',
      // Names that point here, as a rebinding attacker's and a second site's would.
      '--host-resolver-rules=MAP rebind.test 127.0.0.1, MAP evil.test 127.0.0.1'],
  });
  pages.clear();
}

function page(id) {
  const found = pages.get(id);
  if (!found) throw new Error(`no page ${id}`);
  return found;
}

// The second origin: a page that tries the panel's address with the browser's cookies.
function startEvil() {
  return new Promise((resolve) => {
    const server = createServer((request, response) => {
      evilHeard.push({ url: request.url, headers: request.headers });
      response.writeHead(200, { 'Content-Type': 'text/html' });
      response.end('<!DOCTYPE html><title>elsewhere</title><p>elsewhere</p>');
    });
    server.listen(0, '127.0.0.1', () => resolve(server));
  });
}

const commands = {
  async launch() { await launch(); return {}; },
  async open({ url, width = 360, height = 740 }) {
    const tab = await browser.newPage();
    await tab.setViewport({ width, height, isMobile: width < 900, hasTouch: width < 900 });
    const statuses = [];
    tab.on('response', (response) => statuses.push(response.status()));
    const response = await tab.goto(url, { waitUntil: 'load', timeout: BOUND_MS });
    const id = nextPage++;
    pages.set(id, { tab, statuses });
    return { page: id, status: response ? response.status() : 0, url: tab.url(), statuses };
  },
  async tap({ page: id, selector }) {
    await page(id).tab.tap(selector);
    return {};
  },
  async press({ page: id, key }) {
    await page(id).tab.keyboard.press(key);
    return {};
  },
  async waitText({ page: id, selector, text }) {
    const { tab } = page(id);
    try {
      await tab.waitForFunction((s, t) => (document.querySelector(s)?.textContent ?? '').includes(t),
        { timeout: BOUND_MS, polling: 'mutation' }, selector, text);
      return { found: true };
    } catch {
      return { found: false, text: await tab.$eval(selector, (e) => e.textContent).catch(() => null) };
    }
  },
  async eval({ page: id, js }) {
    return { value: await page(id).tab.evaluate(js) };
  },
  async cookies({ page: id }) {
    return { cookies: await page(id).tab.cookies() };
  },
  async axe({ page: id }) {
    const { tab } = page(id);
    await tab.evaluate(axeSource);
    const result = await tab.evaluate(() => window.axe.run(document));
    return { violations: result.violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(' ')}`) };
  },
  async screenshot({ page: id, path }) {
    await page(id).tab.screenshot({ path, fullPage: false });
    return {};
  },
  async close({ page: id }) {
    await page(id).tab.close();
    pages.delete(id);
    return {};
  },
  // From a page of another origin: a POST with the browser's credentials, and a
  // WebSocket to the panel's page; says what the server answered to each.
  async crossOrigin({ target }) {
    evil ??= await startEvil();
    const tab = await browser.newPage();
    const statuses = [];
    tab.on('response', (response) => { if (response.url().startsWith(target)) statuses.push(response.status()); });
    await tab.goto(`http://evil.test:${evil.address().port}/`, { waitUntil: 'load', timeout: BOUND_MS });
    const socketOpened = await tab.evaluate(async (url) => {
      await fetch(url, { method: 'POST', mode: 'no-cors', credentials: 'include', body: '{"t":"send","c":"T"}' })
        .catch(() => null);
      return new Promise((resolve) => {
        const socket = new WebSocket(url.replace(/^http/, 'ws') + 'ws');
        socket.onopen = () => { socket.send('{"t":"send","c":"T"}'); resolve(true); };
        socket.onerror = () => resolve(false);
      });
    }, target);
    await tab.close();
    return { fetchStatuses: statuses, socketOpened };
  },
  // Visits a server on another port of the same host, as the operator's browser might:
  // says what that server heard from it.
  async otherPort() {
    evil ??= await startEvil();
    evilHeard = [];
    const tab = await browser.newPage();
    await tab.goto(`http://127.0.0.1:${evil.address().port}/`, { waitUntil: 'load', timeout: BOUND_MS });
    const stored = await tab.evaluate(() => JSON.stringify(localStorage));
    await tab.close();
    return { heard: evilHeard, stored };
  },
  async kill() {
    const pid = browser.process().pid;
    process.kill(pid, 'SIGKILL');
    browser = null;
    return { pid };
  },
  async quit() {
    if (browser) await browser.close();
    evil?.close();
    setImmediate(() => process.exit(0));
    return {};
  },
};

await launch();
process.stdout.write(JSON.stringify({ ok: true, ready: true }) + '\n');
const lines = createInterface({ input: process.stdin });
for await (const line of lines) {
  let answer;
  try {
    const command = JSON.parse(line);
    // A tab in the background draws no frames, and a tap, a screenshot or axe waits
    // for one: the tab a command is for comes to the front, as a person's would.
    if (command.page && pages.has(command.page) && command.do !== 'close') await page(command.page).tab.bringToFront();
    answer = { ok: true, ...(await commands[command.do](command)) };
  } catch (error) {
    answer = { ok: false, error: String((error && (error.stack || error.message)) || error) };
  }
  process.stdout.write(JSON.stringify(answer) + '\n');
}
if (browser) await browser.close().catch(() => {});
process.exit(0);
