// SPDX-License-Identifier: Apache-2.0
// The workbench page: a recording, constants and settings in; the tool's run
// on them out, redrawn on every change.
const STAGES = [
  { bit: 1, name: 'low-pass', dump: 'lowpass' },
  { bit: 2, name: 'high-pass', dump: 'highpass' },
  { bit: 4, name: 'derivative', dump: 'derivative' },
  { bit: 8, name: 'squaring', dump: 'square' },
  { bit: 16, name: 'double moving average', dump: 'average' },
  { bit: 32, name: 'peak finding', dump: null },
  { bit: 64, name: 'beat rate', dump: null },
];
const RECORD_WORDS = 43;
const STORED_PEAKS = 25;
const STATISTICS_FIELDS = [
  ['QI pattern', 1], ['MaxPeak', 1], ['MinPeak', 1], ['HighPeakThreshold', 1], ['LowPeakThreshold', 1],
  ['Median', 1], ['HighBucket', 2], ['LowBucket', 2], ['MiddleBucket', 2], ['Tegur', 2],
];
const CONSTANTS_FILE = 'constants.pvx.filters.v1';
const CONSTANTS_BYTES = 31;
const RECORD_FILE = 'record.ecg';
const LONG_WINDOW = 1500;
const SHORT_WINDOW = 600;

const workbench = {
  ready: false,
  constants: null,  // {name, bytes}
  recording: null,  // {name, windows: [bytes of one .ecg window], source: text}
  window: 0,
  lastRun: null,
  design: null,  // {text, bytes} of the last design
  battery: null,  // {status, summary, csv, inputs, ms} of the last battery run
  lastRedrawMs: 0,
};
window.qzWorkbench = workbench;

const element = (id) => document.getElementById(id);

function words(bytes) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const out = new Uint16Array(bytes.byteLength >> 1);
  for (let index = 0; index < out.length; index++) out[index] = view.getUint16(2 * index, true);
  return out;
}

function latin1(bytes) {
  let text = '';
  for (const byte of bytes) text += String.fromCharCode(byte);
  return text;
}

function settings() {
  let mask = 0;
  document.querySelectorAll('#mask-bits input').forEach((box) => { if (box.checked) mask |= Number(box.value); });
  return { mask, peak: element('peak').value, beat: element('beat').value, derivative: element('derivative').value };
}

// An .ecg file's windows: a file of exactly 600 samples, or of fewer than
// 1500, goes to the tool as it is (the tool answers for its length); longer
// files are cut into consecutive 1500-sample windows, as the tool reads the
// first 1500 samples of a file.
function ecgWindows(bytes) {
  const samples = bytes.length >> 1;
  if (samples === SHORT_WINDOW || samples < LONG_WINDOW) return [bytes];
  const windows = [];
  for (let start = 0; start + LONG_WINDOW <= samples; start += LONG_WINDOW) {
    windows.push(bytes.subarray(2 * start, 2 * (start + LONG_WINDOW)));
  }
  return windows;
}

function windowBytes() {
  return workbench.recording.windows[workbench.window];
}

function rerun() {
  if (!workbench.constants || !workbench.recording) return;
  const started = performance.now();
  const chosen = settings();
  element('mask-value').textContent = String(chosen.mask);
  const files = {};
  files[CONSTANTS_FILE] = workbench.constants.bytes;
  files[RECORD_FILE] = windowBytes();
  const run = runTool(['constants', 'record', String(chosen.mask), chosen.peak, chosen.beat, chosen.derivative, '0'],
    files);
  const ran = performance.now();
  workbench.lastRun = run;
  showRun(run, chosen);
  markBatteryStale();
  workbench.lastRedrawMs = performance.now() - started;
  element('timing').textContent =
    `Run ${(ran - started).toFixed(2)} ms, run and redraw ${workbench.lastRedrawMs.toFixed(1)} ms.`;
}

function showRun(run, chosen) {
  element('printed').textContent = latin1(run.printed);
  const record = run.files['record.out'];
  const fields = record && record.length === 2 * RECORD_WORDS ? words(record) : null;
  element('bpm').textContent = fields ? String(fields[0]) : '–';
  element('qi').textContent = fields ? String(fields[1]) : '–';
  element('peak-count').textContent = fields ? String(fields[3]) : '–';
  drawStages(run, fields, chosen);
  showTables(fields);
  showDownloads(run);
}

function showTables(fields) {
  const holder = element('record-tables');
  holder.replaceChildren();
  if (!fields) {
    holder.textContent = 'No result record: the run ended with an error (see what the tool printed).';
    return;
  }
  const head = [['BPM', fields[0]], ['QI', fields[1]], ['Beat classification used', fields[2]], ['Peak count', fields[3]]];
  const peaks = [];
  for (let index = 0; index < STORED_PEAKS; index++) peaks.push([`Peak ${index + 1}`, fields[4 + index]]);
  const statistics = [];
  let word = 4 + STORED_PEAKS;
  STATISTICS_FIELDS.forEach(([name, size]) => {
    statistics.push([name, size === 1 ? fields[word] : fields[word] + 65536 * fields[word + 1]]);
    word += size;
  });
  holder.append(table('Result', head), table('Peak locations', peaks.filter(([, value]) => value !== 0)),
    table('Statistics (thresholdmethod.info)', statistics), recordWordsTable(fields));
}

function table(caption, rows) {
  const result = document.createElement('table');
  result.createCaption().textContent = caption;
  rows.forEach(([name, value]) => {
    const row = result.insertRow();
    const label = document.createElement('th');
    label.className = 'text';
    label.scope = 'row';
    label.textContent = name;
    row.append(label);
    row.insertCell().textContent = String(value);
  });
  return result;
}

function recordWordsTable(fields) {
  const result = document.createElement('table');
  result.createCaption().textContent = 'The 43 words of record.out';
  for (let start = 0; start < RECORD_WORDS; start += 10) {
    const row = result.insertRow();
    const label = document.createElement('th');
    label.scope = 'row';
    label.textContent = String(start);
    row.append(label);
    for (let index = start; index < Math.min(start + 10, RECORD_WORDS); index++) {
      row.insertCell().textContent = String(fields[index]);
    }
  }
  return result;
}

function showDownloads(run) {
  const holder = element('downloads');
  for (const link of holder.querySelectorAll('a')) URL.revokeObjectURL(link.href);
  holder.replaceChildren();
  const base = workbench.recording.name.replace(/\.[^.]*$/, '') +
    (workbench.recording.windows.length > 1 ? `_${String(workbench.window).padStart(5, '0')}` : '');
  Object.entries(run.files).forEach(([name, bytes]) => {
    const link = document.createElement('a');
    const fileName = name === CONSTANTS_FILE ? workbench.constants.name
      : name.startsWith('record.') ? base + name.slice('record'.length) : name;
    link.href = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
    link.download = fileName;
    link.textContent = fileName;
    holder.append(link);
  });
}

function startControls() {
  const bits = element('mask-bits');
  for (const stage of STAGES) {
    const label = document.createElement('label');
    label.className = 'inline';
    const box = document.createElement('input');
    box.type = 'checkbox';
    box.value = String(stage.bit);
    box.checked = true;
    label.append(box, ` ${stage.bit} ${stage.name}`);
    bits.append(label);
  }
  for (const id of ['peak', 'beat', 'derivative']) element(id).addEventListener('change', rerun);
  bits.addEventListener('change', rerun);
  fillExamples('example-record', '.ecg', (name, bytes) => chooseRecording(name, bytes));
  fillExamples('example-constants', '.pvx.filters.v1', (name, bytes) => chooseConstants(name, bytes));
  openFileInput('ecg-file', chooseRecording);
  openFileInput('constants-file', chooseConstants);
  startConversion();
  startSynthesis();
  startDesign();
  startBattery();
  element('window').addEventListener('input', () => {
    workbench.window = Number(element('window').value);
    rerun();
    showWindow();
  });
}

function fillExamples(id, suffix, choose) {
  const select = element(id);
  const names = FS.readdir('/examples').filter((name) => name.endsWith(suffix)).sort();
  const other = new Option('another one, opened or made here', '');
  other.disabled = true;
  select.add(other);
  for (const name of names) select.add(new Option(name, name));
  select.value = names[0];
  const pick = () => choose(select.value, FS.readFile(`/examples/${select.value}`));
  select.addEventListener('change', pick);
  pick();
}

function openFileInput(id, choose) {
  element(id).addEventListener('change', async (event) => {
    const file = event.target.files[0];
    if (file) choose(file.name, new Uint8Array(await file.arrayBuffer()));
  });
}

function chooseRecording(name, bytes) {
  useRecording(name, ecgWindows(bytes), `${bytes.length >> 1} samples`);
}

// Shows in `id`'s list of examples whether `name` is one of them.
function markExample(id, name) {
  const select = element(id);
  select.value = [...select.options].some((option) => option.value === name) ? name : '';
}

function useRecording(name, windows, source) {
  workbench.recording = { name, windows, source };
  markExample('example-record', name);
  workbench.window = 0;
  const slider = element('window');
  slider.max = String(windows.length - 1);
  slider.value = '0';
  slider.disabled = windows.length < 2;
  showWindow();
  rerun();
}

function showWindow() {
  const { name, windows, source } = workbench.recording;
  const length = windows[workbench.window].length >> 1;
  element('recording-note').textContent = `${name}: ${source}` + (windows.length > 1
    ? `; window ${workbench.window + 1} of ${windows.length} (samples ${workbench.window * length}` +
      `–${(workbench.window + 1) * length - 1} of the converted signal)` : '');
}

function chooseConstants(name, bytes) {
  workbench.constants = { name, bytes };
  markExample('example-constants', name);
  element('constants-note').textContent = `${name}: ${bytes.length} bytes`;
  drawResponse(bytes);
  rerun();
}

function startPage() {
  element('version').textContent = latin1(runTool(['-v'], {}).printed);
  startControls();
  workbench.ready = true;
}

if (runtimeInitialized) startPage();
else Module.onRuntimeInitialized = startPage;
