// The page driven through its own controls: a recording opened with the file
// input gives the desktop tool's BPM and QI, a stage-mask change redraws, and
// the screenshot is kept in the work folder.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { evaluate } from './DevTools.mjs';

async function setInputFile(browser, session, selector, file) {
  const { root } = await browser.send('DOM.getDocument', {}, session);
  const { nodeId } = await browser.send('DOM.querySelector', { nodeId: root.nodeId, selector }, session);
  await browser.send('DOM.setFileInputFiles', { nodeId, files: [path.resolve(file)] }, session);
}

// Polls until the page's answer shows `expected` or 5 s pass; returns what it shows.
function shownAnswer(browser, session, expected) {
  return evaluate(browser, session, `new Promise((resolve) => {
    const started = Date.now();
    const shown = () => document.getElementById('bpm').textContent + ' ' + document.getElementById('qi').textContent;
    const check = () => shown() === ${JSON.stringify(expected)} || Date.now() - started > 5000
      ? resolve(shown()) : setTimeout(check, 20);
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

export async function checkControls(browser, session, chosen) {
  const problems = [];
  const examples = path.join(path.dirname(new URL(import.meta.url).pathname), '../../examples');
  const constants = path.join(examples, 'ecg250.pvx.filters.v1');
  const record = path.join(examples, 'ecg_72bpm.ecg');
  await evaluate(browser, session, `(() => { const select = document.getElementById('example-constants');
    select.value = 'ecg250.pvx.filters.v1'; select.dispatchEvent(new Event('change')); })()`);
  await setInputFile(browser, session, '#ecg-file', record);
  const expected = desktopAnswer(chosen.tool, constants, record, chosen.work);
  const shown = await shownAnswer(browser, session, expected);
  if (shown !== expected) problems.push(`ecg_72bpm.ecg opened with the file input shows ${shown}, the desktop tool ${expected}`);

  const redraw = await evaluate(browser, session, `(() => {
    const box = document.querySelector('#mask-bits input[value="16"]');
    const started = performance.now();
    box.click();
    box.click();
    return (performance.now() - started) / 2;
  })()`);
  console.log(`control change to redraw: ${redraw.toFixed(1)} ms`);

  const { contentSize } = await browser.send('Page.getLayoutMetrics', {}, session);
  const height = Math.ceil(contentSize.height);
  await browser.send('Emulation.setDeviceMetricsOverride', { width: 1400, height, deviceScaleFactor: 1, mobile: false }, session);
  const { data } = await browser.send('Page.captureScreenshot', { format: 'png' }, session);
  const shot = path.join(chosen.work, 'workbench.png');
  fs.writeFileSync(shot, Buffer.from(data, 'base64'));
  console.log(`screenshot: ${shot}`);
  return problems;
}
