// SPDX-License-Identifier: Apache-2.0
// The tool inside the page: one start of the command-line driver over the
// in-memory file table, with the bytes it printed and every file it left.
const toolPrinted = [];
Module.stdout = (byte) => {
  if (byte !== null && byte !== undefined) toolPrinted.push(byte & 0xff);
};

function withCString(text, use) {
  const size = lengthBytesUTF8(text) + 1;
  const pointer = _malloc(size);
  stringToUTF8(text, pointer, size);
  try {
    return use(pointer);
  } finally {
    _free(pointer);
  }
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
  const argv = ['qz_vozozi_DE', ...args];
  const pointers = argv.map((text) => {
    const size = lengthBytesUTF8(text) + 1;
    const pointer = _malloc(size);
    stringToUTF8(text, pointer, size);
    return pointer;
  });
  const argvPointer = _malloc(4 * (pointers.length + 1));
  pointers.forEach((pointer, index) => { HEAPU32[(argvPointer >> 2) + index] = pointer; });
  HEAPU32[(argvPointer >> 2) + pointers.length] = 0;
  toolPrinted.length = 0;
  const status = _qzw_run_tool(pointers.length, argvPointer);
  const printed = Uint8Array.from(toolPrinted);
  pointers.forEach((pointer) => _free(pointer));
  _free(argvPointer);
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
window.qzToolTest = {
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
