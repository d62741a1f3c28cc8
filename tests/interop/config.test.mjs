// Configuration files written by our install and remove, read by real parsers: smol-toml for
// Codex TOML, JSON.parse (strict) for the JSON dialects. quorvelin-mcp-setup writes them (install
// and remove with --config) into a copy of every setup fixture in every dialect it fits, and into
// a missing file, from copies in odd directories, in a release build, a development build and the
// dev world, so the sidecar path and the entry name vary as they do for users.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import { copyFileSync, mkdirSync, readFileSync, readdirSync, existsSync, writeFileSync } from 'node:fs';
import { join, basename } from 'node:path';
import { parse as parseToml } from 'smol-toml';
import { sidecarPath, binDir, isolatedHome } from './support.mjs';

const fixtureDir = process.env.QUORVELIN_SETUP_FIXTURES;

const kWorlds = [
  { label: 'release build', dir: ['Apps', `Quorvelin "beta" 版 #1 [x] 'q' = \t`], dev: false, name: 'quorvelin' },
  { label: 'development build', dir: ['build', 'odd "dir" 中文'], dev: false, name: 'quorvelin-dev' },
  { label: 'dev world', dir: ['Apps', 'Quorvelin'], dev: true, name: 'quorvelin-dev' },
];

const kContainers = { mcpServers: 'mcpServers', zed: 'context_servers', opencode: 'mcp' };
// Dialect, a client of the setup command that writes it, the file suffix.
const kDialects = [['mcpServers', 'cursor', '.json'], ['zed', 'zed', '.json'], ['opencode', 'opencode', '.json'], ['codex', 'codex', '.toml']];

// The fixture's placeholders for this world, escaped for the inside of a string (JSON's escapes
// hold in a TOML basic string too).
function filled(text, world, command) {
  const other = world.name === 'quorvelin' ? 'quorvelin-dev' : 'quorvelin';
  return text.replaceAll('@NAME@', world.name).replaceAll('@OTHER@', other).replaceAll('@SIDECAR@', JSON.stringify(command).slice(1, -1));
}

// Every fixture (and a missing file) in every dialect it fits, installed into, and installed into
// then removed from, each on a copy of its own: one record per file written.
function writeAll(setup, env, out, world, command) {
  const run = (args) => JSON.parse(spawnSync(setup, [...args, '--json'], { env, encoding: 'utf8' }).stdout);
  const fixtures = readdirSync(fixtureDir).filter((name) => /\.(json|toml)$/.test(name));
  assert.ok(fixtures.length >= 5, `fixtures in ${fixtureDir}`);
  const records = [];
  for (const fixture of [null, ...fixtures]) {
    const content = fixture === null ? null : filled(readFileSync(join(fixtureDir, fixture), 'utf8'), world, command);
    for (const [format, client, suffix] of kDialects) {
      if (fixture !== null && !fixture.endsWith(suffix)) continue;
      const stem = join(out, `${fixture ?? 'new'}.${format}`);
      for (const operation of ['install', 'install+remove']) {
        const file = stem + (operation === 'install' ? '.installed' : '.removed') + suffix;
        const source = content === null ? null : stem + '.input' + suffix;
        if (content !== null) for (const copy of [source, file]) writeFileSync(copy, content);
        let result = run(['install', client, '--config', file]);
        if (operation !== 'install') result = run(['remove', client, '--config', file]);
        records.push({ source, file, format, operation, ok: result.ok, message: result.message });
      }
    }
  }
  return records;
}

function expectedEntry(format, command, devWorld) {
  switch (format) {
    case 'zed':
      return { command: { path: command, args: [] } };
    case 'opencode':
      return { type: 'local', command: [command], enabled: true };
    default:
      return devWorld ? { command, args: [], env: { QUORVELIN_DEV: '1' } } : { command, args: [] };
  }
}

// smol-toml builds inline tables without a prototype; plain objects compare like JSON's.
function parseFile(format, text) {
  return format === 'codex' ? JSON.parse(JSON.stringify(parseToml(text))) : JSON.parse(text);
}

// The document with this build's entry taken out, and the container with it once empty (install
// creates it, remove leaves it). For Codex only what our table writes goes: tables below it that
// are not ours (such as an array of tables) stay where they were.
function withoutEntry(format, document, name) {
  const copy = structuredClone(document);
  const key = format === 'codex' ? 'mcp_servers' : kContainers[format];
  const container = copy[key];
  if (typeof container !== 'object' || container === null || Array.isArray(container)) return copy;
  if (format === 'codex' && name in container) {
    for (const member of ['command', 'args', 'env', 'startup_timeout_ms']) delete container[name][member];
    if (Object.keys(container[name]).length === 0) delete container[name];
  } else {
    delete container[name];
  }
  if (Object.keys(container).length === 0) delete copy[key];
  return copy;
}

function entryOf(format, document, name) {
  if (format === 'codex') {
    // An array of tables below ours survives a remove; without "command" ours is gone.
    const table = document.mcp_servers?.[name];
    return table?.command === undefined ? undefined : { command: table.command, args: table.args, ...(table.env ? { env: table.env } : {}) };
  }
  return document[kContainers[format]]?.[name];
}

for (const world of kWorlds) {
  test(`files written in a ${world.label} parse, and hold exactly our entry`, async (t) => {
    const home = isolatedHome(t);
    const dir = join(home.root, ...world.dir);
    mkdirSync(dir, { recursive: true });
    const setup = join(dir, 'quorvelin-mcp-setup');
    const command = join(dir, 'quorvelin-mcp');
    copyFileSync(join(binDir, 'quorvelin-mcp-setup'), setup);
    copyFileSync(sidecarPath, command);
    execFileSync('chmod', ['+x', setup, command]);
    const out = join(home.root, 'out');
    mkdirSync(out);
    const env = { ...home.env, ...(world.dev ? { QUORVELIN_DEV: '1' } : {}) };
    const records = writeAll(setup, env, out, world, command);

    let checked = 0;
    for (const record of records) {
      const where = `${basename(record.file)} (${record.operation})`;
      const input = record.source === null ? null : readFileSync(record.source, 'utf8');
      const original = input === null || input.length === 0 ? {} : tryParse(record.format, input);
      if (!record.ok) {
        // Only input that a strict parser rejects too may fail, and then nothing changes.
        assert.equal(original, undefined, `${where} failed: ${record.message}`);
        assert.equal(readFileSync(record.file, 'utf8'), input, where);
        continue;
      }
      assert.notEqual(original, undefined, `${where}: we accepted what the parser rejects`);
      const text = existsSync(record.file) ? readFileSync(record.file, 'utf8') : '';
      let document;
      assert.doesNotThrow(() => (document = text === '' ? {} : parseFile(record.format, text)), where);
      const expected = record.operation === 'install' ? expectedEntry(record.format, command, world.dev) : undefined;
      assert.deepEqual(entryOf(record.format, document, world.name), expected, where);
      assert.deepEqual(
        withoutEntry(record.format, document, world.name),
        withoutStale(record.format, withoutEntry(record.format, original, world.name), world, record),
        `${where}: something outside our entry changed`,
      );
      checked += 1;
    }
    assert.ok(checked >= 20, `${checked} files checked`);
  });
}

function tryParse(format, text) {
  try {
    return parseFile(format, text);
  } catch {
    return undefined;
  }
}

// Install into a JSON dialect (also the one before a remove) drops the other world's entry when
// its command is gone.
function withoutStale(format, document, world, record) {
  if (format === 'codex') return document;
  const other = world.name === 'quorvelin' ? 'quorvelin-dev' : 'quorvelin';
  const container = document[kContainers[format]];
  if (!container || !(other in container)) return document;
  const entry = container[other];
  const command =
    format === 'zed' ? entry?.command?.path : format === 'opencode' ? entry?.command?.[0] : entry?.command;
  if (typeof command !== 'string' || command === '' || !existsSync(command)) {
    const copy = structuredClone(document);
    delete copy[kContainers[format]][other];
    return copy;
  }
  return document;
}
