// Time Chromium takes to load and to mark a generated page.
// Usage: node bench/mark_time.mjs <page.html>   (e.g. the page bench_generate keeps)
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL, fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const { chromium } = await import(
  pathToFileURL(path.join(here, '../tests/browser/node_modules/playwright-core/index.mjs')).href);

const page_ = process.argv[2];
if (!page_) { console.error('usage: node mark_time.mjs <page.html>'); process.exit(2); }
const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'tess-bench-'));
const context = await chromium.launchPersistentContext(profile, {
  executablePath: '/usr/bin/chromium', headless: true, timeout: 60000,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
try {
  const page = await context.newPage();
  page.on('dialog', (d) => d.accept());
  const t0 = Date.now();
  await page.goto(pathToFileURL(path.resolve(page_)).href, { timeout: 120000 });
  const load = Date.now() - t0;
  const result = await page.evaluate(() => {
    // Answer every question: the first control of each group.
    const seen = new Set();
    for (const input of document.querySelectorAll('input[name^="Sel_"]')) {
      if (!seen.has(input.name)) { seen.add(input.name); input.checked = true; }
    }
    const times = [];
    for (let i = 0; i < 5; i++) {
      const t = performance.now();
      document.querySelector('input[type=submit]').click();
      times.push(performance.now() - t);
    }
    const rows = window.open('', '试卷批改结果').document.querySelectorAll('tr').length;
    return { times, rows, questions: seen.size };
  });
  const sorted = [...result.times].sort((a, b) => a - b);
  console.log(`load ${load} ms; ${result.questions} questions answered; report rows ${result.rows}`);
  console.log(`marking (OnJudge incl. report writing): median ${sorted[2].toFixed(1)} ms, runs ${result.times.map((t) => t.toFixed(1)).join(', ')}`);
} finally {
  await context.close();
  fs.rmSync(profile, { recursive: true, force: true });
}
