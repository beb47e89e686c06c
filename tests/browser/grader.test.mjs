// The grader script in real headless Chromium. Pages come from the C++ writer
// (tess_pagegen, path in TESS_PAGEGEN); a student answers by clicking, submits,
// and the report window's document is read back.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { HEADING, control, launchChromium, openPage, submit } from './pagetools.mjs';

let workDir;
let context;

before(async () => {
  const tool = process.env.TESS_PAGEGEN;
  assert.ok(tool, 'TESS_PAGEGEN must name the page generator');
  workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'tess-grader-'));
  execFileSync(tool, [path.join(workDir, 'pages')], { timeout: 60000 });
  context = await launchChromium(path.join(workDir, 'profile'));
});

after(async () => {
  if (context) await context.close();
  if (workDir) fs.rmSync(workDir, { recursive: true, force: true });
});

// Opens a generated page of the fixtures by its name.
function openPaper(name, answers = { confirm: true }) {
  return openPage(context, pathToFileURL(path.join(workDir, 'pages', `${name}.html`)).href, answers);
}

test('true/false both ways', { timeout: 60000 }, async () => {
  const page = await openPaper('truefalse');
  await control(page, 1, 0).check(); // 对的, the statement is right
  await control(page, 2, 0).check(); // 对的, but the statement is wrong
  const r = await submit(page);
  assert.equal(r.opens, 1);
  assert.deepEqual(r.args, ['', '试卷批改结果', 'resizable=yes, scrollbars=yes']);
  assert.equal(r.name, '试卷批改结果');
  assert.equal(r.title, '试卷批阅结果');
  assert.deepEqual(r.rows, [
    ['判断题'], HEADING,
    ['1', '10', '是对的.', '正确', '10'],
    ['2', '10', '是错的.', '错误', '0'],
    ['试卷总分', '20', '你的得分', '10'],
  ]);
  assert.deepEqual(r.red, [false, false, false, true, false]);
  assert.deepEqual(page.dialogs, []);
  // The answers stay in the page.
  assert.ok(await control(page, 1, 0).isChecked());
  assert.ok(await control(page, 2, 0).isChecked());
  await page.close();
});

test('report holds exactly the writes of the grader', { timeout: 60000 }, async () => {
  const page = await openPaper('truefalse');
  await control(page, 1, 0).check();
  await control(page, 2, 1).check();
  const r = await submit(page);
  assert.deepEqual(r.writes, [
    '<HTML>', '<HEAD>', '<TITLE>试卷批阅结果</TITLE>', '</HEAD>', '<BODY topmargin=50>',
    '<TABLE BORDER=1 ALIGN=center width=600>',
    '<TR>', '<TD align=center width=600 colspan= 5>判断题</TD>', '</TR>',
    '<TR>', '<TD align=center width=60>题号</TD>', '<TD align=center width=60>分值</TD>',
    '<TD align=left width=320>正确答案</TD>', '<TD align=center width=100>批改结果</TD>',
    '<TD align=center width=60>得分</TD>', '</TR>',
    '<TR>', '<TD align=center>1</TD>', '<TD align=center>10</TD>', '<TD align=left>是对的.</TD>',
    '<TD align=center>正确</TD>', '<TD align=center>10</TD>', '</TR>',
    '<TR>', '<TD align=center>2</TD>', '<TD align=center>10</TD>', '<TD align=left>是错的.</TD>',
    '<TD align=center>正确</TD>', '<TD align=center>10</TD>', '</TR>',
    '<TR>', '<TD colspan=2 align=center>试卷总分</TD>', '<TD align=center>20</TD>',
    '<TD align=center>你的得分</TD>', '<TD align=center>20</TD>', '</TR>',
    '</TABLE>', '</BODY>', '</HTML>',
  ]);
  await page.close();
});

test('single and multiple choice, right and wrong', { timeout: 60000 }, async () => {
  const page = await openPaper('choices');
  await control(page, 1, 1).check(); // the right one
  await control(page, 2, 0).check(); // 1 of "1, 3" only
  let r = await submit(page);
  assert.deepEqual(r.rows, [
    ['单选题'], HEADING, ['1', '10', '2', '正确', '10'],
    ['多选题'], HEADING, ['1', '20', '1, 3', '错误', '0'],
    ['试卷总分', '30', '你的得分', '10'],
  ]);
  assert.equal(r.red[5], true);
  assert.equal(r.writes.filter((w) => w === '<b><font color = red>').length, 1);

  await control(page, 1, 0).check(); // wrong single choice
  await control(page, 2, 2).check(); // now 1 and 3: right
  r = await submit(page);
  assert.deepEqual(r.rows, [
    ['单选题'], HEADING, ['1', '10', '2', '错误', '0'],
    ['多选题'], HEADING, ['1', '20', '1, 3', '正确', '20'],
    ['试卷总分', '30', '你的得分', '20'],
  ]);
  // One checkbox too many is wrong: marking is all or nothing.
  await control(page, 2, 3).check();
  r = await submit(page);
  assert.deepEqual(r.rows[5], ['1', '20', '1, 3', '错误', '0']);
  await page.close();
});

test('ten choices: only the first eight count', { timeout: 60000 }, async () => {
  const page = await openPaper('tenchoices');
  assert.equal(await page.locator('input[name="Sel_1"]').count(), 10);
  // Only the ninth checked: the question counts as unanswered.
  await control(page, 1, 8).check();
  let r = await submit(page);
  assert.deepEqual(page.dialogs.map((d) => d.message), ['当前试卷有题目没有做，要提交试卷吗?']);
  // Correct are 2 and 9; the ninth is beyond the capacity, so "2" is the answer
  // and checking 2 (with or without 9) is right.
  assert.deepEqual(r.rows[2], ['1', '10', '2', '错误', '0']);
  await control(page, 1, 1).check();
  r = await submit(page);
  assert.deepEqual(r.rows[2], ['1', '10', '2', '正确', '10']);
  await control(page, 1, 8).uncheck();
  await control(page, 1, 9).check();
  r = await submit(page);
  assert.deepEqual(r.rows[2], ['1', '10', '2', '正确', '10']);
  assert.equal(page.dialogs.length, 1);
  await page.close();
});

test('two-choice single choice is not taken for true/false', { timeout: 60000 }, async () => {
  const page = await openPaper('twochoice');
  await control(page, 1, 0).check();
  const r = await submit(page);
  assert.deepEqual(r.rows, [
    ['单选题'], HEADING, ['1', '10', '1', '正确', '10'], ['试卷总分', '10', '你的得分', '10'],
  ]);
  await page.close();
});

test('unanswered questions: confirmation accepted', { timeout: 60000 }, async () => {
  const page = await openPaper('choices', { confirm: true });
  await control(page, 1, 1).check();
  const r = await submit(page);
  assert.deepEqual(page.dialogs, [{ type: 'confirm', message: '当前试卷有题目没有做，要提交试卷吗?' }]);
  assert.equal(r.opens, 1);
  assert.deepEqual(r.rows[5], ['1', '20', '1, 3', '错误', '0']);
  assert.deepEqual(r.rows[6], ['试卷总分', '30', '你的得分', '10']);
  await page.close();
});

test('unanswered questions: confirmation declined', { timeout: 60000 }, async () => {
  const page = await openPaper('choices', { confirm: false });
  await control(page, 2, 0).check();
  const r = await submit(page);
  assert.equal(page.dialogs.length, 1);
  assert.equal(r.opens, 0, 'no report');
  assert.ok(await control(page, 2, 0).isChecked());
  await page.close();
});

test('paper without questions', { timeout: 60000 }, async () => {
  const page = await openPaper('empty');
  const r = await submit(page);
  assert.deepEqual(page.dialogs, []);
  assert.deepEqual(r.rows, [['试卷总分', '50', '你的得分', '0']]);
  await page.close();
});

test('total is the stored full mark', { timeout: 60000 }, async () => {
  const page = await openPaper('total');
  await control(page, 1, 0).check();
  const r = await submit(page);
  assert.deepEqual(r.rows.at(-1), ['试卷总分', '100', '你的得分', '10']);
  await page.close();
});

test('resubmission reuses the window with a fresh report', { timeout: 60000 }, async () => {
  const page = await openPaper('truefalse');
  const popup = page.waitForEvent('popup');
  await control(page, 1, 1).check();
  await control(page, 2, 1).check();
  let r = await submit(page);
  const report = await popup;
  assert.deepEqual(r.rows.at(-1), ['试卷总分', '20', '你的得分', '10']);
  const pages = context.pages().length;

  await control(page, 1, 0).check();
  r = await submit(page);
  assert.equal(r.opens, 2);
  assert.ok(r.sameWindow, 'the window named 试卷批改结果 is reused');
  assert.equal(context.pages().length, pages, 'no further window');
  // Only the new report shows, not the old one above it.
  assert.deepEqual(r.rows, [
    ['判断题'], HEADING,
    ['1', '10', '是对的.', '正确', '10'],
    ['2', '10', '是错的.', '正确', '10'],
    ['试卷总分', '20', '你的得分', '20'],
  ]);
  assert.equal(await report.locator('table').count(), 1);
  await page.close();
});

test('pictures resolve inside <name>.files', { timeout: 60000 }, async () => {
  const page = await openPaper('pictures');
  const img = page.locator('img');
  assert.equal(await img.count(), 1);
  const src = await img.evaluate((el) => el.src);
  assert.match(src, /\/pictures\.files\/dot%20one\.png$/);
  const width = await img.evaluate(async (el) => {
    if (!el.complete) await new Promise((resolve) => { el.onload = el.onerror = resolve; });
    return el.naturalWidth;
  });
  assert.equal(width, 1, 'the picture loads from the page pictures folder');
  await page.close();
});

test('questions without a number keep their own controls', { timeout: 60000 }, async () => {
  const page = await openPaper('unnumbered');
  const groups = await page.evaluate(() =>
    Array.from(new Set(Array.from(document.querySelectorAll('input[type=radio]')).map((i) => i.name))));
  assert.equal(groups.length, 2);
  await page.locator(`input[name="${groups[0]}"]`).nth(0).check();
  await page.locator(`input[name="${groups[1]}"]`).nth(1).check();
  assert.ok(await page.locator(`input[name="${groups[0]}"]`).nth(0).isChecked(), 'one answer does not clear the other');
  const r = await submit(page);
  assert.deepEqual(r.rows.at(-1), ['试卷总分', '20', '你的得分', '20']);
  await page.close();
});

test('sections, GBK text and marks of a mixed paper', { timeout: 60000 }, async () => {
  const page = await openPaper('mixed');
  assert.equal(await page.title(), '综合😀测验');
  const text = await page.evaluate(() => document.body.innerText);
  assert.ok(text.includes('笑😀'));
  assert.ok(text.includes('(满分40分)'));
  assert.ok(/一，\s*判断题/.test(text) && /二，\s*单选题/.test(text) && /三，\s*多选题/.test(text));
  await control(page, 1, 0).check();
  await control(page, 4, 1).check();
  await control(page, 2, 1).check();
  await control(page, 3, 1).check();
  const r = await submit(page);
  // Report numbers follow the page's running numbers within each type.
  assert.deepEqual(r.rows, [
    ['判断题'], HEADING, ['1', '10', '是对的.', '正确', '10'], ['2', '10', '是错的.', '正确', '10'],
    ['单选题'], HEADING, ['1', '10', '2', '正确', '10'],
    ['多选题'], HEADING, ['1', '10', '2, 3', '错误', '0'],
    ['试卷总分', '40', '你的得分', '30'],
  ]);
  await page.close();
});

test('an error while marking never sends the form', { timeout: 60000 }, async () => {
  const page = await openPaper('truefalse');
  await control(page, 1, 0).check();
  await control(page, 2, 1).check();
  await page.evaluate(() => { Qst_1.JudgeQuestion = () => { throw new Error('坏了'); }; });
  const r = await submit(page);
  assert.equal(page.dialogs.length, 1);
  assert.match(page.dialogs[0].message, /批改试卷时出错: 坏了/);
  assert.ok(await control(page, 1, 0).isChecked());
  assert.equal(r.opens, 1);
  await page.close();
});

// A bank written by another program holds script in its flag columns. The
// page writes true or false only: nothing of the bank's text runs, and the
// flags mark as false, as the check and the printed key read them.
test('flags holding script run nothing and mark as false', { timeout: 60000 }, async () => {
  const page = await openPaper('hostileflag');
  const html = fs.readFileSync(path.join(workDir, 'pages', 'hostileflag.html'), 'latin1');
  assert.ok(!html.includes('pwnflag'));
  assert.equal(await page.evaluate(() => typeof window.pwnflag), 'undefined');
  await control(page, 1, 1).check(); // 错的: the flag is read as false
  await control(page, 2, 0).check(); // 对的
  await control(page, 3, 0).check(); // the one right choice
  let r = await submit(page);
  assert.deepEqual(r.rows, [
    ['判断题'], HEADING, ['1', '10', '是错的.', '正确', '10'], ['2', '10', '是对的.', '正确', '10'],
    ['单选题'], HEADING, ['1', '10', '1', '正确', '10'],
    ['试卷总分', '30', '你的得分', '30'],
  ]);
  await control(page, 3, 1).check(); // the choice whose flag held script is wrong
  r = await submit(page);
  assert.deepEqual(r.rows[6], ['1', '10', '1', '错误', '0']);
  assert.equal(await page.evaluate(() => typeof window.pwnflag), 'undefined');
  assert.deepEqual(page.pageErrors, []);
  await page.close();
});
