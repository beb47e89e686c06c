// Texts that another program wrote into the bank, in real headless Chromium:
// each page of tess_pagegen's hostile texts is written whatever the check
// says, and a student answers every question right. Where the check lets the
// text through, the page still marks full points; where it stops the text,
// the page indeed cannot be marked (no report, or wrong points).
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { launchChromium, openPage } from './pagetools.mjs';

let workDir;
let context;

before(async () => {
  const tool = process.env.TESS_PAGEGEN;
  assert.ok(tool, 'TESS_PAGEGEN must name the page generator');
  workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'tess-hostile-'));
  execFileSync(tool, [path.join(workDir, 'pages')], { timeout: 60000 });
  context = await launchChromium(path.join(workDir, 'profile'));
});

after(async () => {
  if (context) await context.close();
  if (workDir) fs.rmSync(workDir, { recursive: true, force: true });
});

// The pages of pagegen.cpp's kHostileTexts and whether the check passes them.
const PAGES = [
  ['text-plain', true],
  ['text-comment', false],
  ['text-name-comment', false],
  ['text-script', false],
  ['text-script-escaped', false],
  ['text-textarea', false],
  ['text-template', false],
  ['text-quote', false],
  ['text-form', false],
  ['text-form-end', true],
  ['text-sel', false],
  ['text-paperform', false],
  ['text-onjudge', false],
  ['text-script-objects', true],
  ['text-closed-script', true],
  ['text-control', true],
  ['text-table-end', true],
  ['text-cell', true],
  ['text-table-open', true],
];

// Answers right as a student would (choice 1 of question 1, 对的 of question
// 2, on the controls the writer wrote, never on a text's own), submits, and
// tells whether the page marked it: the writer's four controls all in the
// paper's form, and a report of full points.
async function marksRight(name) {
  const url = pathToFileURL(path.join(workDir, 'pages', `${name}.html`)).href;
  const page = await openPage(context, url, { confirm: true, loadErrors: true });
  const clicked = await page.evaluate(() => {
    const own = (n) => Array.from(document.querySelectorAll(`input[name="${n}"]`))
      .filter((c) => !c.hasAttribute('data-x'));
    for (const n of ['Sel_1', 'Sel_2']) if (own(n)[0]) own(n)[0].checked = true;
    const form = document.forms.PaperForm;
    window.__allControls = [...own('Sel_1'), ...own('Sel_2')]
      .filter((c) => form && c.form === form).length === 4;
    const button = document.querySelector('input[type=submit]');
    if (!button || button.getClientRects().length === 0) return false;
    button.click();
    return true;
  }).catch(() => false);
  let points = null;
  if (clicked) {
    await page.waitForTimeout(300);
    points = await page.evaluate(() => {
      const opens = window.__opens || [];
      if (opens.length === 0) return null;
      const rows = Array.from(opens[opens.length - 1].w.document.querySelectorAll('tr'));
      const total = rows.find((tr) => tr.textContent.includes('你的得分'));
      const points = total ? total.cells[total.cells.length - 1].textContent : null;
      return window.__allControls ? points : null;
    }).catch(() => null); // the form was sent: the page is gone
  }
  await page.close();
  return points === '20';
}

for (const [name, passes] of PAGES) {
  test(`${name}: ${passes ? 'marks full points' : 'cannot be marked'}`, { timeout: 60000 },
    async () => {
      assert.equal(await marksRight(name), passes);
    });
}
