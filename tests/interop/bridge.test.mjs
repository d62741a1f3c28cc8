// Tool calls and resources through the sidecar to quorvelin-bridge-sim, the stand-in for the GUI
// program, as the official SDK client sees them.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { join } from 'node:path';
import { once } from 'node:events';
import { McpError } from '@modelcontextprotocol/sdk/types.js';
import { binDir, isolatedHome, connect } from './support.mjs';

const kNeedGui = '[need_gui] Quorvelin 主程序未运行 —— 请先打开 Quorvelin(它会常驻托盘),再重试此操作。';
const kRanAfterWaiting = 'NOTE — the user was interacting, so this call auto-waited %1 ms before running.';
const kCannotRead = 'Cannot read resource — Quorvelin 主程序未运行或无响应';
const kResourceError = -32002;

// Starts the stand-in in the same isolated home (so on the same socket) and waits for "ready".
async function startBridge(t, home, args) {
  const child = spawn(join(binDir, 'quorvelin-bridge-sim'), [...args, '--log', join(home.root, 'bridge.log')], {
    env: home.env,
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  let stderr = '';
  child.stderr.on('data', (chunk) => (stderr += chunk));
  t.after(async () => {
    if (child.exitCode === null && child.signalCode === null) {
      child.kill('SIGTERM');
      await once(child, 'exit');
    }
  });
  let stdout = '';
  for await (const chunk of child.stdout) {
    stdout += chunk;
    if (stdout.includes('\n')) break;
  }
  assert.match(stdout, /^ready /, `the stand-in did not start: ${stderr}`);
  return child;
}

async function shutDown(session) {
  const end = await session.close();
  assert.equal(end.exitCode, 0, `the sidecar ended with ${end.exitCode ?? end.signal}\n${end.stderr}`);
}

function texts(result) {
  return result.content.map((item) => item.text);
}

test('tools/call runs in the GUI program', async (t) => {
  const home = isolatedHome(t);
  await startBridge(t, home, []);
  const session = await connect(t, home);
  const result = await session.client.callTool({ name: 'get_shot', arguments: { id: 42, 说明: '中文' } });
  assert.equal(result.isError, undefined);
  assert.deepEqual(texts(result), ['ran get_shot {"id":42,"说明":"中文"}']);
  await shutDown(session);
});

test('tools/call deferred once runs after waiting, with the note', async (t) => {
  const home = isolatedHome(t);
  await startBridge(t, home, ['--next', 'defer:retry_after_ms=200']);
  const session = await connect(t, home);
  const result = await session.client.callTool({ name: 'screenshot_fullscreen', arguments: {} });
  assert.equal(result.isError, undefined);
  assert.deepEqual(texts(result), ['ran screenshot_fullscreen {}', kRanAfterWaiting.replace('%1', '300')]);
  await shutDown(session);
});

test('tools/call without a GUI program is a tool error, not a protocol error', async (t) => {
  const home = isolatedHome(t);
  const session = await connect(t, home);
  const result = await session.client.callTool({ name: 'screenshot_fullscreen', arguments: {} });
  assert.equal(result.isError, true);
  assert.deepEqual(texts(result), [kNeedGui]);
  await shutDown(session);
});

test('resources/list and resources/read from the GUI program', async (t) => {
  const home = isolatedHome(t);
  await startBridge(t, home, []);
  const session = await connect(t, home);
  const { resources } = await session.client.listResources();
  assert.deepEqual(
    resources.map((r) => r.uri),
    ['quorvelin://shots/recent', 'quorvelin://settings/hotkeys'],
  );
  for (const resource of resources) {
    const read = await session.client.readResource({ uri: resource.uri });
    assert.equal(read.contents.length, 1);
    assert.equal(read.contents[0].uri, resource.uri);
    assert.ok(read.contents[0].text.length > 0);
  }
  await assert.rejects(session.client.readResource({ uri: 'quorvelin://nope' }), (error) => {
    assert.ok(error instanceof McpError);
    assert.equal(error.code, kResourceError);
    assert.match(error.message, /unknown resource: quorvelin:\/\/nope/);
    return true;
  });
  await shutDown(session);
});

test('resources without a GUI program: an empty list, and a read error', async (t) => {
  const home = isolatedHome(t);
  const session = await connect(t, home);
  assert.deepEqual((await session.client.listResources()).resources, []);
  await assert.rejects(session.client.readResource({ uri: 'quorvelin://shots/recent' }), (error) => {
    assert.equal(error.code, kResourceError);
    assert.ok(error.message.includes(kCannotRead), error.message);
    return true;
  });
  await shutDown(session);
});
