// The official MCP TypeScript SDK's Client drives the sidecar over stdio. The SDK validates every
// answer against the protocol's schemas, so a rejected answer fails here as an exception.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { McpError, ErrorCode, LATEST_PROTOCOL_VERSION, EmptyResultSchema } from '@modelcontextprotocol/sdk/types.js';
import { isolatedHome, writeCatalogue, connect } from './support.mjs';

const kPromptNames = [
  'annotate-active-window',
  'compare-before-after',
  'find-error-on-screen',
  'make-tutorial',
  'archive-recent',
];

function realisticTools() {
  return [
    {
      name: 'screenshot_fullscreen',
      description: '截取整个屏幕,返回 shot id',
      inputSchema: { type: 'object', properties: { display: { type: 'integer', minimum: 0 } } },
      annotations: { readOnlyHint: false, openWorldHint: false },
    },
    {
      name: 'get_shot_ocr_text',
      description: 'OCR 一张历史截图的文字',
      inputSchema: {
        type: 'object',
        properties: { id: { type: 'integer', description: 'shot id' } },
        required: ['id'],
        additionalProperties: false,
      },
    },
    {
      name: 'delete_shot',
      title: '删除截图',
      description: 'Removes a shot from the history — "quotes", \\ backslashes and\nnew lines',
      inputSchema: { type: 'object', properties: { id: { type: 'integer' } }, required: ['id'] },
      annotations: { destructiveHint: true },
    },
  ];
}

async function shutDown(session) {
  const end = await session.close();
  assert.equal(end.exitCode, 0, `the sidecar ended with ${end.exitCode ?? end.signal}\n${end.stderr}`);
}

for (const [label, pinnedRevision] of [
  [`the SDK's own revision (${LATEST_PROTOCOL_VERSION})`, undefined],
  ['revision 2024-11-05', '2024-11-05'],
]) {
  test(`initialize with ${label}`, async (t) => {
    const home = isolatedHome(t);
    const session = await connect(t, home, { pinnedRevision });
    const answer = session.transport.answerTo('initialize');
    assert.equal(answer.result.protocolVersion, pinnedRevision ?? LATEST_PROTOCOL_VERSION);
    const info = session.client.getServerVersion();
    assert.match(info.name, /^quorvelin(-dev)?$/);
    assert.equal(info.version, '0.8.2');
    const capabilities = session.client.getServerCapabilities();
    for (const name of ['tools', 'prompts', 'resources']) assert.ok(capabilities[name], name);
    assert.match(session.client.getInstructions(), /Quorvelin/);
    // The SDK sends notifications/initialized after the handshake: it must stay unanswered.
    assert.ok(session.transport.sent.some((m) => m.method === 'notifications/initialized'));
    assert.equal(session.transport.received.length, 1);
    assert.deepEqual(await session.client.ping(), {});
    await shutDown(session);
  });
}

test('tools/list from a catalogue, read afresh each time', async (t) => {
  const home = isolatedHome(t);
  const session = await connect(t, home);
  assert.deepEqual((await session.client.listTools()).tools, []);
  const tools = realisticTools();
  writeCatalogue(home, tools);
  assert.deepEqual((await session.client.listTools()).tools, tools);
  await shutDown(session);
});

test('tools/list of 5,000 tools', async (t) => {
  const home = isolatedHome(t);
  const tools = Array.from({ length: 5000 }, (_, i) => ({
    name: `tool_${i}`,
    description: `工具 ${i}`,
    inputSchema: { type: 'object', properties: { id: { type: 'integer' } }, required: ['id'] },
  }));
  writeCatalogue(home, tools);
  const session = await connect(t, home);
  assert.deepEqual((await session.client.listTools()).tools, tools);
  await shutDown(session);
});

test('prompts/list and prompts/get of all five prompts', async (t) => {
  const home = isolatedHome(t);
  const session = await connect(t, home);
  const { prompts } = await session.client.listPrompts();
  assert.deepEqual(prompts.map((p) => p.name), kPromptNames);
  for (const prompt of prompts) {
    const argumentsFor = Object.fromEntries((prompt.arguments ?? []).map((a) => [a.name, '7']));
    const got = await session.client.getPrompt({ name: prompt.name, arguments: argumentsFor });
    assert.equal(got.description, prompt.description);
    assert.equal(got.messages.length, 1, prompt.name);
    assert.equal(got.messages[0].role, 'user');
    assert.equal(got.messages[0].content.type, 'text');
    assert.ok(got.messages[0].content.text.length > 50, prompt.name);
  }
  const tutorial = await session.client.getPrompt({ name: 'make-tutorial', arguments: { steps: '8' } });
  assert.match(tutorial.messages[0].content.text, /8 步/);
  await shutDown(session);
});

test('errors reach the SDK as protocol errors', async (t) => {
  const home = isolatedHome(t);
  const session = await connect(t, home);
  await assert.rejects(session.client.getPrompt({ name: 'no-such-prompt' }), (error) => {
    assert.ok(error instanceof McpError);
    assert.equal(error.code, ErrorCode.InvalidParams);
    assert.match(error.message, /Unknown prompt: no-such-prompt/);
    return true;
  });
  await assert.rejects(
    session.client.request({ method: 'resources/templates/list', params: {} }, EmptyResultSchema),
    (error) => {
      assert.equal(error.code, ErrorCode.MethodNotFound);
      return true;
    },
  );
  // The session goes on after errors.
  assert.deepEqual(await session.client.ping(), {});
  await shutDown(session);
});
