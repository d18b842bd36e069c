// SPDX-License-Identifier: Apache-2.0
// Recordings in other forms, converted by the companion program's own
// conversion (`qzkit convert`, its options read from the fields): a CSV or
// text column, or a WFDB record (header and signal files chosen together).
// The page does not resample, so the recording must already be at the
// tool's rate. A conversion runs in a Web Worker made from this very script,
// so that the page stays responsive through a large file: it reports how much
// it has read, and a cancel ends the worker.
const UPLOAD_FOLDER = '/upload';
const CONVERTED_FOLDER = '/converted';
const CONVERTED_BASE = 'window';
// The script the worker runs: the page's own (read while it runs).
const PAGE_SCRIPT = typeof document === 'undefined' ? null : document.currentScript;
let conversion = null;  // {worker, started} while a conversion runs
let idleWorker = null;  // the worker kept between conversions

function startConversion() {
  const group = element('conversion-controls');
  element('conversion-rate').textContent = TABLES.options.convert['--rate'];
  startFields(group);
  // A text column is at the tool's rate: the page does not resample.
  element('text-rate').value = TABLES.options.convert['--rate'];
  element('text-file').addEventListener('change', (event) => takeUpload(event.target, 'text'));
  element('wfdb-files').addEventListener('change', (event) => takeUpload(event.target, 'wfdb'));
  element('gain-per-unit').addEventListener('change', (event) => {
    element('gain').dataset.option = event.target.checked ? '--gain-per-unit' : '--gain';
    convertUpload();
  });
  for (const field of group.querySelectorAll('[data-option]')) field.addEventListener('change', convertUpload);
  element('conversion-cancel').addEventListener('click', () => {
    endConversion();
    showConversion('Conversion cancelled.', true);
  });
}

// The input is emptied once its files are taken, so that choosing them again
// converts them again.
function takeUpload(input, kind) {
  const files = [...input.files];
  input.value = '';
  if (files.length === 0) return;
  workbench.upload = { kind, files };
  convertUpload();
}

// The file convert reads: the text file, or the record's header.
function uploadInput({ kind, files }) {
  if (kind === 'text') return files[0].name;
  const header = files.find((file) => file.name.toLowerCase().endsWith(TABLES.suffixes.wfdbHeader));
  if (!header) {
    throw new Error(`choose the record's header (${TABLES.suffixes.wfdbHeader}) together with its signal files`);
  }
  return header.name;
}

// convert's arguments: the fields that apply to the upload's kind.
function conversionArguments(upload, input) {
  const textOnly = ['text-rate', 'text-units'];
  const fields = fieldsOf(element('conversion-controls'))
    .filter((field) => upload.kind === 'text' || !textOnly.includes(field.id));
  return ['convert', `${UPLOAD_FOLDER}/${input}`, ...fields.flatMap((field) => [field.dataset.option, field.value]),
    '--output-dir', CONVERTED_FOLDER, '--name', CONVERTED_BASE];
}

function showConversion(message, failed) {
  const note = element('conversion-note');
  note.textContent = message.trim();
  note.classList.toggle('error', failed);
}

function showProgress(share) {
  const progress = element('conversion-progress');
  progress.hidden = share === null;
  if (share !== null) progress.value = share;
  element('conversion-cancel').hidden = share === null;
}

// Ends the running conversion, if any: its worker is ended with it.
function endConversion() {
  if (conversion) conversion.worker.terminate();
  conversion = null;
  showProgress(null);
}

function conversionWorker() {
  const worker = idleWorker ||
    new Worker(URL.createObjectURL(new Blob([PAGE_SCRIPT.textContent], { type: 'text/javascript' })));
  idleWorker = null;
  return worker;
}

function convertUpload() {
  const upload = workbench.upload;
  endConversion();
  if (!upload) return;
  let input;
  try {
    input = uploadInput(upload);
  } catch (error) {
    showConversion(error.message, true);
    return;
  }
  if (!checkFields(element('conversion-controls'))) {
    showConversion('Not converted: a field is refused (see its message).', true);
    return;
  }
  const worker = conversionWorker();
  conversion = { worker };
  showConversion(`Converting ${input}…`, false);
  showProgress(0);
  worker.onmessage = ({ data }) => {
    if (!conversion || conversion.worker !== worker) return;
    if (data.progress !== undefined) {
      showProgress(data.progress);
      return;
    }
    conversion = null;
    idleWorker = worker;
    showProgress(null);
    showConversion(data.message, data.status !== 0);
    if (data.status === 0) {
      useRecording(input, data.windows,
        `converted into ${data.windows.length} window${data.windows.length === 1 ? '' : 's'}`);
    }
  };
  worker.onerror = (event) => {
    event.preventDefault();
    endConversion();
    showConversion(`The conversion failed: ${event.message}`, true);
  };
  worker.postMessage({ args: conversionArguments(upload, input), files: upload.files });
}

// ---- In the worker ----

function emptyFolder(folder) {
  if (!FS.analyzePath(folder).exists) return;
  for (const name of FS.readdir(folder)) {
    if (name !== '.' && name !== '..') FS.unlink(`${folder}/${name}`);
  }
  FS.rmdir(folder);
}

// One conversion: the files into the module's file system, convert run on
// them, and the windows it made (in order) with its report or error.
async function convertInWorker({ args, files }) {
  emptyFolder(UPLOAD_FOLDER);
  emptyFolder(CONVERTED_FOLDER);
  FS.mkdir(UPLOAD_FOLDER);
  for (const file of files) FS.writeFile(`${UPLOAD_FOLDER}/${file.name}`, new Uint8Array(await file.arrayBuffer()));
  const status = withArguments(args, _qzw_convert);
  const message = UTF8ToString(_qzw_toolkit_message());
  const names = status === 0
    ? FS.readdir(CONVERTED_FOLDER).filter((name) => name.endsWith(TABLES.suffixes.record)).sort() : [];
  const windows = names.map((name) => FS.readFile(`${CONVERTED_FOLDER}/${name}`));
  emptyFolder(UPLOAD_FOLDER);
  emptyFolder(CONVERTED_FOLDER);
  postMessage({ status, message, windows }, windows.map((bytes) => bytes.buffer));
}

// The worker's side: conversions as the page sends them, one at a time.
function startConversionWorker() {
  const ready = new Promise((resolve) => {
    if (runtimeInitialized) resolve();
    else Module.onRuntimeInitialized = resolve;
  });
  let last = Promise.resolve();
  Module.onConversionProgress = (share) => postMessage({ progress: share });
  self.onmessage = ({ data }) => {
    last = last.then(() => ready).then(() => {
      if (!TABLES) loadTables();
      return convertInWorker(data);
    });
  };
}
