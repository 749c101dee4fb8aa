// Shared pieces of the browser tests: the npm packages, the demo's Apache on loopback, Chromium
// with one context per person, and form filling as a person does it.

import { spawn, spawnSync } from 'node:child_process';
import { copyFileSync, existsSync, mkdirSync, readFileSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { dirname, join } from 'node:path';
import { createInterface } from 'node:readline';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));

// A setting handed down by ctest (tests/browser/CMakeLists.txt).
export function setting(name) {
  const value = process.env[name];
  if (value === undefined) throw new Error(`${name} is not set: run the browser tests through ctest`);
  return value;
}

// playwright-core as package-lock.json pins it, installed with `npm ci` into the build tree
// when it is missing or the lock file changed.
export function loadPlaywright(work) {
  const packages = join(work, 'npm');
  const lock = join(here, 'package-lock.json');
  const installedLock = join(packages, 'package-lock.json');
  const current = existsSync(join(packages, 'node_modules', 'playwright-core', 'package.json')) &&
      existsSync(installedLock) && readFileSync(installedLock, 'utf8') === readFileSync(lock, 'utf8');
  if (!current) {
    rmSync(join(packages, 'node_modules'), { recursive: true, force: true });
    mkdirSync(packages, { recursive: true });
    copyFileSync(join(here, 'package.json'), join(packages, 'package.json'));
    copyFileSync(lock, installedLock);
    const npm = spawnSync(setting('GATEKEEPER_NPM'), ['ci', '--no-audit', '--no-fund'],
                          { cwd: packages, stdio: 'inherit', timeout: 300_000 });
    if (npm.status !== 0) throw new Error(`npm ci failed in ${packages} (status ${npm.status})`);
  }
  return createRequire(join(packages, 'package.json'))('playwright-core');
}

// The demo's set-up as a new installation (demo_server.py), served until stop() is called.
export class DemoServer {
  static async start(work) {
    const server = new DemoServer();
    server.process = spawn(setting('GATEKEEPER_PYTHON'), [
      join(here, 'demo_server.py'),
      '--module', setting('GATEKEEPER_MODULE'), '--filter', setting('GATEKEEPER_FILTER'),
      '--overseer', setting('GATEKEEPER_OVERSEER'), '--steward', setting('GATEKEEPER_STEWARD'),
      '--rekey', setting('GATEKEEPER_REKEY'), '--work', join(work, 'demo'),
      '--preload', process.env.GATEKEEPER_PRELOAD ?? ''], { stdio: ['pipe', 'pipe', 'inherit'] });
    server.exited = new Promise((resolve) => server.process.on('exit', (code) => resolve(code)));
    const lines = createInterface({ input: server.process.stdout });
    const first = await Promise.race([
      new Promise((resolve) => lines.once('line', resolve)),
      server.exited.then((code) => { throw new Error(`demo_server.py exited with ${code}`); })]);
    server.info = JSON.parse(first);
    lines.on('line', (line) => console.log(`demo_server: ${line}`));
    return server;
  }

  get site() { return `http://127.0.0.1:${this.info.sitePort}`; }
  get overseer() { return `http://127.0.0.1:${this.info.adminPort}/cgi-bin/overseer`; }

  // Stops Apache; resolves to the launcher's status (0: no crash or sanitizer report).
  async stop() {
    if (this.process.exitCode === null) this.process.stdin.end();
    return this.exited;
  }
}

// Debian's Chromium, headless, with everything that would call out of this closed network off.
// Playwright starts every launch on a new empty profile (--user-data-dir) of its own.
export async function launchChromium(playwright) {
  return playwright.chromium.launch({
    executablePath: setting('GATEKEEPER_CHROMIUM'),
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
}

// A person at the browser: one context of their own, holding their Basic credentials.
export async function person(browser, username, password) {
  const context = await browser.newContext({ httpCredentials: { username, password } });
  context.setDefaultTimeout(60_000);
  context.setDefaultNavigationTimeout(60_000);
  return { context, page: await context.newPage() };
}

// Fills the named fields of the form that holds the first of them (a text field gets the text,
// a select list the option of that value, a checkbox is ticked when the value is true), then
// presses its submit button and waits for the page that answers.
export async function submitForm(page, fields, button = 'input[type="submit"]') {
  const names = Object.keys(fields);
  const form = page.locator(`form:has([name="${names[0]}"])`).first();
  for (const [name, value] of Object.entries(fields)) {
    const field = form.locator(`[name="${name}"]`).first();
    const tag = await field.evaluate((element) => element.tagName.toLowerCase());
    const type = await field.getAttribute('type');
    if (tag === 'select') await field.selectOption(value);
    else if (type === 'checkbox') await field.setChecked(Boolean(value));
    else await field.fill(value);
  }
  return clickAndWait(page, form.locator(button).first());
}

// Clicks what leads to another page and waits until that page has loaded; returns its response.
export async function clickAndWait(page, target) {
  const [response] = await Promise.all([page.waitForNavigation({ waitUntil: 'load' }),
                                        target.click()]);
  return response;
}

// Follows a link of the page by its text.
export async function follow(page, text) {
  return clickAndWait(page, page.getByRole('link', { name: text, exact: true }).first());
}

// A screenshot of the whole page in the build tree.
export async function screenshot(page, directory, name) {
  mkdirSync(directory, { recursive: true });
  await page.screenshot({ path: join(directory, `${name}.png`), fullPage: true });
}

// Waits for condition() to be true, trying every half second up to a generous bound.
export async function eventually(what, condition, timeoutMs = 60_000) {
  const deadline = Date.now() + timeoutMs;
  for (;;) {
    if (await condition()) return;
    if (Date.now() > deadline) throw new Error(`not within ${timeoutMs / 1000} s: ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 500));
  }
}
