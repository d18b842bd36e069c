// SPDX-License-Identifier: Apache-2.0
// Synthetic recordings made in the page by the companion program's own
// synthesis (`qzkit synth`, its options read from the fields), with their
// true rate.
function startSynthesis() {
  const group = element('synthetic-controls');
  startFields(group);
  element('synth-make').addEventListener('click', synthesize);
  for (const field of group.querySelectorAll('[data-option]')) {
    field.addEventListener('change', () => {
      if (workbench.recording && workbench.recording.synthetic) synthesize();
    });
  }
}

function synthesize() {
  const group = element('synthetic-controls');
  const note = element('synth-note');
  const valid = checkFields(group);
  const count = valid ? withArguments(['synth', ...fieldArguments(group)], _qzw_synthesize) : -1;
  const message = valid ? UTF8ToString(_qzw_toolkit_message()) : 'Not made: a field is refused (see its message).';
  note.classList.toggle('error', count < 0);
  if (count < 0) {
    note.textContent = message;
    return;
  }
  const pointer = _qzw_synthesized_samples();
  const bytes = HEAPU8.slice(pointer, pointer + 2 * count);
  const kind = element('synth-kind').value;
  note.textContent = `True rate ${Number(message).toFixed(1)} BPM.`;
  useRecording(`synthetic-${kind}${TABLES.suffixes.record}`, [bytes],
    `${count} samples, true rate ${Number(message).toFixed(1)} BPM`);
  workbench.recording.synthetic = true;
}
