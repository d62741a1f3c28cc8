// The comparison server, written as the SDK's documentation shows it: McpServer, one tool
// registered with a zod schema, StdioServerTransport; nothing added on the message path. The tool
// is forwarded to the same bridge peer over the same kind of local socket, one connection per call.
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { McpServer } from '@modelcontextprotocol/sdk/server/mcp.js';
import { StdioServerTransport } from '@modelcontextprotocol/sdk/server/stdio.js';
import { z } from 'zod';

const socketPath = path.join(os.tmpdir(), 'Quorvelin.McpBridge.v1');

// Chunks are kept as they come and only the newest is searched for the line feed, so a reply of
// many megabytes costs one pass and one copy, as any careful client would write it.
function forward(name, args) {
    return new Promise((resolve) => {
        const socket = net.createConnection(socketPath);
        const chunks = [];
        let done = false;
        const finish = (result) => {
            if (done) return;
            done = true;
            socket.destroy();
            resolve(result);
        };
        const failure = (text) => ({ content: [{ type: 'text', text }], isError: true });
        socket.setTimeout(30000, () => finish(failure('[timeout]')));
        socket.on('connect', () => socket.write(JSON.stringify({ arguments: args, name }) + '\n'));
        socket.on('data', (chunk) => {
            const end = chunk.indexOf(10);
            if (end < 0) {
                chunks.push(chunk);
                return;
            }
            chunks.push(chunk.subarray(0, end));
            try {
                finish(JSON.parse(Buffer.concat(chunks).toString('utf8')));
            } catch {
                finish({});
            }
        });
        socket.on('error', () => finish(failure('[need_gui]')));
        socket.on('close', () => finish(failure('[timeout]')));
    });
}

const server = new McpServer({ name: 'bench-sdk-server', version: '1.0.0' });
server.registerTool(
    'bench_echo',
    { description: 'Echoes its text through the GUI bridge.', inputSchema: { text: z.string() } },
    async (args) => forward('bench_echo', args),
);
await server.connect(new StdioServerTransport());
