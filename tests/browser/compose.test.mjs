// A paper composed by keys and clicks in the real main window and published
// (tess_composepaper, path in TESS_COMPOSEPAPER), then taken in headless
// Chromium: what the student sees, a full-mark attempt and a partly wrong one.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { HEADING, control, launchBrowser, launchChromium, openPage, submit } from './pagetools.mjs';

let workDir;
let pagePath;
let phonePath;
let context;

before(async () => {
  const tool = process.env.TESS_COMPOSEPAPER;
  assert.ok(tool, 'TESS_COMPOSEPAPER must name the composing program');
  workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'tess-compose-'));
  const out = path.join(workDir, 'pages');
  // A failed step says what went wrong on stderr; show it as the failure.
  try {
    [pagePath, phonePath] = execFileSync(tool, [out], {
      timeout: 120000,
      encoding: 'utf8',
      env: { ...process.env, QT_QPA_PLATFORM: 'offscreen' },
      stdio: ['ignore', 'pipe', 'pipe'],
    }).trim().split('\n');
  } catch (e) {
    assert.fail(`tess_composepaper failed (${e.status}):\n${e.stderr}`);
  }
  assert.equal(path.dirname(pagePath), out, 'the page is written into the output folder');
  assert.ok(fs.existsSync(pagePath), `no page at ${pagePath}`);
  context = await launchChromium(path.join(workDir, 'profile'));
});

after(async () => {
  if (context) await context.close();
  if (workDir) fs.rmSync(workDir, { recursive: true, force: true });
});

function openPaper() {
  return openPage(context, pathToFileURL(pagePath).href);
}

test('the composed paper shows its questions and choices', { timeout: 60000 }, async () => {
  const page = await openPaper();
  assert.equal(await page.title(), '期末测验');
  const text = await page.evaluate(() => document.body.innerText);
  assert.ok(text.includes('(满分60分)'), text);
  for (const line of ['(10分)地球绕着太阳转。', '(20分)中国的首都是哪座城市？',
    '(30分)下列哪些是质数？']) {
    assert.ok(text.includes(line), `the page shows ${line}`);
  }
  assert.ok(/一，\s*判断题/.test(text) && /二，\s*单选题/.test(text) && /三，\s*多选题/.test(text));
  // The mark-up typed into the text is the page's own.
  assert.equal(await page.locator('b', { hasText: '质数' }).count(), 1);
  // Each control with its choice's number and text, in the grid's order.
  const controls = await page.evaluate(() =>
    Array.from(document.querySelectorAll('input[name^="Sel_"]')).map((i) => {
      const cells = Array.from(i.closest('tr').cells).map((td) => td.textContent.trim());
      return [i.name, i.type, cells.slice(0, 2).join(' ')];
    }));
  assert.deepEqual(controls, [
    ['Sel_1', 'radio', '是 对的'], ['Sel_1', 'radio', '是 对的'],
    ['Sel_2', 'radio', '1 上海'], ['Sel_2', 'radio', '2 北京'], ['Sel_2', 'radio', '3 广州'],
    ['Sel_3', 'checkbox', '1 2'], ['Sel_3', 'checkbox', '2 9'], ['Sel_3', 'checkbox', '3 13'],
  ]);
  await page.close();
});

test('the picture inserted into a text shows beside the page', { timeout: 60000 }, async () => {
  const page = await openPaper();
  const picture = page.locator('img');
  assert.equal(await picture.count(), 1);
  const src = decodeURIComponent(await picture.evaluate((el) => el.src));
  assert.ok(src.endsWith('/composed.files/中国 地图.png'), src);
  await page.waitForFunction(() => document.querySelector('img').complete);
  assert.equal(await picture.evaluate((el) => el.naturalWidth), 1, 'the picture loaded');
  assert.ok(fs.existsSync(path.join(path.dirname(pagePath), 'composed.files', '中国 地图.png')));
  await page.close();
});

test('all right, then some wrong', { timeout: 60000 }, async () => {
  const page = await openPaper();
  await control(page, 1, 0).check(); // 对的: the earth goes round the sun
  await control(page, 2, 1).check(); // 北京
  await control(page, 3, 0).check(); // 2
  await control(page, 3, 2).check(); // 13
  let r = await submit(page);
  assert.equal(r.opens, 1);
  assert.equal(r.name, '试卷批改结果');
  assert.deepEqual(r.rows, [
    ['判断题'], HEADING, ['1', '10', '是对的.', '正确', '10'],
    ['单选题'], HEADING, ['1', '20', '2', '正确', '20'],
    ['多选题'], HEADING, ['1', '30', '1, 3', '正确', '30'],
    ['试卷总分', '60', '你的得分', '60'],
  ]);

  await control(page, 1, 1).check(); // 错的
  await control(page, 3, 1).check(); // 9 besides 2 and 13: all or nothing
  r = await submit(page);
  assert.deepEqual(r.rows, [
    ['判断题'], HEADING, ['1', '10', '是对的.', '错误', '0'],
    ['单选题'], HEADING, ['1', '20', '2', '正确', '20'],
    ['多选题'], HEADING, ['1', '30', '1, 3', '错误', '0'],
    ['试卷总分', '60', '你的得分', '20'],
  ]);
  assert.deepEqual(page.dialogs, []);
  await page.close();
});

// The same paper published again in the phone style: a student answers it on
// a phone by touch and sees the paper, their name and their answers.
test('published for phones: answered by touch on a phone', { timeout: 60000 }, async () => {
  assert.ok(fs.existsSync(phonePath), `no page at ${phonePath}`);
  assert.ok(fs.existsSync(path.join(path.dirname(phonePath), 'phone.files', '中国 地图.png')));
  const browser = await launchBrowser();
  try {
    for (const [answers, score, verdicts] of [
      [[['地球绕着太阳转', '对'], ['中国的首都', '北京'], ['质数', /\. 2$/], ['质数', /\. 13$/]],
        '60 / 满分 60', ['正确', '正确', '正确']],
      [[['地球绕着太阳转', '错'], ['中国的首都', '北京'], ['质数', /\. 2$/], ['质数', /\. 9$/]],
        '20 / 满分 60', ['错误', '正确', '错误']],
    ]) {
      const context = await browser.newContext({
        viewport: { width: 390, height: 844 }, hasTouch: true, isMobile: true,
      });
      const page = await context.newPage();
      const errors = [];
      page.on('pageerror', (e) => errors.push(e.message));
      await page.goto(pathToFileURL(phonePath).href);
      assert.equal(await page.title(), '期末测验');
      assert.equal(await page.evaluate(() => document.documentElement.scrollWidth), 390);
      await page.locator('#student-name').tap();
      await page.keyboard.type('赵小红');
      await page.locator('#student-class').tap();
      await page.keyboard.type('五年级一班');
      for (const [question, label] of answers)
        await page.locator('li.q', { hasText: question }).locator('label.option', { hasText: label }).tap();
      await page.locator('#submit-paper').tap();
      await page.locator('#report').waitFor({ state: 'visible' });
      const report = await page.evaluate(() => ({
        title: document.querySelector('#report h1').textContent,
        name: document.getElementById('report-name').textContent,
        klass: document.getElementById('report-class').textContent,
        score: document.getElementById('report-score').textContent,
        verdicts: Array.from(document.querySelectorAll('#report .verdict')).map((e) => e.textContent),
        yours: Array.from(document.querySelectorAll('#report .yours')).map((e) => e.textContent),
        right: Array.from(document.querySelectorAll('#report .right-answer')).map((e) => e.textContent),
      }));
      assert.equal(report.title, '期末测验');
      assert.equal(report.name, '赵小红');
      assert.equal(report.klass, '五年级一班');
      assert.equal(report.score, score);
      assert.deepEqual(report.verdicts, verdicts);
      assert.deepEqual(report.right, ['对', 'B. 北京', 'A. 2; C. 13']);
      assert.equal(report.yours[1], 'B. 北京');
      assert.deepEqual(errors, []);
      await context.close();
    }
  } finally {
    await browser.close();
  }
});
