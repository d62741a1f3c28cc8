// The official MCP SDK's client drives the sidecar; the SDK checks every answer against the
// protocol's schemas, so an answer it rejects fails the test.
import { LATEST_PROTOCOL_VERSION as latest, EmptyResultSchema } from '@modelcontextprotocol/sdk/types.js';
import { sessionTests } from './support.mjs';

const schema = { type: 'object', properties: { id: { type: 'integer', minimum: 0 } }, required: ['id'] };
const tool = (name) => ({ name, description: `${name}:截图 — "quotes", \\ and\nnew lines`, inputSchema: schema });
const small = [tool('shoot'), { ...tool('delete_shot'), title: '删除', annotations: { destructiveHint: true } }];
const large = Array.from({ length: 5000 }, (_, i) => tool(`tool_${i}`));
const info = { name: 'quorvelin-dev', version: '0.8.2', build: 'prod' };
const init = async (c) => [c.initialized.protocolVersion, c.initialized.serverInfo, await c.ping()];
// Every listed prompt got with 9 for its arguments: its name, the roles of its messages, and 9 when
// the text holds it.
const prompts = async (client) => Promise.all((await client.listPrompts()).prompts.map(async ({ name }) => {
  const { messages } = await client.getPrompt({ name, arguments: { steps: '9', count: '9' } });
  return `${name}: ${messages.map((m) => m.role + (m.content.text.includes(' 9 ') ? ' 9' : ''))}`;
}));
// A request that must fail: the code and message of the SDK's exception.
const fails = (method, params) => (client) =>
  client.request({ method, params }, EmptyResultSchema).then(() => 'answered', (e) => [e.code, e.message]);

sessionTests([
  ...[latest, '2024-11-05'].map((pinned) => [`initialize (${pinned}), ping`, { pinned }, init, [pinned, info, {}]]),
  ...[small, large].map((tools) => [`tools/list of ${tools.length} tools`, { tools }, (c) => c.listTools(), { tools }]),
  ['prompts/list and prompts/get of all five prompts', {}, prompts, ['annotate-active-window: user',
    'compare-before-after: user', 'find-error-on-screen: user', 'make-tutorial: user 9', 'archive-recent: user 9']],
  ['an unknown prompt', {}, fails('prompts/get', { name: 'nope' }), [-32602, 'MCP error -32602: Unknown prompt: nope']],
  ['an unknown method', {}, fails('nope'), [-32601, 'MCP error -32601: Method not found: nope']],
  ['resources/read without a GUI program', {}, fails('resources/read', { uri: 'quorvelin://shots/recent' }),
    [-32002, 'MCP error -32002: Cannot read resource — Quorvelin 主程序未运行或无响应']],
]);
