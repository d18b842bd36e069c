// SPDX-License-Identifier: Apache-2.0
// The tool inside the page: one start of the command-line driver over the
// in-memory file table, with the bytes it printed and every file it left.
const toolPrinted = [];
Module.stdout = (byte) => {
  if (byte !== null && byte !== undefined) toolPrinted.push(byte & 0xff);
};

// A copy of `text` in the module's memory, to be freed.
function newCString(text) {
  const size = lengthBytesUTF8(text) + 1;
  const pointer = _malloc(size);
  stringToUTF8(text, pointer, size);
  return pointer;
}

function withCString(text, use) {
  const pointer = newCString(text);
  try {
    return use(pointer);
  } finally {
    _free(pointer);
  }
}

// Calls `use(argc, argv)` with `args` as C strings.
function withArguments(args, use) {
  const pointers = args.map(newCString);
  const argv = _malloc(4 * (pointers.length + 1));
  pointers.forEach((pointer, index) => { HEAPU32[(argv >> 2) + index] = pointer; });
  HEAPU32[(argv >> 2) + pointers.length] = 0;
  try {
    return use(pointers.length, argv);
  } finally {
    pointers.forEach((pointer) => _free(pointer));
    _free(argv);
  }
}

// What the page shows or checks, from the code that defines it (the module's
// tables): stage bits, record lengths, suffixes, design limits, option defaults.
let TABLES = null;

// The JSON the module left at `pointer`.
const moduleJson = (pointer) => JSON.parse(UTF8ToString(pointer));

function loadTables() {
  TABLES = moduleJson(_qzw_tables());
}

function putToolFile(name, bytes) {
  const pointer = _malloc(Math.max(bytes.length, 1));
  HEAPU8.set(bytes, pointer);
  withCString(name, (namePointer) => _qzw_set_file(namePointer, pointer, bytes.length));
  _free(pointer);
}

function toolFile(name) {
  return withCString(name, (namePointer) => {
    const size = _qzw_file_size(namePointer);
    if (size < 0) return null;
    const data = _qzw_file_data(namePointer);
    return HEAPU8.slice(data, data + size);
  });
}

// Runs `qz_vozozi_DE ARGS...` with `files` ({name: Uint8Array}) as the only
// files there are. Returns {status, printed: Uint8Array, files: {name: bytes}}.
function runTool(args, files) {
  _qzw_clear_files();
  Object.entries(files).forEach(([name, bytes]) => putToolFile(name, bytes));
  toolPrinted.length = 0;
  const status = withArguments(['qz_vozozi_DE', ...args], _qzw_run_tool);
  const printed = Uint8Array.from(toolPrinted);
  const left = {};
  const count = _qzw_list_files();
  for (let index = 0; index < count; index++) {
    const name = UTF8ToString(_qzw_listed_name(index));
    left[name] = toolFile(name);
  }
  return { status, printed, files: left };
}

function bytesToBase64(bytes) {
  let text = '';
  for (let start = 0; start < bytes.length; start += 0x8000) {
    text += String.fromCharCode.apply(null, bytes.subarray(start, start + 0x8000));
  }
  return btoa(text);
}

function base64ToBytes(text) {
  const binary = atob(text);
  const bytes = new Uint8Array(binary.length);
  for (let index = 0; index < binary.length; index++) bytes[index] = binary.charCodeAt(index);
  return bytes;
}

// The test entry point: the browser test hands over input files once, then
// runs cases ({args, inputs: [names]}) in batches; every byte comes back in
// base64 so it can be compared with the desktop tool's.
const toolTestInputs = {};
const toolTest = {
  addInputs(files) {
    Object.entries(files).forEach(([name, text]) => { toolTestInputs[name] = base64ToBytes(text); });
    return Object.keys(toolTestInputs).length;
  },
  runCases(cases) {
    return cases.map(({ args, inputs }) => {
      const files = {};
      for (const name of inputs) files[name] = toolTestInputs[name];
      const run = runTool(args, files);
      const left = {};
      Object.entries(run.files).forEach(([name, bytes]) => { left[name] = bytesToBase64(bytes); });
      return { status: run.status, printed: bytesToBase64(run.printed), files: left };
    });
  },
};
if (typeof window !== 'undefined') window.qzToolTest = toolTest;
