// SPDX-License-Identifier: Apache-2.0
// Synthetic recordings made in the page by the companion program's own
// synthesis (`qzkit synth`), with their true rate.
const SYNTH_CONTROLS = ['synth-kind', 'synth-length', 'synth-bpm', 'synth-variability', 'synth-ectopic',
  'synth-noise', 'synth-wander', 'synth-amplitude', 'synth-seed'];

function startSynthesis() {
  element('synth-make').addEventListener('click', synthesize);
  for (const id of SYNTH_CONTROLS) {
    element(id).addEventListener('change', () => {
      if (workbench.recording && workbench.recording.synthetic) synthesize();
    });
  }
}

function synthesize() {
  const value = (id) => Number(element(id).value);
  const count = _qzw_synthesize(value('synth-kind'), value('synth-bpm'), value('synth-variability'),
    value('synth-ectopic'), value('synth-noise'), value('synth-wander'), value('synth-amplitude'),
    value('synth-length'), value('synth-seed'));
  const message = UTF8ToString(_qzw_toolkit_message());
  const note = element('synth-note');
  note.classList.toggle('error', count < 0);
  if (count < 0) {
    note.textContent = message;
    return;
  }
  const pointer = _qzw_synthesized_samples();
  const bytes = HEAPU8.slice(pointer, pointer + 2 * count);
  const kind = value('synth-kind') === 0 ? 'ecg' : 'pulse';
  note.textContent = `True rate ${Number(message).toFixed(1)} BPM.`;
  useRecording(`synthetic-${kind}.ecg`, [bytes], `${count} samples, true rate ${Number(message).toFixed(1)} BPM`);
  workbench.recording.synthetic = true;
}
