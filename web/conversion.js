// SPDX-License-Identifier: Apache-2.0
// Recordings in other forms, converted in the page by the companion program's
// own conversion (`qzkit convert`): a CSV or text column, or a WFDB record
// (header and signal files chosen together). The page does not resample, so
// the recording must already be at the tool's rate (250 Hz).
const UPLOAD_FOLDER = '/upload';
const CONVERTED_FOLDER = '/converted';
const CONVERSION_CONTROLS = ['channel', 'text-rate', 'text-units', 'gain', 'gain-per-unit', 'ac-coupling', 'window-length'];

function startConversion() {
  element('text-file').addEventListener('change', (event) => takeUpload(event.target.files, 'text'));
  element('wfdb-files').addEventListener('change', (event) => takeUpload(event.target.files, 'wfdb'));
  for (const id of CONVERSION_CONTROLS) element(id).addEventListener('change', convertUpload);
}

async function takeUpload(fileList, kind) {
  const files = await Promise.all([...fileList].map(async (file) =>
    ({ name: file.name, bytes: new Uint8Array(await file.arrayBuffer()) })));
  if (files.length === 0) return;
  workbench.upload = { kind, files };
  convertUpload();
}

function emptyFolder(folder) {
  if (!FS.analyzePath(folder).exists) return;
  for (const name of FS.readdir(folder)) {
    if (name !== '.' && name !== '..') FS.unlink(`${folder}/${name}`);
  }
  FS.rmdir(folder);
}

function uploadInput({ kind, files }) {
  if (kind === 'text') return files[0].name;
  const header = files.find((file) => /\.hea$/i.test(file.name));
  if (!header) throw new Error('choose the record\'s header (.hea) together with its signal files');
  return header.name;
}

function convertUpload() {
  const upload = workbench.upload;
  if (!upload) return;
  const note = element('conversion-note');
  emptyFolder(UPLOAD_FOLDER);
  emptyFolder(CONVERTED_FOLDER);
  FS.mkdir(UPLOAD_FOLDER);
  for (const file of upload.files) FS.writeFile(`${UPLOAD_FOLDER}/${file.name}`, file.bytes);
  let status = 1;
  let message;
  try {
    const input = uploadInput(upload);
    const units = element('text-units').value;
    status = ccall('qzw_convert', 'number',
      ['string', 'string', 'number', 'string', 'number', 'number', 'number', 'number', 'string'],
      [`${UPLOAD_FOLDER}/${input}`, element('channel').value.trim() || '0', upload.kind === 'text' ? Number(element('text-rate').value) : 0,
        units, Number(element('gain').value), element('gain-per-unit').checked ? 1 : 0,
        Number(element('ac-coupling').value), Number(element('window-length').value), CONVERTED_FOLDER]);
    message = UTF8ToString(_qzw_toolkit_message());
    if (status === 0) {
      const names = FS.readdir(CONVERTED_FOLDER).filter((name) => name.endsWith('.ecg')).sort();
      const windows = names.map((name) => FS.readFile(`${CONVERTED_FOLDER}/${name}`));
      useRecording(input, windows, `converted into ${windows.length} window${windows.length === 1 ? '' : 's'}`);
    }
  } catch (error) {
    message = error.message;
  }
  emptyFolder(UPLOAD_FOLDER);
  emptyFolder(CONVERTED_FOLDER);
  note.textContent = message.trim();
  note.classList.toggle('error', status !== 0);
}
