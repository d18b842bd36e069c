// SPDX-License-Identifier: Apache-2.0
// Constants designed in the page from physical choices by the companion
// program's own design (`qzkit constants design`): every knob change designs
// a new set, makes it the run's constants and offers it and its text source
// for download; and the frequency responses of whatever constants the run
// uses, computed from their stored taps and coefficients.
const DESIGN_KNOBS = [
  // id, `constants design` option, label, unit, slider step (null: a field);
  // the defaults and the sliders' ranges are the design code's
  { id: 'design-rate', option: '--rate', label: 'Sampling rate', unit: 'Hz', step: null },
  { id: 'design-lowpass', option: '--lowpass', label: 'Low-pass cut-off (−3 dB)', unit: 'Hz', step: 0.1 },
  { id: 'design-highpass', option: '--highpass', label: 'High-pass cut-off (−3 dB)', unit: 'Hz', step: 0.05 },
  { id: 'design-swing', option: '--swing', label: 'Swing about the median', unit: 'counts', step: 1 },
  { id: 'design-min-bpm', option: '--min-bpm', label: 'Lowest rate', unit: 'BPM', step: null },
  { id: 'design-max-bpm', option: '--max-bpm', label: 'Highest rate', unit: 'BPM', step: null },
  { id: 'design-one-peak-bpm', option: '--one-peak-bpm', label: 'Rate of a single peak (QI 3)', unit: 'BPM',
    step: null },
];
const DESIGNED_BASE = 'designed';
const RESPONSE_POINTS = 241;
const RESPONSE_FLOOR_DB = -60;
const RESPONSE_CEILING_DB = 6;
let designReachRate = null;

function startDesign() {
  const holder = element('design-knobs');
  for (const knob of DESIGN_KNOBS) {
    const label = document.createElement('label');
    const input = document.createElement('input');
    input.id = knob.id;
    input.dataset.option = knob.option;
    if (knob.step) {
      input.type = 'range';
      input.step = String(knob.step);
    } else {
      input.type = 'text';
      input.inputMode = 'decimal';
      input.size = 8;
    }
    const shown = document.createElement('output');
    shown.id = `${knob.id}-value`;
    shown.htmlFor = knob.id;
    label.append(`${knob.label} (${knob.unit}) `, input, ' ', shown);
    holder.append(label);
    input.addEventListener(knob.step ? 'input' : 'change', designConstants);
  }
  // The ranges before the values: a slider clamps and snaps to its range.
  const swing = element('design-swing');
  swing.min = String(TABLES.design.smallestSwing);
  swing.max = String(TABLES.design.largestSwing);
  setCutoffRanges(Number(TABLES.options.design['--rate']));
  startFields(element('design'));
  element('design-order').addEventListener('change', designConstants);
  element('design-use').addEventListener('click', designConstants);
  showKnobValues();
}

// `value` on the grid of `step`, rounded by `round`.
const onGrid = (value, step, round) => Number((round(value / step) * step).toPrecision(12));

// The cut-off sliders' ranges: what the design reaches at `rate`; left as
// they are at a rate it refuses (the design says why).
function setCutoffRanges(rate) {
  designReachRate = rate;
  const reach = moduleJson(_qzw_design_reach(rate));
  if (reach.error) return;
  const ranges = [['design-lowpass', reach.lowPass[0], reach.lowPass[1]], ['design-highpass', 0, reach.highPass]];
  ranges.forEach(([id, lowest, highest]) => {
    const slider = element(id);
    const step = Number(slider.step);
    slider.min = String(Math.max(onGrid(lowest, step, Math.ceil), step));
    slider.max = String(onGrid(highest, step, Math.floor));
  });
}

function showKnobValues() {
  for (const knob of DESIGN_KNOBS) {
    if (knob.step) element(`${knob.id}-value`).textContent = element(knob.id).value;
  }
}

function designConstants() {
  const rate = Number(element('design-rate').value);
  if (rate !== designReachRate) setCutoffRanges(rate);
  showKnobValues();
  const group = element('design');
  const note = element('design-note');
  const valid = checkFields(group);
  const status = valid ? withArguments(['design', ...fieldArguments(group)], _qzw_design) : 1;
  const message = valid ? UTF8ToString(_qzw_toolkit_message()) : 'a field is refused (see its message)';
  note.classList.toggle('error', status !== 0);
  if (status !== 0) {
    note.textContent = `Not designed: ${message}`;
    return;
  }
  const pointer = _qzw_designed_image();
  const bytes = HEAPU8.slice(pointer, pointer + TABLES.constantsBytes);
  workbench.design = { text: message, bytes };
  note.textContent = 'Designed; the run uses it.';
  element('design-text').textContent = message;
  showDesignDownloads();
  chooseConstants(DESIGNED_BASE + TABLES.suffixes.constants, bytes);
}

function showDesignDownloads() {
  const holder = element('design-downloads');
  for (const link of holder.querySelectorAll('a')) URL.revokeObjectURL(link.href);
  holder.replaceChildren(
    downloadLink(DESIGNED_BASE + TABLES.suffixes.constants, workbench.design.bytes),
    downloadLink(`${DESIGNED_BASE}.txt`, new TextEncoder().encode(workbench.design.text)));
}

function downloadLink(name, bytes) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
  link.download = name;
  link.textContent = name;
  return link;
}

// [{frequency, lowPass, highPass}] of the constants, or the reason there is none.
function constantsResponse(bytes) {
  const image = _malloc(TABLES.constantsBytes);
  const out = _malloc(8 * 3 * RESPONSE_POINTS);
  HEAPU8.set(bytes.subarray(0, TABLES.constantsBytes), image);
  const status = _qzw_response(image, RESPONSE_POINTS, out);
  const values = HEAPF64.slice(out >> 3, (out >> 3) + 3 * RESPONSE_POINTS);
  _free(image);
  _free(out);
  if (status !== 0) return UTF8ToString(_qzw_toolkit_message());
  const points = [];
  for (let index = 0; index < RESPONSE_POINTS; index++) {
    points.push({ frequency: values[3 * index], lowPass: values[3 * index + 1], highPass: values[3 * index + 2] });
  }
  return points;
}

const decibels = (gain) => Math.min(RESPONSE_CEILING_DB, Math.max(RESPONSE_FLOOR_DB, 20 * Math.log10(gain)));

function drawResponse(bytes) {
  const holder = element('response-view');
  const points = bytes.length >= TABLES.constantsBytes ? constantsResponse(bytes) : `the file is shorter than ${TABLES.constantsBytes} bytes`;
  if (typeof points === 'string') {
    holder.replaceChildren(`No frequency response: ${points}.`);
    return;
  }
  const width = 420;
  const height = 210;
  const left = 34;
  const top = 8;
  const plotWidth = width - left - 8;
  const plotHeight = height - top - 30;
  const topFrequency = points[points.length - 1].frequency;
  const x = (frequency) => left + (frequency / topFrequency) * plotWidth;
  const y = (db) => top + ((RESPONSE_CEILING_DB - db) / (RESPONSE_CEILING_DB - RESPONSE_FLOOR_DB)) * plotHeight;
  const svg = svgElement('svg', { viewBox: `0 0 ${width} ${height}`, role: 'img',
    'aria-label': 'Gain in dB of the low-pass, the high-pass and both together against frequency' });
  svg.append(svgElement('rect', { x: left, y: top, width: plotWidth, height: plotHeight, fill: '#fbfcfd', stroke: '#d4d9df' }));
  svg.append(svgElement('line', { x1: left, x2: left + plotWidth, y1: y(-3), y2: y(-3), stroke: '#e3e7eb', 'stroke-dasharray': '2 2' }));
  for (const db of [0, -20, -40, -60]) {
    svg.append(svgElement('line', { x1: left, x2: left + plotWidth, y1: y(db), y2: y(db), stroke: '#e3e7eb' }));
    const label = svgElement('text', { x: left - 3, y: y(db) + 4, 'font-size': 10, 'text-anchor': 'end', fill: '#5b6470' });
    label.textContent = String(db);
    svg.append(label);
  }
  const curves = [
    { name: 'low-pass', gain: (point) => point.lowPass, colour: '#0b5cad', dash: '' },
    { name: 'high-pass', gain: (point) => point.highPass, colour: '#2e7d32', dash: '' },
    { name: 'together', gain: (point) => point.lowPass * point.highPass, colour: '#a3262a', dash: '4 3' },
  ];
  curves.forEach((curve, index) => {
    const path = points.map((point, at) => `${at === 0 ? 'M' : 'L'}${x(point.frequency).toFixed(1)} ${y(decibels(curve.gain(point))).toFixed(1)}`).join('');
    svg.append(svgElement('path', { d: path, fill: 'none', stroke: curve.colour, 'stroke-width': 1.4, 'stroke-dasharray': curve.dash }));
    const key = svgElement('text', { x: left + 6 + index * 90, y: height - 4, 'font-size': 11, fill: curve.colour });
    key.textContent = curve.name;
    svg.append(key);
  });
  const axis = svgElement('text', { x: left + plotWidth, y: top + plotHeight + 13, 'font-size': 10, 'text-anchor': 'end', fill: '#5b6470' });
  axis.textContent = `0 … ${topFrequency.toFixed(1)} Hz; gain in dB (dotted: −3 dB)`;
  svg.append(axis);
  holder.replaceChildren(svg);
}
