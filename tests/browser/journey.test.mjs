// The whole product in Chromium, as its people use it on a new installation: the administrator
// sets it up and adds the accounts, a site user logs on through the filter and changes the
// password in rekey, the site's manager adds a user in steward, the administrator reads the
// event log and stops logging successful logons. A page of another origin that sends a form to
// overseer with the administrator's credentials in the browser changes nothing.
//
// Run by ctest (tests/browser/CMakeLists.txt); screenshots of every page land in the build tree.

import assert from 'node:assert/strict';
import { existsSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, describe, it } from 'node:test';

import {
  DemoServer, eventually, follow, launchChromium, loadPlaywright, person,
  screenshot, setting, submitForm,
} from './browser_support.mjs';

const ADMINISTRATOR = ['administrator', 'adminpass'];
// The server account that site users are mapped to (one of Apache's own accounts).
const NT_ACCOUNT = ['webuser', 'webpass'];
// The site's manager: unmapped, so Apache checks the password against its own account.
const MANAGER = ['sitemanager', 'keeper'];
const AUTHORITY = 'Partners';
const USER = ['alice', 'alice-first'];
const NEW_PASSWORD = 'alice-second';
const ADDED_BY_MANAGER = ['bob', 'bob-pw'];

const work = setting('GATEKEEPER_BROWSER_WORK');
const shots = join(work, 'screenshots');

let server;
let browser;
let admin;

async function text(page) {
  return page.locator('body').innerText();
}

async function expectText(page, expected, what) {
  const body = await text(page);
  assert.ok(body.includes(expected), `${what}: "${expected}" not on the page:\n${body}`);
}

function database() {
  return readFileSync(server.info.database, 'latin1');
}

// Opens the protected site's home page as user (a new context: a browser that knows only these
// credentials); returns the HTTP status the browser ends with.
async function siteStatusFor(username, password, shot) {
  const visitor = await person(browser, username, password);
  try {
    const response = await visitor.page.goto(`${server.site}/`);
    if (shot) await screenshot(visitor.page, shots, shot);
    return response.status();
  } finally {
    await visitor.context.close();
  }
}

// The rows of the log table that View log shows for the chosen event type (-1: all).
async function logRows(type) {
  await admin.page.goto(server.overseer);
  await follow(admin.page, 'View log');
  await submitForm(admin.page, { type: String(type) }, 'input[name="Again"]');
  return admin.page.locator('tr').evaluateAll((rows) => rows
    .filter((row) => row.cells.length === 8 &&
                     [...row.cells].every((cell) => cell.getAttribute('bgcolor') === '#E0E0E0'))
    .map((row) => [...row.cells].map((cell) => cell.textContent.trim())));
}

describe('Kestrel Gatekeeper in a browser', () => {
  before(async () => {
    const playwright = loadPlaywright(work);
    server = await DemoServer.start(work);
    browser = await launchChromium(playwright);
    admin = await person(browser, ...ADMINISTRATOR);
  });

  after(async () => {
    await browser?.close();
    if (server) assert.equal(await server.stop(), 0, 'Apache reported a crash or a sanitizer finding');
  });

  it('the administrator sets the configuration path on the setup page', async () => {
    const response = await admin.page.goto(server.overseer);
    assert.equal(response.status(), 200);
    await expectText(admin.page, 'Error: 1', 'fresh installation');
    await screenshot(admin.page, shots, '01-setup');
    await submitForm(admin.page, { Config: server.info.database, Backup: server.info.backups });
    await expectText(admin.page, 'Path to the configuration saved to the registry.', 'Config');
    await expectText(admin.page, 'A new empty configuration file was created.', 'Config');
    await screenshot(admin.page, shots, '02-setup-saved');
    assert.ok(existsSync(server.info.database), 'the account database was created');
  });

  it('the administrator turns logging on and adds an NT account, an authority and a binding', async () => {
    await admin.page.goto(server.overseer);
    await expectText(admin.page, 'Kestrel Gatekeeper version 1.51 - Administration CGI utility', 'frame');
    await screenshot(admin.page, shots, '03-admin-frame');

    await follow(admin.page, 'General options');
    await submitForm(admin.page, { LogFile: server.info.eventLog });
    assert.equal(await admin.page.locator('input[name="LogFile"]').inputValue(), server.info.eventLog);
    await screenshot(admin.page, shots, '04-general-options');

    await follow(admin.page, 'Add NT account');
    await submitForm(admin.page, { User: NT_ACCOUNT[0], Pass: NT_ACCOUNT[1], Pass2: NT_ACCOUNT[1] });
    await expectText(admin.page, `NT Account ${NT_ACCOUNT[0]} added successfuly.`, 'NTAccAddDo');
    await screenshot(admin.page, shots, '05-nt-account-added');

    // No expiration date required of the authority's users.
    await follow(admin.page, 'Add new authority');
    await submitForm(admin.page, { Authority: AUTHORITY, ExpirationRequired: false });
    await expectText(admin.page, `Authority ${AUTHORITY} created.`, 'AuthAddDo');
    await screenshot(admin.page, shots, '06-authority-added');

    // The site is bound by the name Apache gives it (its ServerName), whatever the browser typed.
    await follow(admin.page, 'Add new binding to site');
    await submitForm(admin.page, { Host: 'localhost', Port: String(server.info.sitePort),
                                   Authority: AUTHORITY });
    await expectText(admin.page, `Users connecting to localhost:${server.info.sitePort} will be ` +
                     `authenticated in authority: ${AUTHORITY} .`, 'BindAddDo');
    await screenshot(admin.page, shots, '07-binding-added');
    assert.match(database(), new RegExp(`\\(string\\)localhost\\|${server.info.sitePort}=${AUTHORITY}\\r?\\n`));
  });

  it('the administrator adds a site user and the site manager', async () => {
    for (const [name, password, mapped] of [[...USER, true], [...MANAGER, false]]) {
      await admin.page.goto(server.overseer);
      await follow(admin.page, 'Add new user');
      await submitForm(admin.page, { Authority: AUTHORITY });
      await submitForm(admin.page, { User: name, Pass: password, MapTo: mapped,
                                     NTAcc: NT_ACCOUNT[0], noexpiration: true });
      await expectText(admin.page, `User ${name} added to authority ${AUTHORITY}`, 'AddUserDo');
      await screenshot(admin.page, shots, `08-user-${name}-added`);
    }
  });

  it('the user opens the protected page through the filter', async () => {
    // The filter takes a database that appeared after Apache started at a later request.
    await eventually('the filter accepts the new user',
                     async () => (await siteStatusFor(...USER)) === 200);
    const user = await person(browser, ...USER);
    try {
      const response = await user.page.goto(`${server.site}/`);
      assert.equal(response.status(), 200);
      await expectText(user.page, 'You are logged on.', 'protected page');
      await screenshot(user.page, shots, '09-protected-page');
      assert.equal(await siteStatusFor(USER[0], 'not-the-password'), 401, 'a wrong password');
    } finally {
      await user.context.close();
    }
  });

  it('the user changes the password in rekey; the old one is refused, the new one accepted', async () => {
    const user = await person(browser, ...USER);
    try {
      await user.page.goto(`${server.site}/cgi-bin/rekey`);
      await expectText(user.page, 'Kestrel Gatekeeper version 1.51 - change password utility', 'rekey');
      await expectText(user.page, `authority: ${AUTHORITY}`, 'rekey names the site authority');
      await screenshot(user.page, shots, '10-rekey-login');
      await submitForm(user.page, { User: USER[0], Pass: USER[1] });
      await expectText(user.page, 'Account is active and will not expire.', 'account state');
      await screenshot(user.page, shots, '11-rekey-account');
      await submitForm(user.page, { Newpass: NEW_PASSWORD, Newpass1: NEW_PASSWORD });
      await expectText(user.page, 'Password canged', 'editdo');
      await screenshot(user.page, shots, '12-rekey-changed');
    } finally {
      await user.context.close();
    }
    assert.equal(await siteStatusFor(USER[0], USER[1], '13-old-password-refused'), 401, 'old password');
    assert.equal(await siteStatusFor(USER[0], NEW_PASSWORD, '14-new-password-accepted'), 200,
                 'new password');
  });

  it('the site manager adds a user in steward, who then logs on', async () => {
    const manager = await person(browser, ...MANAGER);
    try {
      const response = await manager.page.goto(`${server.site}/cgi-bin/steward`);
      assert.equal(response.status(), 200);
      await expectText(manager.page, 'Gatekeeper version 1.51 - authority manager', 'steward');
      await screenshot(manager.page, shots, '15-steward');
      await follow(manager.page, 'Add new user');
      await submitForm(manager.page, { User: ADDED_BY_MANAGER[0], Pass: ADDED_BY_MANAGER[1],
                                       NTAcc: NT_ACCOUNT[0], noexpiration: true });
      await expectText(manager.page, `User ${ADDED_BY_MANAGER[0]} added`, 'steward AddUserDo');
      await screenshot(manager.page, shots, '16-steward-user-added');
    } finally {
      await manager.context.close();
    }
    assert.equal(await siteStatusFor(...ADDED_BY_MANAGER), 200, 'the user added by the manager');
  });

  it('the administrator sees the events in View log and switches event 0 off', async () => {
    const all = await logRows(-1);
    await screenshot(admin.page, shots, '17-view-log');
    assert.ok(all.length > 0, 'View log lists the events');
    // One page of the log holds a few dozen lines: the events sought are listed by type.
    const logons = await logRows(0);
    const refusals = await logRows(4);
    const of = (rows, name) => rows.filter((cells) => cells[4] === name && cells[5] === AUTHORITY);
    assert.ok(of(logons, USER[0]).length > 0, `no logon of ${USER[0]} among ${JSON.stringify(logons)}`);
    assert.ok(of(logons, ADDED_BY_MANAGER[0]).length > 0, `no logon of ${ADDED_BY_MANAGER[0]}`);
    assert.ok(of(refusals, USER[0]).every((cells) => cells[3].startsWith('Invalid password')));
    assert.ok(of(refusals, USER[0]).length >= 2, `the refused passwords: ${JSON.stringify(refusals)}`);

    await admin.page.goto(server.overseer);
    await follow(admin.page, 'Logging options');
    await screenshot(admin.page, shots, '18-logging-options');
    await submitForm(admin.page, { BOX0: true });
    assert.ok(await admin.page.locator('input[name="BOX0"]').isChecked(), 'event 0 shown as off');
    await screenshot(admin.page, shots, '19-logging-options-saved');

    // A logon now leaves no line; a refusal still does.
    assert.equal(await siteStatusFor(USER[0], NEW_PASSWORD), 200);
    assert.equal(await siteStatusFor(USER[0], 'wrong again'), 401);
    assert.equal(of(await logRows(4), USER[0]).length, of(refusals, USER[0]).length + 1,
                 'the refusal is logged');
    assert.deepEqual(await logRows(0), logons, 'a logon was logged after event 0 was switched off');
  });

  it('a page from the protected site posting to overseer with the administrator\'s credentials stores nothing', async () => {
    const stored = database();
    // The administrator's browser has the credentials cached for overseer (the frame above).
    await admin.page.goto(server.overseer);
    const [response] = await Promise.all([
      admin.page.waitForResponse((r) => r.url().includes('Action=AuthAddDo') && r.status() === 200),
      admin.page.goto(`${server.site}/public/attack.html`, { waitUntil: 'commit' })]);
    await admin.page.waitForURL(/Action=AuthAddDo/);
    await admin.page.waitForLoadState('load');
    assert.equal(response.request().method(), 'POST');
    await expectText(admin.page, 'Request refused - it was sent from another site !', 'cross-site AuthAddDo');
    await screenshot(admin.page, shots, '20-cross-site-refused');
    assert.equal(database(), stored, 'the database changed');
    assert.ok(!database().includes(server.info.attackAuthority));
  });
});
