// The setup command's install and then remove (--config) write every fixture, and a missing file,
// in every dialect it fits, from a copy of the command in an odd directory, as a release copy and
// in the dev world; real parsers read what they wrote: smol-toml for Codex, strict JSON.parse, and
// a parser of JSON with comments, as Zed reads its settings, for files edited in place.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { copyFileSync, existsSync, mkdtempSync, readFileSync, readdirSync, writeFileSync } from 'node:fs';
import { basename, extname, join } from 'node:path';
import { parse as parseJsonc } from 'jsonc-parser';
import { parse as parseToml } from 'smol-toml';
import { binDir, isolatedHome } from './support.mjs';

const fixtureDir = process.env.QUORVELIN_SETUP_FIXTURES;
const withEnv = (command, dev) => ({ command, args: [], ...(dev && { env: { QUORVELIN_DEV: '1' } }) });
// A client that writes the dialect, its fixtures' suffix, the key of its servers, our entry for a
// command, and the command of an entry.
const kDialects = [
  ['cursor', '.json', 'mcpServers', withEnv, (e) => e?.command],
  ['zed', '.json', 'context_servers', (path) => ({ command: { path, args: [] } }), (e) => e?.command?.path],
  ['opencode', '.json', 'mcp', (path) => ({ type: 'local', command: [path], enabled: true }), (e) => e?.command?.[0]],
  ['codex', '.toml', 'mcp_servers', withEnv, (e) => e?.command],
];
// smol-toml's tables have no prototype; through JSON they compare like JSON.parse's objects.
const parse = (suffix, text) => (suffix === '.toml' ? JSON.parse(JSON.stringify(parseToml(text))) : JSON.parse(text));

// The original with our entry in (or out). Install into JSON drops the other world's entry when its
// command is gone; in Codex the arrays of tables below our table are not ours.
function expected(document, [, suffix, key, , commandOf], [name, other], entry) {
  const servers = (document[key] ??= {});
  const { command, args, env, startup_timeout_ms: timeout, ...below } = servers[name] ?? {};
  servers[name] = { ...(suffix === '.toml' && below), ...entry };
  if (Object.keys(servers[name]).length === 0) delete servers[name];
  if (suffix === '.json' && !existsSync(commandOf(servers[other]) ?? '')) delete servers[other];
  if (suffix === '.toml' && Object.keys(servers).length === 0) delete document[key];
  return document;
}

for (const dev of [false, true]) {
  test(`files written ${dev ? 'in the dev world' : 'by a release copy'} parse to the original with our entry`, () => {
    const { root, env } = isolatedHome();
    const dir = mkdtempSync(join(root, `Quorvelin "beta" 版 #1 [x] 'q' = \t`));
    const [command, setup] = ['quorvelin-mcp', 'quorvelin-mcp-setup'].map((name) => join(dir, name));
    for (const file of [command, setup]) copyFileSync(join(binDir, basename(file)), file);
    const names = dev ? ['quorvelin-dev', 'quorvelin'] : ['quorvelin', 'quorvelin-dev'];
    if (dev) env.QUORVELIN_DEV = '1';
    const fixtures = readdirSync(fixtureDir).filter((file) => /\.(json|toml)$/.test(file));
    assert.deepEqual(new Set(fixtures.map((file) => extname(file))), new Set(['.json', '.toml']), fixtureDir);
    for (const fixture of [undefined, ...fixtures]) {
      const text = fixture && readFileSync(join(fixtureDir, fixture), 'utf8').replaceAll('@NAME@', names[0]);
      const input = text?.replaceAll('@OTHER@', names[1]).replaceAll('@SIDECAR@', JSON.stringify(command).slice(1, -1));
      for (const dialect of kDialects.filter(([, suffix]) => !fixture || extname(fixture) === suffix)) {
        const [client, suffix, , entry] = dialect;
        const file = join(root, `${fixture ?? 'missing'}, ${client}${suffix}`);
        if (input !== undefined) writeFileSync(file, input);
        for (const op of ['install', 'remove']) {
          const ok = spawnSync(setup, [op, client, '--config', file], { env }).status === 0;
          // Only what a strict parser rejects too may be refused, and then the file stays as it was.
          if (!ok) assert.throws(() => parse(suffix, input), file);
          const original = ok && (input === undefined ? {} : parse(suffix, input));
          const want = ok ? expected(original, dialect, names, op === 'install' && entry(command, dev)) : input;
          const written = readFileSync(file, 'utf8');
          assert.deepEqual(ok ? parse(suffix, written) : written, want, `${file}, after ${op}`);
        }
      }
    }
  });
}

test('settings with comments edited in place read as JSON with comments, and come back whole', () => {
  const { root, env } = isolatedHome();
  const command = join(root, 'quorvelin-mcp');
  const setup = join(root, 'quorvelin-mcp-setup');
  for (const file of [command, setup]) copyFileSync(join(binDir, basename(file)), file);
  const strict = { allowTrailingComma: false, disallowComments: true };
  const fixtures = readdirSync(fixtureDir).filter((file) => /^zed.*\.json$/.test(file));
  let edited = 0;
  for (const fixture of fixtures) {
    const input = readFileSync(join(fixtureDir, fixture), 'latin1').replaceAll('@NAME@', 'quorvelin-dev');
    const errors = [];
    parseJsonc(input, errors, strict);
    if (errors.length === 0) continue; // plain JSON goes the plain way
    const file = join(root, fixture);
    writeFileSync(file, input, 'latin1');
    const run = (op) => spawnSync(setup, [op, 'zed', '--config', file, '--keep-comments'], { env }).status;
    assert.equal(run('install'), 0, fixture);
    const written = parseJsonc(readFileSync(file, 'utf8').replace(/^\uFEFF/, ''), errors, { allowTrailingComma: true });
    const original = parseJsonc(Buffer.from(input, 'latin1').toString('utf8').replace(/^\uFEFF/, ''));
    const { quorvelin: entry, ...others } = written.context_servers;
    assert.deepEqual(entry, { command: { path: command, args: [] } }, fixture);
    assert.deepEqual({ ...written, context_servers: others }, { ...original, context_servers: original.context_servers ?? {} });
    assert.equal(run('remove'), 0, fixture);
    assert.equal(readFileSync(file, 'latin1'), input, `${fixture} after remove`);
    edited += 1;
  }
  assert.ok(edited >= 2, 'no settings file with comments among the fixtures');
});
