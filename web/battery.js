// SPDX-License-Identifier: Apache-2.0
// The test battery run in the page by the companion program's own battery
// (`qzkit conformance`) on the run's current constants and settings: its
// summary table and verdicts as the command prints them, and its CSV. A run
// takes a tenth of a second or more, so it runs from its button or, when
// kept up to date, once the controls have been still for a moment (the
// stages are redrawn first); until then the shown results are marked as
// made for other inputs.
const BATTERY_CSV = '/battery.csv';
const BATTERY_DELAY_MS = 220;
let batteryTimer = null;

function startBattery() {
  element('battery-run').addEventListener('click', runBattery);
  for (const id of ['battery-kind', 'battery-length', 'battery-auto']) {
    element(id).addEventListener('change', markBatteryStale);
  }
}

// The run's settings as the tool's arguments 3 to 6, "MASK PEAK BEAT DERIV".
function settingsText(chosen) {
  return `${chosen.mask} ${chosen.peak} ${chosen.beat} ${chosen.derivative}`;
}

function batteryInputs() {
  return `${workbench.constants.name} with settings ${settingsText(settings())}, ` +
    `${element('battery-kind').selectedOptions[0].text} families, ${element('battery-length').selectedOptions[0].text}`;
}

// Marks the shown battery results as made for other inputs than the current
// ones, and schedules a new run when the battery is kept up to date.
function markBatteryStale() {
  const stale = !workbench.battery || workbench.battery.inputs !== batteryInputs();
  clearTimeout(batteryTimer);
  if (stale && element('battery-auto').checked) batteryTimer = setTimeout(runBattery, BATTERY_DELAY_MS);
  if (!workbench.battery) return;
  element('battery-status').textContent = stale
    ? `These results are for ${workbench.battery.inputs}; run the battery again for the current constants and settings.`
    : `Results for ${workbench.battery.inputs}.`;
  element('battery-status').classList.toggle('error', stale);
}

function runBattery() {
  clearTimeout(batteryTimer);
  if (!workbench.constants || workbench.constants.bytes.length < TABLES.constantsBytes) return;
  const started = performance.now();
  const image = _malloc(TABLES.constantsBytes);
  HEAPU8.set(workbench.constants.bytes.subarray(0, TABLES.constantsBytes), image);
  if (FS.analyzePath(BATTERY_CSV).exists) FS.unlink(BATTERY_CSV);
  const status = ccall('qzw_battery', 'number', ['number', 'string', 'number', 'number', 'string'],
    [image, settingsText(settings()), Number(element('battery-kind').value), Number(element('battery-length').value),
      BATTERY_CSV]);
  _free(image);
  const summary = UTF8ToString(_qzw_toolkit_message());
  const csv = status === 2 ? null : FS.readFile(BATTERY_CSV);
  workbench.battery = { status, summary, csv, inputs: batteryInputs(), ms: performance.now() - started };
  showBattery();
}

function showBattery() {
  const { status, summary, csv, ms } = workbench.battery;
  const holder = element('battery-results');
  for (const link of holder.querySelectorAll('a')) URL.revokeObjectURL(link.href);
  holder.replaceChildren();
  markBatteryStale();
  if (status === 2) {
    const error = document.createElement('p');
    error.className = 'error';
    error.textContent = `The battery did not run: ${summary}`;
    holder.append(error);
    return;
  }
  const verdict = document.createElement('p');
  verdict.className = status === 0 ? 'verdict' : 'verdict error';
  verdict.textContent = `${status === 0 ? 'Every graded case passes' : 'A graded case fails'} ` +
    `(exit status ${status}); ran in ${(ms / 1000).toFixed(1)} s.`;
  const scroller = document.createElement('div');
  scroller.className = 'scroller';
  scroller.tabIndex = 0;
  scroller.setAttribute('role', 'region');
  scroller.setAttribute('aria-label', 'The battery, case by case (scrolls)');
  scroller.append(summaryTable(summary.split('\n').filter((line) => line.startsWith('|'))));
  holder.append(verdict, scroller);
  for (const line of summary.split('\n').filter((text) => text !== '' && !text.startsWith('|'))) {
    const paragraph = document.createElement('p');
    paragraph.className = 'note';
    paragraph.textContent = line;
    holder.append(paragraph);
  }
  const downloads = document.createElement('div');
  downloads.className = 'row';
  downloads.append(downloadLink('conformance.md', new TextEncoder().encode(summary)), downloadLink('conformance.csv', csv));
  holder.append(downloads);
}

// The summary's Markdown table as a table, a failing verdict marked.
function summaryTable(lines) {
  const cells = (line) => line.slice(1, -1).split('|').map((cell) => cell.trim());
  const result = document.createElement('table');
  result.createCaption().textContent = 'The battery, case by case';
  const head = result.createTHead().insertRow();
  for (const name of cells(lines[0])) {
    const cell = document.createElement('th');
    cell.scope = 'col';
    cell.textContent = name;
    head.append(cell);
  }
  const body = result.createTBody();
  for (const line of lines.slice(2)) {
    const row = body.insertRow();
    cells(line).forEach((text, index) => {
      const cell = row.insertCell();
      // A failing verdict is in bold, **FAIL**.
      const bold = /^\*\*(.*)\*\*$/.exec(text);
      cell.textContent = bold ? bold[1] : text;
      if (index < 2) cell.className = 'text';
      if (bold) cell.classList.add('error');
    });
  }
  return result;
}
