// The comparison server: what a user would write on the official SDK. One tool, forwarded to
// the same bridge peer over the same kind of local socket, one connection per call.
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { McpServer } from '@modelcontextprotocol/sdk/server/mcp.js';
import { StdioServerTransport } from '@modelcontextprotocol/sdk/server/stdio.js';
import { z } from 'zod';

const socketPath = path.join(os.tmpdir(), 'Quorvelin.McpBridge.v1');

function forward(name, args) {
    return new Promise((resolve) => {
        const socket = net.createConnection(socketPath);
        let buffer = '';
        let done = false;
        const finish = (result) => {
            if (done) return;
            done = true;
            socket.destroy();
            resolve(result);
        };
        const failure = (text) => ({ content: [{ type: 'text', text }], isError: true });
        socket.setEncoding('utf8');
        socket.setTimeout(30000, () => finish(failure('[timeout]')));
        socket.on('connect', () => socket.write(JSON.stringify({ arguments: args, name }) + '\n'));
        socket.on('data', (chunk) => {
            buffer += chunk;
            const end = buffer.indexOf('\n');
            if (end < 0) return;
            try {
                finish(JSON.parse(buffer.slice(0, end)));
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
