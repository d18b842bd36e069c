// SPDX-License-Identifier: Apache-2.0
// The page driven through its own controls: a recording opened as an .ecg
// file, as a WFDB record and as a CSV column gives the desktop tool's BPM and
// QI (the record and the column hold the example's samples in millivolts at
// 200 counts per mV around 512, which converts back to the very samples); the
// time from a control change to the repainted page is measured, and the
// screenshot (a synthetic ECG) is kept in the work folder.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { evaluate } from './DevTools.mjs';

export async function setInputFiles(browser, session, selector, files) {
  const { root } = await browser.send('DOM.getDocument', {}, session);
  const { nodeId } = await browser.send('DOM.querySelector', { nodeId: root.nodeId, selector }, session);
  await browser.send('DOM.setFileInputFiles', { nodeId, files: files.map((file) => path.resolve(file)) }, session);
}

// Polls until the page holds the recording `name` or shows a conversion
// error, 5 s at most; returns its answer and any conversion message.
function openedAnswer(browser, session, name) {
  return evaluate(browser, session, `new Promise((resolve) => {
    const started = Date.now();
    const note = document.getElementById('conversion-note');
    const check = () => {
      if (qzWorkbench.recording.name === ${JSON.stringify(name)} || note.classList.contains('error') ||
          Date.now() - started > 5000) {
        resolve({ answer: document.getElementById('bpm').textContent + ' ' + document.getElementById('qi').textContent,
                  name: qzWorkbench.recording.name, note: note.textContent });
      } else {
        setTimeout(check, 20);
      }
    };
    check();
  })`);
}

function desktopAnswer(tool, constantsFile, recordFile, work) {
  const directory = path.join(work, 'controls-run');
  fs.rmSync(directory, { recursive: true, force: true });
  fs.mkdirSync(directory, { recursive: true });
  fs.copyFileSync(constantsFile, path.join(directory, 'c.pvx.filters.v1'));
  fs.copyFileSync(recordFile, path.join(directory, 'r.ecg'));
  const run = spawnSync(tool, ['c', 'r'], { cwd: directory });
  const words = fs.readFileSync(path.join(directory, 'r.out'));
  fs.rmSync(directory, { recursive: true, force: true });
  return `${words.readUInt16LE(0)} ${words.readUInt16LE(2)}`;
}

// The example's samples as a one-signal WFDB record (format 16) and as a CSV
// column of millivolts.
function writeConvertible(recordFile, work) {
  const bytes = fs.readFileSync(recordFile);
  const samples = [];
  for (let offset = 0; offset + 1 < bytes.length; offset += 2) samples.push(bytes.readUInt16LE(offset) & 0x3ff);
  const folder = path.join(work, 'convertible');
  fs.rmSync(folder, { recursive: true, force: true });
  fs.mkdirSync(folder, { recursive: true });
  const signal = Buffer.alloc(2 * samples.length);
  samples.forEach((sample, index) => signal.writeInt16LE(sample - 512, 2 * index));
  const checksum = (samples.reduce((sum, sample) => sum + sample - 512, 0) << 16) >> 16;
  fs.writeFileSync(path.join(folder, 'example.dat'), signal);
  fs.writeFileSync(path.join(folder, 'example.hea'),
    `example 1 250 ${samples.length}\nexample.dat 16 200/mV 10 0 ${samples[0] - 512} ${checksum} 0 ECG\n`);
  const rows = samples.map((sample, index) => `${index / 250},${(sample - 512) / 200}`);
  fs.writeFileSync(path.join(folder, 'example.csv'), `time_s,ecg\n${rows.join('\n')}\n`);
  return { header: path.join(folder, 'example.hea'), signal: path.join(folder, 'example.dat'), csv: path.join(folder, 'example.csv') };
}

const REDRAWS = 12;  // even, so a toggled control ends as it began

// Medians over a number of control changes (`change`, which may use the
// number of changes so far, `times.length`) of the page's run and redraw
// script and of the time until the page has painted again, in ms.
function redrawTime(browser, session, change) {
  return evaluate(browser, session, `new Promise((resolve) => {
    const times = [];
    const scripts = [];
    const median = (values) => values.sort((a, b) => a - b)[${REDRAWS / 2}];
    const once = () => {
      const started = performance.now();
      ${change};
      scripts.push(qzWorkbench.lastRedrawMs);
      requestAnimationFrame(() => setTimeout(() => {
        times.push(performance.now() - started);
        if (times.length < ${REDRAWS}) once();
        else resolve({ script: median(scripts), painted: median(times) });
      }, 0));
    };
    once();
  })`);
}

async function setControl(browser, session, id, value) {
  await evaluate(browser, session, `(() => { const control = document.getElementById(${JSON.stringify(id)});
    control.value = ${JSON.stringify(value)}; control.dispatchEvent(new Event('change')); })()`);
}

// Opens `files` with the file input `selector` and checks the page's answer
// and the first window against the example.
async function checkOpened(browser, session, selector, files, expected, exampleBytes, what) {
  await setControl(browser, session, 'example-record', 'ecg_60bpm_600.ecg');
  await setInputFiles(browser, session, selector, files);
  const shown = await openedAnswer(browser, session, path.basename(files[0]));
  const problems = [];
  if (shown.name !== path.basename(files[0])) return [`${what} was not opened (${shown.note})`];
  if (shown.answer !== expected) problems.push(`${what} shows ${shown.answer}, the desktop tool ${expected}`);
  const windowBase64 = await evaluate(browser, session, 'bytesToBase64(qzWorkbench.recording.windows[0])');
  if (!Buffer.from(windowBase64, 'base64').equals(exampleBytes)) problems.push(`${what}: its window is not the example's samples`);
  return problems;
}

export async function checkControls(browser, session, chosen, examples) {
  const problems = [];
  const constants = path.join(examples, 'ecg250.pvx.filters.v1');
  const record = path.join(examples, 'ecg_72bpm.ecg');
  await evaluate(browser, session, `(() => { const select = document.getElementById('example-constants');
    select.value = 'ecg250.pvx.filters.v1'; select.dispatchEvent(new Event('change')); })()`);
  const expected = desktopAnswer(chosen.tool, constants, record, chosen.work);
  const exampleBytes = fs.readFileSync(record);
  problems.push(...await checkOpened(browser, session, '#ecg-file', [record], expected, exampleBytes, 'ecg_72bpm.ecg'));
  const convertible = writeConvertible(record, chosen.work);
  problems.push(...await checkOpened(browser, session, '#wfdb-files', [convertible.header, convertible.signal],
    expected, exampleBytes, 'the example as a WFDB record'));
  await setControl(browser, session, 'channel', 'ecg');
  problems.push(...await checkOpened(browser, session, '#text-file', [convertible.csv], expected, exampleBytes,
    'the example as a CSV column'));

  const maskRedraw = await redrawTime(browser, session, `document.querySelector('#mask-bits input[value="16"]').click()`);
  const knobRedraw = await redrawTime(browser, session, `(() => { const knob = document.getElementById('design-lowpass');
    knob.value = String(20 + times.length); knob.dispatchEvent(new Event('input')); })()`);
  const shown = ({ script, painted }) => `${script.toFixed(1)} ms script, ${painted.toFixed(1)} ms to the repaint`;
  console.log(`control change to redraw (median of ${REDRAWS}): stage-mask bit ${shown(maskRedraw)}; ` +
    `design knob (design, response, run) ${shown(knobRedraw)}`);

  // The screenshot: the shipped ECG set on a synthetic ECG with variable
  // rhythm, noise and baseline wander.
  await setControl(browser, session, 'example-constants', 'ecg250.pvx.filters.v1');
  for (const [id, value] of [['synth-bpm', '68'], ['synth-variability', '0.08'], ['synth-noise', '6'],
    ['synth-wander', '40'], ['synth-seed', '3']]) await setControl(browser, session, id, value);
  await evaluate(browser, session, "document.getElementById('synth-make').click()");

  const { contentSize } = await browser.send('Page.getLayoutMetrics', {}, session);
  const height = Math.ceil(contentSize.height);
  await browser.send('Emulation.setDeviceMetricsOverride', { width: 1400, height, deviceScaleFactor: 1, mobile: false }, session);
  const { data } = await browser.send('Page.captureScreenshot', { format: 'png' }, session);
  const shot = path.join(chosen.work, 'workbench.png');
  fs.writeFileSync(shot, Buffer.from(data, 'base64'));
  console.log(`screenshot: ${shot}`);
  return problems;
}
