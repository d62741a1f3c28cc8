// Tool calls and resources through the sidecar to quorvelin-bridge-sim, the stand-in for the GUI
// program, as the official SDK client sees them.
import { sessionTests } from './support.mjs';

const kNeedGui = '[need_gui] Quorvelin 主程序未运行 —— 请先打开 Quorvelin(它会常驻托盘),再重试此操作。';
const kWaited = 'NOTE — the user was interacting, so this call auto-waited 300 ms before running.';
const texts = (...lines) => lines.map((text) => ({ type: 'text', text }));
const call = (name, args) => (client) => client.callTool({ name, arguments: args });
const hotkeys = { uri: 'quorvelin://settings/hotkeys', mimeType: 'text/plain', text: 'capture: Ctrl+Alt+A\npin: F3\n' };

sessionTests([
  ['tools/call that runs', { bridge: [] }, call('get_shot', { id: 42, 说明: '中文' }),
    { content: texts('ran get_shot {"id":42,"说明":"中文"}') }],
  ['tools/call deferred once', { bridge: ['--next', 'defer:retry_after_ms=200'] }, call('shoot', {}),
    { content: texts('ran shoot {}', kWaited) }],
  ['tools/call without a GUI program', {}, call('shoot', {}), { content: texts(kNeedGui), isError: true }],
  ['resources/list', { bridge: [] }, async (client) => (await client.listResources()).resources.map((r) => r.uri),
    ['quorvelin://shots/recent', hotkeys.uri]],
  ['resources/read', { bridge: [] }, (client) => client.readResource({ uri: hotkeys.uri }), { contents: [hotkeys] }],
]);
