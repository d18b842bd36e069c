// SPDX-License-Identifier: Apache-2.0
// Opens the workbench page in headless Chromium and checks that it computes
// the desktop tool's very bytes: every case of a case list (the twin check's
// generated set: every stage mask and setting, both record lengths, odd
// constants, the error exits) runs in the page and on the desktop tool, and
// the exit status, the printed text (storage addresses masked) and every file
// left are compared byte for byte. Then drives the page's own controls and
// keeps a screenshot. The page must load nothing from the network and log no
// console error. The companion program's parts in the page (constants
// design, the test battery) are compared with QZKIT's, and its guards
// against bad input (refused fields, own files, large conversions) tried.
//
// Usage: node BrowserTest.mjs --page HTML --tool TOOL --qzkit QZKIT --inputs DIR --cases FILE --work DIR
//                             [--chromium PATH] [--batch N]
// Prints one line per differing case and "N passed, M failed, K skipped";
// exits 1 on any difference or page fault.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { Browser, evaluate } from './DevTools.mjs';
import { checkCompanionParts } from './CompanionParts.mjs';
import { checkControls } from './PageControls.mjs';
import { checkGuards } from './PageGuards.mjs';

function options(argv) {
  const chosen = { chromium: 'chromium', batch: '100' };
  for (let index = 0; index < argv.length; index += 2) chosen[argv[index].replace(/^--/, '')] = argv[index + 1];
  const paths = ['page', 'tool', 'qzkit', 'inputs', 'cases', 'work'];
  for (const required of paths) {
    if (!chosen[required]) {
      console.error('usage: BrowserTest.mjs --page HTML --tool TOOL --qzkit QZKIT --inputs DIR --cases FILE --work DIR');
      process.exit(2);
    }
  }
  for (const key of paths) chosen[key] = path.resolve(chosen[key]);
  return chosen;
}

// A case's input files: for every argument without a slash, the files called
// "ARGUMENT.*" (as the twin check links them). null when one is a folder: the
// page's file table holds files only.
function caseInputs(inputsDirectory, entries, args) {
  const names = [];
  for (const argument of args) {
    if (argument.includes('/')) continue;
    for (const entry of entries) {
      if (!entry.name.startsWith(`${argument}.`)) continue;
      if (!entry.isFile()) return null;
      names.push(entry.name);
    }
  }
  return names;
}

function readCases(file, inputsDirectory) {
  const entries = fs.readdirSync(inputsDirectory, { withFileTypes: true });
  return fs.readFileSync(file, 'utf8').split('\n').filter((line) => line.trim() !== '').map((line) => {
    const [name, ...args] = line.trim().split(/\s+/);
    return { name, args, inputs: caseInputs(inputsDirectory, entries, args) };
  });
}

// One desktop run in a fresh folder holding the case's inputs.
function runDesktop(tool, inputsDirectory, runDirectory, testCase) {
  fs.rmSync(runDirectory, { recursive: true, force: true });
  fs.mkdirSync(runDirectory, { recursive: true });
  for (const name of testCase.inputs) fs.copyFileSync(path.join(inputsDirectory, name), path.join(runDirectory, name));
  const run = spawnSync(tool, testCase.args, { cwd: runDirectory, argv0: 'qz_vozozi_DE', maxBuffer: 1 << 26 });
  const files = {};
  for (const name of fs.readdirSync(runDirectory)) files[name] = fs.readFileSync(path.join(runDirectory, name));
  return { status: run.status, printed: run.stdout, files };
}

const maskAddresses = (bytes) => bytes.toString('latin1').replace(/(stored at |Reading |Writing )[0-9a-f]{16}/g, '$1<address>');

function differences(desktop, page) {
  const problems = [];
  if (desktop.status !== page.status) problems.push(`exit status ${desktop.status} on the desktop, ${page.status} in the page`);
  if (maskAddresses(desktop.printed) !== maskAddresses(Buffer.from(page.printed, 'base64'))) problems.push('printed text differs');
  const names = new Set([...Object.keys(desktop.files), ...Object.keys(page.files)]);
  for (const name of [...names].sort()) {
    if (!(name in desktop.files)) problems.push(`${name} only in the page`);
    else if (!(name in page.files)) problems.push(`${name} only on the desktop`);
    else if (!desktop.files[name].equals(Buffer.from(page.files[name], 'base64'))) problems.push(`${name} differs`);
  }
  return problems;
}

async function openPage(browser, pageFile, faults) {
  const session = await browser.openTab();
  browser.onEvent((message) => {
    if (message.sessionId !== session) return;
    const { method, params } = message;
    if (method === 'Runtime.exceptionThrown') faults.push(`exception: ${params.exceptionDetails.exception?.description ?? params.exceptionDetails.text}`);
    if (method === 'Runtime.consoleAPICalled' && (params.type === 'error' || params.type === 'warning')) {
      faults.push(`console ${params.type}: ${params.args.map((arg) => arg.value ?? arg.description).join(' ')}`);
    }
    if (method === 'Log.entryAdded' && params.entry.level === 'error') faults.push(`log: ${params.entry.text}`);
    if (method === 'Network.requestWillBeSent' && !/^(file|data|blob):/.test(params.request.url)) {
      faults.push(`network request: ${params.request.url}`);
    }
  });
  for (const domain of ['Page', 'Runtime', 'Log', 'Network']) await browser.send(`${domain}.enable`, {}, session);
  await browser.send('Emulation.setDeviceMetricsOverride', { width: 1400, height: 1000, deviceScaleFactor: 1, mobile: false }, session);
  const loaded = browser.waitFor('Page.loadEventFired', session);
  await browser.send('Page.navigate', { url: pathToFileURL(pageFile).href }, session);
  await loaded;
  await evaluate(browser, session, `new Promise((resolve, reject) => {
    const started = Date.now();
    const check = () => window.qzWorkbench && qzWorkbench.ready ? resolve(true)
      : Date.now() - started > 20000 ? reject(new Error('the page did not get ready')) : setTimeout(check, 20);
    check();
  })`);
  return session;
}

async function compareCases(browser, session, chosen, cases) {
  const runnable = cases.filter((testCase) => testCase.inputs !== null);
  const inputNames = new Set(runnable.flatMap((testCase) => testCase.inputs));
  const inputs = {};
  for (const name of inputNames) inputs[name] = fs.readFileSync(path.join(chosen.inputs, name)).toString('base64');
  await evaluate(browser, session, `qzToolTest.addInputs(${JSON.stringify(inputs)})`);

  const runDirectory = path.join(chosen.work, 'desktop-run');
  let failed = 0;
  let pageMs = 0;
  const batch = Number(chosen.batch);
  for (let start = 0; start < runnable.length; start += batch) {
    const slice = runnable.slice(start, start + batch);
    const started = performance.now();
    const results = await evaluate(browser, session,
      `qzToolTest.runCases(${JSON.stringify(slice.map(({ args, inputs: names }) => ({ args, inputs: names })))})`);
    pageMs += performance.now() - started;
    slice.forEach((testCase, index) => {
      const problems = differences(runDesktop(chosen.tool, chosen.inputs, runDirectory, testCase), results[index]);
      if (problems.length > 0) {
        failed++;
        console.log(`FAIL ${testCase.name} (${testCase.args.join(' ')}): ${problems.join('; ')}`);
      }
    });
  }
  fs.rmSync(runDirectory, { recursive: true, force: true });
  console.log(`cases: ${runnable.length} run in the page in ${(pageMs / 1000).toFixed(1)} s (with the transfer)`);
  return { passed: runnable.length - failed, failed, skipped: cases.length - runnable.length };
}

async function main() {
  const chosen = options(process.argv.slice(2));
  fs.mkdirSync(chosen.work, { recursive: true });
  const cases = readCases(chosen.cases, chosen.inputs);
  const browser = Browser.launch(chosen.chromium, path.join(chosen.work, 'profile'));
  const faults = [];
  let counts = { passed: 0, failed: 0, skipped: 0 };
  try {
    const session = await openPage(browser, chosen.page, faults);
    counts = await compareCases(browser, session, chosen, cases);
    const examples = path.join(path.dirname(new URL(import.meta.url).pathname), '../../examples');
    const pageProblems = [...await checkCompanionParts(browser, session, chosen, examples),
      ...await checkControls(browser, session, chosen, examples), ...await checkGuards(browser, session, chosen, examples)];
    for (const problem of pageProblems) console.log(`FAIL page: ${problem}`);
    counts.failed += pageProblems.length;
  } catch (error) {
    console.log(`FAIL ${error.message}`);
    counts.failed++;
  } finally {
    await browser.close();
  }
  for (const fault of faults) console.log(`FAIL page fault: ${fault}`);
  counts.failed += faults.length;
  console.log(`${counts.passed} passed, ${counts.failed} failed, ${counts.skipped} skipped`);
  process.exit(counts.failed === 0 && counts.passed > 0 ? 0 : 1);
}

await main();
