// SPDX-License-Identifier: Apache-2.0
// The page's guards against bad input, driven through its controls: a field
// qzkit refuses is refused with qzkit's very message beside it and nothing
// is made; the swing slider offers the design code's range; a file opened
// here leaves the example lists on "another one", and one named only by its
// suffix gives no hidden downloads; a large CSV converts in a worker that
// reports its progress while the page stays responsive, and is cancelled
// at once.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { evaluate } from './DevTools.mjs';
import { setInputFiles } from './PageControls.mjs';

// A page field, the value typed, the button that would make something, and
// the qzkit command that gets the same value.
const REFUSALS = [
  { field: 'design-min-bpm', value: '30.5', button: 'design-use', qzkit: ['constants', 'design', '--min-bpm', '30.5'] },
  { field: 'synth-seed', value: '4294967297', button: 'synth-make', qzkit: ['synth', 's', '--seed', '4294967297'] },
  { field: 'synth-seed', value: '-1', button: 'synth-make', qzkit: ['synth', 's', '--seed', '-1'] },
  { field: 'synth-amplitude', value: '', button: 'synth-make', qzkit: ['synth', 's', '--amplitude', ''] },
];
const LARGE_CSV_ROWS = 600000;

function qzkitRefusal(qzkit, work, args) {
  const folder = path.join(work, 'refusal-run');
  fs.rmSync(folder, { recursive: true, force: true });
  fs.mkdirSync(folder, { recursive: true });
  const run = spawnSync(qzkit, args, { cwd: folder, encoding: 'utf8' });
  fs.rmSync(folder, { recursive: true, force: true });
  return { status: run.status, message: run.stderr.split('\n')[0] };
}

async function checkRefusals(browser, session, chosen) {
  const problems = [];
  for (const refusal of REFUSALS) {
    const desktop = qzkitRefusal(chosen.qzkit, chosen.work, refusal.qzkit);
    const page = await evaluate(browser, session, `(() => {
      const field = document.getElementById(${JSON.stringify(refusal.field)});
      const made = () => JSON.stringify([qzWorkbench.recording.name, qzWorkbench.constants.name,
        bytesToBase64(qzWorkbench.recording.windows[0]), bytesToBase64(qzWorkbench.constants.bytes)]);
      const before = made();
      const kept = field.value;
      field.value = ${JSON.stringify(refusal.value)};
      field.dispatchEvent(new Event('input'));
      document.getElementById(${JSON.stringify(refusal.button)}).click();
      const shown = document.getElementById(field.id + '-message').textContent;
      const unchanged = made() === before;
      field.value = kept;
      field.dispatchEvent(new Event('input'));
      return { shown, unchanged, cleared: document.getElementById(field.id + '-message').textContent === '' };
    })()`);
    const what = `${refusal.field} = "${refusal.value}"`;
    if (desktop.status !== 2) problems.push(`qzkit ${refusal.qzkit.join(' ')} exits ${desktop.status}`);
    if (page.shown !== desktop.message) problems.push(`${what} shows "${page.shown}", qzkit says "${desktop.message}"`);
    if (!page.unchanged) problems.push(`${what}: the page made something`);
    if (!page.cleared) problems.push(`${what}: the message stays once the value is taken`);
  }
  const swing = await evaluate(browser, session, `(() => { const slider = document.getElementById('design-swing');
    return [slider.min, slider.max].join(' to '); })()`);
  if (swing !== '32 to 511') problems.push(`the swing slider offers ${swing}, the design takes 32 to 511`);
  console.log(`fields: ${REFUSALS.length} refused values compared with qzkit's messages`);
  return problems;
}

// Opens `file` as a recording and returns the example list's choice and the
// download names.
async function openOwnFile(browser, session, file) {
  await setInputFiles(browser, session, '#ecg-file', [file]);
  return evaluate(browser, session, `new Promise((resolve) => {
    const started = Date.now();
    const check = () => {
      if (qzWorkbench.recording.name !== ${JSON.stringify(path.basename(file))} && Date.now() - started < 5000) {
        return setTimeout(check, 20);
      }
      resolve({ name: qzWorkbench.recording.name, example: document.getElementById('example-record').value,
        downloads: [...document.querySelectorAll('#downloads a')].map((link) => link.download) });
    };
    check();
  })`);
}

async function checkOwnFiles(browser, session, chosen, examples) {
  const problems = [];
  const shipped = path.join(examples, 'ecg_72bpm.ecg');
  const own = await openOwnFile(browser, session, shipped);
  if (own.name !== 'ecg_72bpm.ecg') return [`ecg_72bpm.ecg was not opened (the page holds ${own.name})`];
  if (own.example !== '') problems.push(`an opened ecg_72bpm.ecg leaves the example list on "${own.example}"`);
  const folder = path.join(chosen.work, 'suffix-only');
  fs.mkdirSync(folder, { recursive: true });
  fs.copyFileSync(shipped, path.join(folder, '.ecg'));
  const hidden = await openOwnFile(browser, session, path.join(folder, '.ecg'));
  if (hidden.name !== '.ecg') return [...problems, `.ecg was not opened (the page holds ${hidden.name})`];
  const dotted = hidden.downloads.filter((name) => name.startsWith('.'));
  if (hidden.downloads.length === 0 || dotted.length > 0) {
    problems.push(`".ecg" downloads ${hidden.downloads.join(', ')}`);
  }
  return problems;
}

// Converts a CSV of LARGE_CSV_ROWS rows, cancelling the first run once it
// reports progress; returns what the page showed.
async function convertLarge(browser, session, file) {
  await evaluate(browser, session, `(() => { const channel = document.getElementById('channel');
    channel.value = ''; channel.dispatchEvent(new Event('change')); })()`);
  await setInputFiles(browser, session, '#text-file', [file]);
  return evaluate(browser, session, `new Promise((resolve) => {
    const progress = document.getElementById('conversion-progress');
    const note = document.getElementById('conversion-note');
    const shares = [];
    let cancelled = null;
    let last = performance.now();
    let longestPause = 0;
    const started = last;
    const check = () => {
      const now = performance.now();
      longestPause = Math.max(longestPause, now - last);
      last = now;
      if (!progress.hidden) shares.push(progress.value);
      if (cancelled === null && shares.some((share) => share > 0)) {
        document.getElementById('conversion-cancel').click();
        cancelled = { note: note.textContent, name: qzWorkbench.recording.name, hidden: progress.hidden };
        document.getElementById('channel').dispatchEvent(new Event('change'));
      }
      if ((cancelled !== null && progress.hidden) || now - started > 60000) {
        resolve({ cancelled, shares: shares.length, longestPause, ms: now - started, note: note.textContent,
          name: qzWorkbench.recording.name, windows: qzWorkbench.recording.windows.length, window: TABLES.lengths[0] });
      } else {
        setTimeout(check, 5);
      }
    };
    check();
  })`);
}

async function checkLargeConversion(browser, session, chosen) {
  const file = path.join(chosen.work, 'large.csv');
  const rows = Array.from({ length: LARGE_CSV_ROWS }, (unused, index) => `${index / 250},${(index % 250) / 500}`);
  fs.writeFileSync(file, `time_s,ecg\n${rows.join('\n')}\n`);
  const shown = await convertLarge(browser, session, file);
  const problems = [];
  if (shown.cancelled === null) return [`the large CSV's conversion reported no progress: ${shown.note}`];
  if (!/cancelled/.test(shown.cancelled.note) || shown.cancelled.name === 'large.csv' || !shown.cancelled.hidden) {
    problems.push(`a cancelled conversion shows "${shown.cancelled.note}" and the recording ${shown.cancelled.name}`);
  }
  if (shown.name !== 'large.csv' || shown.windows !== Math.floor(LARGE_CSV_ROWS / shown.window)) {
    problems.push(`the large CSV gave ${shown.windows} windows of ${shown.name}: ${shown.note}`);
  }
  if (shown.longestPause > 1000) {
    problems.push(`the page stalled ${shown.longestPause.toFixed(0)} ms during a conversion`);
  }
  console.log(`large CSV: ${LARGE_CSV_ROWS} rows converted in ${(shown.ms / 1000).toFixed(1)} s after a cancel, ` +
    `${shown.shares} progress readings, longest pause of the page ${shown.longestPause.toFixed(0)} ms`);
  return problems;
}

export async function checkGuards(browser, session, chosen, examples) {
  return [...await checkRefusals(browser, session, chosen), ...await checkOwnFiles(browser, session, chosen, examples),
    ...await checkLargeConversion(browser, session, chosen)];
}
