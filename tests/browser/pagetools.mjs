// What the Chromium tests share: the browser as this machine runs it, opening
// a generated page with its boxes and windows recorded, and submitting it.
import assert from 'node:assert/strict';
import { chromium } from 'playwright-core';

export const TIMEOUT = 15000;

const CHROMIUM = {
  executablePath: '/usr/bin/chromium',
  headless: true,
  timeout: 60000,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
};

// Debian's Chromium, headless, with nothing that reaches for the network.
export async function launchChromium(profileDir) {
  const context = await chromium.launchPersistentContext(profileDir, CHROMIUM);
  context.setDefaultTimeout(TIMEOUT);
  return context;
}

// The same browser without a profile, for contexts of their own (a phone's
// screen and touch, a desktop's).
export async function launchBrowser() {
  return chromium.launch(CHROMIUM);
}

// Opens a page at url. Boxes are answered as `answers.confirm` says and
// recorded; every window.open of the page is recorded with the texts written
// into the report document. A page must load without script errors unless
// `answers.loadErrors` allows them.
export async function openPage(context, url, answers = { confirm: true }) {
  const page = await context.newPage();
  const errors = [];
  page.dialogs = [];
  page.on('pageerror', (e) => errors.push(e.message));
  page.on('dialog', async (d) => {
    page.dialogs.push({ type: d.type(), message: d.message() });
    if (d.type() === 'confirm' && !answers.confirm) await d.dismiss();
    else await d.accept();
  });
  await page.addInitScript(() => {
    window.__opens = [];
    const open = window.open;
    window.open = function (...args) {
      const w = open.apply(this, args);
      window.__opens.push({ args, w });
      if (w && !w.document.__logged) {
        const doc = w.document;
        const write = doc.write;
        doc.__writes = [];
        doc.write = function (text) {
          doc.__writes.push(String(text));
          return write.call(doc, text);
        };
        doc.__logged = true;
      }
      return w;
    };
  });
  await page.goto(url);
  if (!answers.loadErrors) assert.deepEqual(errors, [], 'the page loads without script errors');
  page.pageErrors = errors;
  return page;
}

// Control `pos` (0-based) of the group Sel_<n>.
export function control(page, n, pos) {
  return page.locator(`input[name="Sel_${n}"]`).nth(pos);
}

// Submits the paper and gives back what the student sees: the report rows
// (cell texts), which verdict cells are bold red, and the writes. The form is
// never sent: the page stays where it was.
export async function submit(page) {
  const before = page.url();
  await page.click('input[type=submit]');
  const state = await page.evaluate(() => {
    const opens = window.__opens;
    if (opens.length === 0) return { opens: 0 };
    const last = opens[opens.length - 1];
    const doc = last.w.document;
    const rows = Array.from(doc.querySelectorAll('tr')).map((tr) =>
      Array.from(tr.cells).map((td) => td.textContent));
    const red = Array.from(doc.querySelectorAll('tr')).map((tr) =>
      Array.from(tr.cells).some((td) => td.querySelector('b > font[color="red"]') !== null));
    return {
      opens: opens.length,
      sameWindow: opens.every((o) => o.w === last.w),
      args: last.args,
      name: last.w.name,
      title: doc.title,
      rows,
      red,
      writes: doc.__writes,
    };
  });
  assert.equal(page.url(), before, 'the form was not sent');
  return state;
}

export const HEADING = ['题号', '分值', '正确答案', '批改结果', '得分'];
