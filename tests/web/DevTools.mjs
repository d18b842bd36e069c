// SPDX-License-Identifier: Apache-2.0
// A small client of the browser's DevTools protocol over
// --remote-debugging-pipe: commands go to the browser's descriptor 3 and
// answers and events come back on descriptor 4, each message a JSON text
// ended by a NUL byte. Enough to open one page, drive it and watch its console.
import { spawn } from 'node:child_process';

export class Browser {
  constructor(child) {
    this.child = child;
    this.nextId = 1;
    this.pending = new Map();
    this.listeners = [];
    this.buffered = '';
    child.stdio[4].setEncoding('utf8');
    child.stdio[4].on('data', (chunk) => this.receive(chunk));
    this.exited = new Promise((resolve) => child.on('exit', resolve));
    child.on('exit', () => {
      for (const { reject } of this.pending.values()) reject(new Error('the browser ended'));
      this.pending.clear();
    });
  }

  static launch(executable, profileDirectory) {
    const child = spawn(executable, [
      '--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking', '--no-first-run',
      '--disable-extensions', '--remote-debugging-pipe', `--user-data-dir=${profileDirectory}`, 'about:blank',
    ], { stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe'] });
    return new Browser(child);
  }

  receive(chunk) {
    this.buffered += chunk;
    let end;
    while ((end = this.buffered.indexOf('\0')) >= 0) {
      const message = JSON.parse(this.buffered.slice(0, end));
      this.buffered = this.buffered.slice(end + 1);
      if (message.id !== undefined && this.pending.has(message.id)) {
        const { resolve, reject, method } = this.pending.get(message.id);
        this.pending.delete(message.id);
        if (message.error) reject(new Error(`${method}: ${message.error.message}`));
        else resolve(message.result);
      } else if (message.method) {
        for (const listener of this.listeners) listener(message);
      }
    }
  }

  send(method, params = {}, sessionId = undefined) {
    const id = this.nextId++;
    const message = { id, method, params };
    if (sessionId) message.sessionId = sessionId;
    return new Promise((resolve, reject) => {
      this.pending.set(id, { resolve, reject, method });
      this.child.stdio[3].write(`${JSON.stringify(message)}\0`);
    });
  }

  onEvent(listener) {
    this.listeners.push(listener);
  }

  // Waits for the first event `method` of the session that `accept` takes.
  waitFor(method, sessionId, accept = () => true) {
    return new Promise((resolve) => {
      const listener = (message) => {
        if (message.method === method && message.sessionId === sessionId && accept(message.params)) {
          this.listeners.splice(this.listeners.indexOf(listener), 1);
          resolve(message.params);
        }
      };
      this.onEvent(listener);
    });
  }

  // A new tab attached in flat mode: returns its session id.
  async openTab() {
    const { targetId } = await this.send('Target.createTarget', { url: 'about:blank' });
    const { sessionId } = await this.send('Target.attachToTarget', { targetId, flatten: true });
    return sessionId;
  }

  async close() {
    try {
      await this.send('Browser.close');
    } catch {
      // already gone
    }
    await this.exited;
  }
}

// Evaluates `expression` in the page and returns its value (promises awaited);
// an exception in the page rejects with its text.
export async function evaluate(browser, sessionId, expression) {
  const { result, exceptionDetails } = await browser.send('Runtime.evaluate',
    { expression, awaitPromise: true, returnByValue: true }, sessionId);
  if (exceptionDetails) {
    throw new Error(`page: ${exceptionDetails.exception?.description ?? exceptionDetails.text}`);
  }
  return result.value;
}
