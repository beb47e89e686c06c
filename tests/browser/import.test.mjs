// Question files with pictures imported in the real main window and published
// (tess_importpublish, path in TESS_IMPORTPUBLISH), then opened in headless
// Chromium: every picture of every page loads from the page's own folder, and
// nothing of a hostile file runs.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { launchChromium, openPage } from './pagetools.mjs';

let workDir;
let pages;
let context;

before(async () => {
  const tool = process.env.TESS_IMPORTPUBLISH;
  assert.ok(tool, 'TESS_IMPORTPUBLISH must name the importing program');
  workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'tess-import-'));
  try {
    pages = execFileSync(tool, [path.join(workDir, 'pages')], {
      timeout: 120000,
      encoding: 'utf8',
      env: { ...process.env, QT_QPA_PLATFORM: 'offscreen' },
      stdio: ['ignore', 'pipe', 'pipe'],
    }).trim().split('\n');
  } catch (e) {
    assert.fail(`tess_importpublish failed (${e.status}):\n${e.stderr}`);
  }
  assert.equal(pages.length, 3);
  context = await launchChromium(path.join(workDir, 'profile'));
});

after(async () => {
  if (context) await context.close();
  if (workDir) fs.rmSync(workDir, { recursive: true, force: true });
});

// Each picture of the page once the page has loaded: where it points, whether
// it loaded, and the attributes the imported tag carried.
async function pictures(pagePath) {
  const page = await openPage(context, pathToFileURL(pagePath).href);
  await page.waitForLoadState('load');
  const found = await page.evaluate(() => Array.from(document.images).map((img) => ({
    src: decodeURIComponent(img.src),
    complete: img.complete,
    width: img.naturalWidth,
    alt: img.getAttribute('alt'),
    widthAttribute: img.getAttribute('width'),
  })));
  await page.close();
  return found;
}

test('the Moodle example shows its flag and its choice picture', { timeout: 60000 }, async () => {
  const found = await pictures(pages[0]);
  assert.equal(found.length, 2, JSON.stringify(found));
  for (const p of found) {
    assert.ok(p.src.includes('/moodle.files/'), `points into the page's folder: ${p.src}`);
    assert.ok(p.complete && p.width > 0, `loaded: ${JSON.stringify(p)}`);
  }
  const flag = found.find((p) => p.src.endsWith('/moodle.files/flag-uk.jpg'));
  assert.ok(flag, JSON.stringify(found));
  assert.equal(flag.width, 30);
  // The rest of the tag is as Moodle wrote it.
  assert.equal(flag.alt, 'British Flag');
  assert.equal(flag.widthAttribute, '30');
  const choice = found.find((p) => p.src.endsWith('/moodle.files/union jack.png'));
  assert.ok(choice, JSON.stringify(found));
  assert.equal(choice.alt, 'flag');
  assert.equal(choice.width, 12);
});

test('the GIFT question shows the picture of the pictures folder', { timeout: 60000 }, async () => {
  const found = await pictures(pages[1]);
  assert.equal(found.length, 1, JSON.stringify(found));
  assert.ok(found[0].src.endsWith('/gift.files/中国 地图.png'), found[0].src);
  assert.ok(found[0].complete && found[0].width === 16, JSON.stringify(found[0]));
});

test('nothing of a hostile file runs, fetches or opens a box', { timeout: 60000 }, async () => {
  const requests = [];
  const record = (r) => requests.push(r.url());
  context.on('request', record);
  try {
    const page = await openPage(context, pathToFileURL(pages[2]).href);
    await page.waitForLoadState('load');
    assert.ok((await page.textContent('body')).includes('哪个是安全的?'));
    // What a student does: click the link, point at the choice.
    await page.getByText('点我').click();
    await page.getByText('甲', { exact: true }).hover();
    await page.waitForTimeout(500);
    assert.equal(await page.evaluate(() => window.__ran), undefined, 'no script ran');
    assert.deepEqual(page.dialogs, [], 'no box was opened');
    assert.equal(page.url(), pathToFileURL(pages[2]).href, 'the page stayed where it was');
    assert.deepEqual(page.pageErrors, []);
    await page.close();
  } finally {
    context.off('request', record);
  }
  // The page and its broken picture; nothing from elsewhere.
  const away = requests.filter((u) => !u.startsWith('file:') && !u.startsWith('data:image/'));
  assert.deepEqual(away, [], 'no request left the page');
});
