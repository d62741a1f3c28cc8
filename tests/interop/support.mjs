// Shared by the interop tests: a private home for every run, and the official SDK client connected
// to a fresh sidecar in one.
import { mkdtempSync, mkdirSync, rmSync, writeFileSync } from 'node:fs';
import { spawn } from 'node:child_process';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { createInterface } from 'node:readline';
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { Client } from '@modelcontextprotocol/sdk/client/index.js';
import { StdioClientTransport } from '@modelcontextprotocol/sdk/client/stdio.js';

export const binDir = process.env.QUORVELIN_BIN_DIR;

// Every home lives in one directory that goes when the process ends, after everything the tests
// started has stopped.
const base = mkdtempSync(join(tmpdir(), 'quorvelin-interop-'));
process.on('exit', () => rmSync(base, { recursive: true, force: true }));

// The sanitizer settings pass, so that a report fails the run as it does under CTest.
export function isolatedHome() {
  const root = mkdtempSync(join(base, 'home-'));
  const { ASAN_OPTIONS, UBSAN_OPTIONS, LSAN_OPTIONS } = process.env;
  const env = { HOME: 'home', XDG_DATA_HOME: 'data', XDG_CONFIG_HOME: 'config', TMPDIR: 'tmp' };
  for (const name in env) mkdirSync((env[name] = join(root, env[name])));
  return { root, env: { ...env, ASAN_OPTIONS, UBSAN_OPTIONS, LSAN_OPTIONS } };
}

// The client asks for the pinned revision, if any; the sidecar has the tool catalogue, and the GUI
// program's stand-in started with the arguments in bridge, if given. When the test ends the client
// closes, and the sidecar must then exit with status 0 on its own.
export async function connect(t, { pinned, tools, bridge } = {}) {
  const { root, env } = isolatedHome();
  if (tools) mkdirSync(join(env.XDG_DATA_HOME, 'Brenlow', 'Quorvelin'), { recursive: true });
  if (tools) writeFileSync(join(env.XDG_DATA_HOME, 'Brenlow', 'Quorvelin', 'mcp-tools.json'), JSON.stringify({ tools }));
  if (bridge) {
    const child = spawn(join(binDir, 'quorvelin-bridge-sim'), [...bridge, '--log', join(root, 'log')], { env });
    t.after(() => child.kill());
    // Its first line, or nothing when it ends first.
    const lines = createInterface({ input: child.stdout })[Symbol.asyncIterator]();
    assert.match(String((await lines.next()).value), /^ready /, 'the stand-in did not start');
  }
  const transport = new StdioClientTransport({ command: process.env.QUORVELIN_MCP_BIN, env });
  const send = transport.send.bind(transport);
  const pin = (params) => ({ ...params, protocolVersion: pinned ?? params.protocolVersion });
  transport.send = (m) => send(m.method === 'initialize' ? { ...m, params: pin(m.params) } : m);
  const client = new Client({ name: 'quorvelin-interop', version: '1.0.0' }, { enforceStrictCapabilities: true });
  // The client keeps of the initialize answer only what its schema reads; the wire has all of it.
  transport.onmessage = (message) => (client.initialized ??= message.result);
  await client.connect(transport);
  const sidecar = transport._process;
  t.after(async () => {
    await client.close();
    assert.deepEqual([sidecar.exitCode, sidecar.signalCode], [0, null]);
  });
  return client;
}

// One test per case [label, connect's options, call, want]: in a session started with the options,
// what call(client) gives is what the case wants.
export function sessionTests(cases) {
  for (const [label, options, call, want] of cases)
    test(label, async (t) => assert.deepEqual(await call(await connect(t, options)), want));
}
