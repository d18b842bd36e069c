// SPDX-License-Identifier: Apache-2.0
// The workbench page: a recording, constants and settings in; the tool's run
// on them out, redrawn on every change.

// The page's names of the run's files.
const CONSTANTS_BASE = 'constants';
const RECORD_BASE = 'record';
const constantsFile = () => CONSTANTS_BASE + TABLES.suffixes.constants;
const recordFile = () => RECORD_BASE + TABLES.suffixes.record;

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
if (typeof window !== 'undefined') window.qzWorkbench = workbench;

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

// An .ecg file's windows: a file of exactly the short length, or shorter
// than the long one, goes to the tool as it is (the tool answers for its
// length); longer files are cut into consecutive windows of the long length,
// as the tool reads the first window of a file.
function ecgWindows(bytes) {
  const [long, short] = TABLES.lengths;
  const samples = bytes.length >> 1;
  if (samples === short || samples < long) return [bytes];
  const windows = [];
  for (let start = 0; start + long <= samples; start += long) {
    windows.push(bytes.subarray(2 * start, 2 * (start + long)));
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
  files[constantsFile()] = workbench.constants.bytes;
  files[recordFile()] = windowBytes();
  const run = runTool(
    [CONSTANTS_BASE, RECORD_BASE, String(chosen.mask), chosen.peak, chosen.beat, chosen.derivative, '0'], files);
  const ran = performance.now();
  workbench.lastRun = run;
  showRun(run, chosen);
  markBatteryStale();
  workbench.lastRedrawMs = performance.now() - started;
  element('timing').textContent =
    `Run ${(ran - started).toFixed(2)} ms, run and redraw ${workbench.lastRedrawMs.toFixed(1)} ms.`;
}

// The fields of the run's result record, or null when it left none.
function resultRecord(run) {
  const bytes = run.files[RECORD_BASE + TABLES.suffixes.result];
  if (!bytes) return null;
  const pointer = _malloc(Math.max(bytes.length, 1));
  HEAPU8.set(bytes, pointer);
  const record = moduleJson(_qzw_result_record(pointer, bytes.length));
  _free(pointer);
  return record.error ? null : Object.assign(record, { words: words(bytes) });
}

function showRun(run, chosen) {
  element('printed').textContent = latin1(run.printed);
  const record = resultRecord(run);
  element('bpm').textContent = record ? String(record.bpm) : '–';
  element('qi').textContent = record ? String(record.qi) : '–';
  element('peak-count').textContent = record ? String(record.peakCount) : '–';
  drawStages(run, record, chosen);
  showTables(record);
  showDownloads(run);
}

function showTables(record) {
  const holder = element('record-tables');
  holder.replaceChildren();
  if (!record) {
    holder.textContent = 'No result record: the run ended with an error (see what the tool printed).';
    return;
  }
  const head = [['BPM', record.bpm], ['QI', record.qi], ['Beat classification used', record.classified],
    ['Peak count', record.peakCount]];
  const peaks = record.peaks.map((location, index) => [`Peak ${index + 1}`, location]);
  holder.append(table('Result', head), table('Peak locations', peaks.filter(([, value]) => value !== 0)),
    table('Statistics (thresholdmethod.info)', record.statistics), recordWordsTable(record.words));
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
  result.createCaption().textContent = `The ${fields.length} words of ${RECORD_BASE}${TABLES.suffixes.result}`;
  for (let start = 0; start < fields.length; start += 10) {
    const row = result.insertRow();
    const label = document.createElement('th');
    label.scope = 'row';
    label.textContent = String(start);
    row.append(label);
    for (let index = start; index < Math.min(start + 10, fields.length); index++) {
      row.insertCell().textContent = String(fields[index]);
    }
  }
  return result;
}

// A file name that is not hidden: a name that starts with a dot gets `base`
// before it (a file named only by its suffix gets the run's own name).
const unhidden = (name, base) => (name.startsWith('.') ? base + name.replace(/^\.+/, '.') : name);

function showDownloads(run) {
  const holder = element('downloads');
  for (const link of holder.querySelectorAll('a')) URL.revokeObjectURL(link.href);
  holder.replaceChildren();
  const base = unhidden(workbench.recording.name, RECORD_BASE).replace(/\.[^.]*$/, '') +
    (workbench.recording.windows.length > 1 ? `_${String(workbench.window).padStart(5, '0')}` : '');
  Object.entries(run.files).forEach(([name, bytes]) => {
    const fileName = name === constantsFile() ? unhidden(workbench.constants.name, CONSTANTS_BASE)
      : name.startsWith(`${RECORD_BASE}.`) ? base + name.slice(RECORD_BASE.length) : name;
    holder.append(downloadLink(fileName, bytes));
  });
}

function startControls() {
  const bits = element('mask-bits');
  for (const stage of TABLES.stages) {
    const label = document.createElement('label');
    label.className = 'inline';
    const box = document.createElement('input');
    box.type = 'checkbox';
    box.value = String(stage.bit);
    box.checked = (TABLES.settings.mask & stage.bit) !== 0;
    label.append(box, ` ${stage.bit} ${stage.name}`);
    bits.append(label);
  }
  for (const id of ['peak', 'beat', 'derivative']) {
    element(id).value = String(TABLES.settings[id]);
    element(id).addEventListener('change', rerun);
  }
  bits.addEventListener('change', rerun);
  for (const id of ['synth-length', 'window-length']) {
    for (const length of TABLES.lengths) element(id).add(new Option(String(length)));
  }
  for (const length of TABLES.lengths) element('battery-length').add(new Option(String(length)));
  const constantsSuffix = TABLES.suffixes.constants;
  element('ecg-file').accept = TABLES.suffixes.record;
  element('constants-file').accept = constantsSuffix.slice(constantsSuffix.lastIndexOf('.'));
  element('synth-rate').textContent = TABLES.options.synth['--rate'];
  fillExamples('example-record', TABLES.suffixes.record, chooseRecording);
  fillExamples('example-constants', TABLES.suffixes.constants, chooseConstants);
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

// Fills the list `id` with the shipped examples ending in `suffix`; choosing
// one calls `choose(name, bytes, name)`.
function fillExamples(id, suffix, choose) {
  const select = element(id);
  const names = FS.readdir('/examples').filter((name) => name.endsWith(suffix)).sort();
  const other = new Option('another one, opened or made here', '');
  other.disabled = true;
  select.add(other);
  for (const name of names) select.add(new Option(name, name));
  select.value = names[0];
  const pick = () => choose(select.value, FS.readFile(`/examples/${select.value}`), select.value);
  select.addEventListener('change', pick);
  pick();
}

// The file input is emptied once read, so that the same file opened again
// (after an example, say) is read again.
function openFileInput(id, choose) {
  element(id).addEventListener('change', async (event) => {
    const file = event.target.files[0];
    event.target.value = '';
    if (file) choose(file.name, new Uint8Array(await file.arrayBuffer()));
  });
}

// `example`: the shipped example's name, or none for a file opened or made here.
function chooseRecording(name, bytes, example = '') {
  useRecording(name, ecgWindows(bytes), `${bytes.length >> 1} samples`, example);
}

function useRecording(name, windows, source, example = '') {
  workbench.recording = { name, windows, source };
  element('example-record').value = example;
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

function chooseConstants(name, bytes, example = '') {
  workbench.constants = { name, bytes };
  element('example-constants').value = example;
  element('constants-note').textContent = `${name}: ${bytes.length} bytes`;
  drawResponse(bytes);
  rerun();
}

function startPage() {
  loadTables();
  element('version').textContent = latin1(runTool(['-v'], {}).printed);
  startControls();
  workbench.ready = true;
}

if (typeof document === 'undefined') startConversionWorker();
else if (runtimeInitialized) startPage();
else Module.onRuntimeInitialized = startPage;
