// Shared by the interop tests: isolated homes for every sidecar run, a transport wrapper that
// records the wire and can pin the revision the client asks for, and a connected SDK client.
import { mkdtempSync, mkdirSync, writeFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { Client } from '@modelcontextprotocol/sdk/client/index.js';
import { StdioClientTransport } from '@modelcontextprotocol/sdk/client/stdio.js';

export const sidecarPath = process.env.QUORVELIN_MCP_BIN;
export const binDir = process.env.QUORVELIN_BIN_DIR;
if (!sidecarPath || !binDir) throw new Error('QUORVELIN_MCP_BIN and QUORVELIN_BIN_DIR must be set');

// Sanitizer settings reach the sidecar, so a report there fails its run as it does under CTest.
const kPassedThrough = ['ASAN_OPTIONS', 'UBSAN_OPTIONS', 'LSAN_OPTIONS', 'PATH'];

// A private HOME, XDG_DATA_HOME, XDG_CONFIG_HOME and TMPDIR; the product's own variables unset.
export function isolatedHome(t) {
  const root = mkdtempSync(join(tmpdir(), 'quorvelin-interop-'));
  const dirs = { root, home: join(root, 'home'), data: join(root, 'data'), tmp: join(root, 'tmp') };
  for (const dir of [dirs.home, dirs.data, dirs.tmp, join(dirs.home, '.config')])
    mkdirSync(dir, { recursive: true });
  const env = {
    HOME: dirs.home,
    XDG_DATA_HOME: dirs.data,
    XDG_CONFIG_HOME: join(dirs.home, '.config'),
    TMPDIR: dirs.tmp,
  };
  for (const name of kPassedThrough) if (process.env[name] !== undefined) env[name] = process.env[name];
  t.after(() => rmSync(root, { recursive: true, force: true }));
  return { ...dirs, env, appData: join(dirs.data, 'Brenlow', 'Quorvelin') };
}

export function writeCatalogue(home, tools) {
  mkdirSync(home.appData, { recursive: true });
  writeFileSync(join(home.appData, 'mcp-tools.json'), JSON.stringify({ tools }, null, 2));
}

// Forwards to the stdio transport, keeps every message in both directions, and rewrites the
// revision of the client's initialize request when one is pinned.
export class RecordingTransport {
  constructor(inner, pinnedRevision) {
    this.inner = inner;
    this.pinnedRevision = pinnedRevision;
    this.sent = [];
    this.received = [];
  }
  async start() {
    this.inner.onmessage = (message) => {
      this.received.push(message);
      this.onmessage?.(message);
    };
    this.inner.onerror = (error) => this.onerror?.(error);
    this.inner.onclose = () => this.onclose?.();
    await this.inner.start();
  }
  async send(message, options) {
    if (this.pinnedRevision && message.method === 'initialize')
      message = { ...message, params: { ...message.params, protocolVersion: this.pinnedRevision } };
    this.sent.push(message);
    await this.inner.send(message, options);
  }
  async close() {
    await this.inner.close();
  }
  setProtocolVersion(version) {
    this.inner.setProtocolVersion?.(version);
  }
  // The answer to the request of that method, as it came over the wire.
  answerTo(method) {
    const request = this.sent.find((message) => message.method === method);
    return request && this.received.find((message) => message.id === request.id);
  }
}

// A client connected to a fresh sidecar; closing it checks that the sidecar exited cleanly.
export async function connect(t, home, { pinnedRevision } = {}) {
  const stdio = new StdioClientTransport({
    command: sidecarPath,
    args: [],
    env: home.env,
    stderr: 'pipe',
  });
  let stderr = '';
  stdio.stderr.on('data', (chunk) => (stderr += chunk));
  const transport = new RecordingTransport(stdio, pinnedRevision);
  const client = new Client(
    { name: 'quorvelin-interop', version: '1.0.0' },
    { capabilities: {}, enforceStrictCapabilities: true },
  );
  await client.connect(transport);
  // The transport keeps the child to itself; its exit status is what a clean shutdown shows.
  const child = stdio._process;
  const close = async () => {
    await client.close();
    if (child.exitCode === null) await new Promise((resolve) => child.once('exit', resolve));
    return { exitCode: child.exitCode, signal: child.signalCode, stderr };
  };
  t.after(async () => {
    if (child.exitCode === null) child.kill('SIGKILL');
  });
  return { client, transport, close, stderr: () => stderr };
}
