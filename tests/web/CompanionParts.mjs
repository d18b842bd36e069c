// SPDX-License-Identifier: Apache-2.0
// The companion program's parts in the page against `qzkit` on the desktop,
// driven through the page's own controls: constants designed from knob
// settings (the 31 bytes and the text source, byte for byte with
// `qzkit constants design --out --text`, and the same refusal for a
// high-pass out of reach), and the test battery on the shipped sets (the
// summary `qzkit conformance` prints and its CSV, byte for byte).
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { evaluate } from './DevTools.mjs';

// rate, low-pass, high-pass, order, swing, min, max and one-peak BPM; null:
// the knobs as the page opens, against the command's defaults.
const DESIGNS = [
  null,
  [250, 30, 2.05, 3, 150, 30, 270, 0],
  [250, 16.3, 0.5, 1, 375, 30, 240, 0],
  [500, 40, 3.5, 3, 300, 40, 200, 60],
  [360, 25.5, 3.35, 1, 225, 25, 300, 255],
];
const UNREACHABLE_DESIGN = [250, 20, 0.5, 3, 375, 30, 240, 0];
const KNOB_IDS = ['design-rate', 'design-lowpass', 'design-highpass', 'design-order', 'design-swing', 'design-min-bpm',
  'design-max-bpm', 'design-one-peak-bpm'];
const DESIGN_OPTIONS = ['--rate', '--lowpass', '--highpass', '--highpass-order', '--swing', '--min-bpm', '--max-bpm',
  '--one-peak-bpm'];
// The ECG set last, with the tool's default settings, which the page's
// control checks start from.
const BATTERIES = [
  { constants: 'ppg250', settings: '115 1 1 2', kind: 'pulse' },
  { constants: 'ecg250', settings: '127 1 1 2', kind: 'ecg' },
];

// Sets the knobs, designs, and returns what the page holds: its knob values
// as read back, the note, the text source and the 31 bytes.
function designInPage(browser, session, values) {
  return evaluate(browser, session, `(() => {
    const values = ${JSON.stringify(values)};
    if (values) ${JSON.stringify(KNOB_IDS)}.forEach((id, index) => { document.getElementById(id).value = String(values[index]); });
    document.getElementById('design-use').click();
    return { knobs: ${JSON.stringify(KNOB_IDS)}.map((id) => document.getElementById(id).value),
             note: document.getElementById('design-note').textContent,
             text: qzWorkbench.design ? qzWorkbench.design.text : '',
             image: qzWorkbench.design ? bytesToBase64(qzWorkbench.design.bytes) : '',
             used: qzWorkbench.constants.name };
  })()`);
}

// `knobs` null: the command's defaults.
function designOnDesktop(qzkit, work, knobs) {
  const folder = path.join(work, 'design-run');
  fs.rmSync(folder, { recursive: true, force: true });
  fs.mkdirSync(folder, { recursive: true });
  const args = ['constants', 'design', ...(knobs ? DESIGN_OPTIONS.flatMap((option, index) => [option, knobs[index]]) : []),
    '--out', 'designed.pvx.filters.v1', '--text', 'designed.txt'];
  const run = spawnSync(qzkit, args, { cwd: folder, encoding: 'latin1' });
  const read = (name) => (fs.existsSync(path.join(folder, name)) ? fs.readFileSync(path.join(folder, name)) : null);
  const result = { status: run.status, stderr: run.stderr, image: read('designed.pvx.filters.v1'), text: read('designed.txt') };
  fs.rmSync(folder, { recursive: true, force: true });
  return { args: args.join(' '), ...result };
}

async function checkDesigns(browser, session, chosen) {
  const problems = [];
  for (const values of DESIGNS) {
    const page = await designInPage(browser, session, values);
    const desktop = designOnDesktop(chosen.qzkit, chosen.work, values && page.knobs);
    if (desktop.status !== 0) problems.push(`qzkit ${desktop.args} failed: ${desktop.stderr.trim()}`);
    else if (!desktop.image.equals(Buffer.from(page.image, 'base64'))) problems.push(`design ${page.knobs}: the 31 bytes differ`);
    else if (!desktop.text.equals(Buffer.from(page.text, 'latin1'))) problems.push(`design ${page.knobs}: the text source differs`);
    else if (page.used !== 'designed.pvx.filters.v1') problems.push(`design ${page.knobs}: the run does not use it`);
  }
  const refused = await designInPage(browser, session, UNREACHABLE_DESIGN);
  const desktop = designOnDesktop(chosen.qzkit, chosen.work, refused.knobs);
  const reason = desktop.stderr.replace(/^qzkit constants: error: /, '').trim();
  if (desktop.status !== 2 || refused.note !== `Not designed: ${reason}`) {
    problems.push(`an unreachable design shows "${refused.note}"; qzkit exits ${desktop.status} with "${desktop.stderr.trim()}"`);
  }
  console.log(`designs: ${DESIGNS.length + 1} compared with qzkit constants design`);
  return problems;
}

async function batteryInPage(browser, session, battery) {
  return evaluate(browser, session, `(() => {
    const set = (id, value) => { const control = document.getElementById(id); control.value = value; control.dispatchEvent(new Event('change')); };
    set('example-constants', ${JSON.stringify(`${battery.constants}.pvx.filters.v1`)});
    const [mask, peak, beat, derivative] = ${JSON.stringify(battery.settings)}.split(' ').map(Number);
    document.querySelectorAll('#mask-bits input').forEach((box) => { box.checked = (mask & Number(box.value)) !== 0; });
    set('peak', String(peak));
    set('beat', String(beat));
    set('derivative', String(derivative));
    set('battery-kind', ${JSON.stringify(battery.kind === 'pulse' ? '1' : '0')});
    set('battery-length', '0');
    document.getElementById('battery-run').click();
    const shown = qzWorkbench.battery;
    return { status: shown.status, summary: shown.summary, csv: shown.csv ? bytesToBase64(shown.csv) : '', ms: shown.ms };
  })()`);
}

function batteryOnDesktop(qzkit, work, battery, examples) {
  const folder = path.join(work, 'battery-run');
  fs.rmSync(folder, { recursive: true, force: true });
  fs.mkdirSync(folder, { recursive: true });
  const run = spawnSync(qzkit, ['conformance', '--constants', path.join(examples, battery.constants), '--settings',
    battery.settings, '--kind', battery.kind, '-o', 'conformance'], { cwd: folder, encoding: 'latin1' });
  const csv = fs.readFileSync(path.join(folder, 'conformance.csv'));
  fs.rmSync(folder, { recursive: true, force: true });
  return { status: run.status, summary: run.stdout, csv };
}

async function checkBatteries(browser, session, chosen, examples) {
  const problems = [];
  for (const battery of BATTERIES) {
    const page = await batteryInPage(browser, session, battery);
    const desktop = batteryOnDesktop(chosen.qzkit, chosen.work, battery, examples);
    const what = `the battery on ${battery.constants} (${battery.kind}, settings ${battery.settings})`;
    if (page.status !== desktop.status) problems.push(`${what}: exit status ${page.status} in the page, ${desktop.status} on the desktop`);
    if (page.summary !== desktop.summary) problems.push(`${what}: the summary differs`);
    if (!desktop.csv.equals(Buffer.from(page.csv, 'base64'))) problems.push(`${what}: the CSV differs`);
    console.log(`battery on ${battery.constants}: ${page.summary.trim().split('\n').pop()}; ${(page.ms / 1000).toFixed(1)} s in the page`);
  }
  return problems;
}

export async function checkCompanionParts(browser, session, chosen, examples) {
  return [...await checkDesigns(browser, session, chosen), ...await checkBatteries(browser, session, chosen, examples)];
}
