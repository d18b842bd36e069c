// SPDX-License-Identifier: Apache-2.0
// The stage view: the recording and every stage's buffer one above the other
// on one time axis, with the stored peak locations (one-based, in the time
// base of the conditioned buffer) marked through all of them.
const SVG_NS = 'http://www.w3.org/2000/svg';
const VIEW_WIDTH = 1000;
const PANEL_HEIGHT = 90;
const PANEL_GAP = 22;
const LEFT_MARGIN = 46;

function svgElement(name, attributes) {
  const node = document.createElementNS(SVG_NS, name);
  Object.entries(attributes).forEach(([key, value]) => node.setAttribute(key, String(value)));
  return node;
}

function stagePanels(run) {
  const input = words(windowBytes()).map((sample) => sample & TABLES.sampleMax);
  const panels = [{ title: `recording (as the tool reads it: 0 to ${TABLES.sampleMax})`, samples: input }];
  for (const stage of TABLES.stages) {
    const dump = stage.dump && run.files[RECORD_BASE + stage.dump];
    if (dump) panels.push({ title: `after ${stage.name} (${RECORD_BASE}${stage.dump})`, samples: words(dump) });
  }
  return panels;
}

function tracePath(samples, top, width) {
  let low = Infinity;
  let high = -Infinity;
  for (const sample of samples) {
    low = Math.min(low, sample);
    high = Math.max(high, sample);
  }
  const span = Math.max(high - low, 1);
  const step = width / Math.max(samples.length - 1, 1);
  let path = '';
  samples.forEach((sample, index) => {
    const x = LEFT_MARGIN + index * step;
    const y = top + PANEL_HEIGHT - ((sample - low) / span) * PANEL_HEIGHT;
    path += `${index === 0 ? 'M' : 'L'}${x.toFixed(1)} ${y.toFixed(1)}`;
  });
  return { path, low, high };
}

function drawStages(run, record) {
  const holder = element('stage-view');
  const panels = stagePanels(run);
  const height = panels.length * (PANEL_HEIGHT + PANEL_GAP) + 24;
  const width = VIEW_WIDTH - LEFT_MARGIN - 8;
  const svg = svgElement('svg', { viewBox: `0 0 ${VIEW_WIDTH} ${height}`, role: 'img',
    'aria-label': `The recording and ${panels.length - 1} stage outputs with the peaks found` });
  const length = panels[0].samples.length;
  panels.forEach((panel, index) => {
    const top = index * (PANEL_HEIGHT + PANEL_GAP) + 16;
    const trace = tracePath(panel.samples, top, width);
    svg.append(svgElement('rect', { x: LEFT_MARGIN, y: top, width, height: PANEL_HEIGHT, fill: '#fbfcfd', stroke: '#d4d9df' }));
    const title = svgElement('text', { x: LEFT_MARGIN + 4, y: top - 4, 'font-size': 13, fill: '#1b1f24' });
    title.textContent = panel.title;
    svg.append(title);
    [[trace.high, top + 10], [trace.low, top + PANEL_HEIGHT]].forEach(([value, y]) => {
      const label = svgElement('text', { x: LEFT_MARGIN - 4, y, 'font-size': 11, 'text-anchor': 'end', fill: '#5b6470' });
      label.textContent = String(value);
      svg.append(label);
    });
    svg.append(svgElement('path', { d: trace.path, fill: 'none', stroke: '#0b5cad', 'stroke-width': 1 }));
  });
  if (record) {
    const step = width / Math.max(length - 1, 1);
    const bottom = height - 24 + 4;
    for (const location of record.peaks) {
      if (location === 0) continue;
      const x = LEFT_MARGIN + (location - 1) * step;
      svg.append(svgElement('line', { x1: x, x2: x, y1: 12, y2: bottom, stroke: '#a3262a', 'stroke-dasharray': '3 3', 'stroke-width': 1 }));
      svg.append(svgElement('circle', { cx: x, cy: bottom, r: 3.5, fill: '#a3262a' }));
    }
  }
  const axis = svgElement('text', { x: LEFT_MARGIN, y: height - 4, 'font-size': 12, fill: '#5b6470' });
  axis.textContent = `sample 1 … ${length}; red: stored peak locations`;
  svg.append(axis);
  holder.replaceChildren(svg);
}
