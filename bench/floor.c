/* The floor of the benchmarks: a stdio server that answers every line with a fixed line and
 * parses no JSON, as fast as a server can be made that still answers each line.
 *
 * Standard input is read in 64 KiB blocks straight into one buffer and split with memchr; no stdio.
 * By default every answer is its own write(), as an MCP server must do (an answer may not wait for
 * the next request); with --batch the answers to all complete lines of one read go out in one
 * write(), which no real server may do, and which shows what the system calls cost.
 *
 * A line naming tools/call makes one bridge exchange with nothing but socket, connect, write,
 * read (until the reply's line feed) and close, reading into the answer buffer itself, and then
 * writes the reply wrapped in its answer; so its tool call costs what the socket round trip
 * costs and nothing more. */
#define _GNU_SOURCE /* memmem */
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

static const char kAnswer[] = "{\"id\":0,\"jsonrpc\":\"2.0\",\"result\":{}}\n";
static const char kRequest[] = "{\"arguments\":{\"text\":\"hello\"},\"name\":\"bench_echo\"}\n";
static const char kPrefix[] = "{\"id\":0,\"jsonrpc\":\"2.0\",\"result\":";

enum { kBlock = 65536 };

static int writeAll(int fd, const char *data, size_t size) {
    while (size > 0) {
        const ssize_t done = write(fd, data, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return -1;
        data += done;
        size -= (size_t)done;
    }
    return 0;
}

/* Writes the answer to a tool call: the reply line wrapped as a result, or an empty result. */
static void toolCall(const struct sockaddr_un *address) {
    static char answer[kBlock + sizeof kPrefix + 3];
    size_t length = sizeof kPrefix - 1;
    memcpy(answer, kPrefix, length);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd >= 0 && connect(fd, (const struct sockaddr *)address, sizeof *address) == 0 &&
        writeAll(fd, kRequest, sizeof kRequest - 1) == 0) {
        for (;;) {
            const ssize_t got = read(fd, answer + length, sizeof answer - 3 - length);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            const char *end = memchr(answer + length, '\n', (size_t)got);
            length += (size_t)got;
            if (end) {
                length = (size_t)(end - answer);
                break;
            }
        }
    }
    if (fd >= 0)
        close(fd);
    if (length == sizeof kPrefix - 1)
        answer[length++] = '{', answer[length++] = '}';
    answer[length++] = '}';
    answer[length++] = '\n';
    writeAll(STDOUT_FILENO, answer, length);
}

int main(int argc, char **argv) {
    const int batch = argc == 2 && strcmp(argv[1], "--batch") == 0;
    if (argc > 2 || (argc == 2 && !batch)) {
        fprintf(stderr, "usage: %s [--batch]\n", argv[0]);
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    struct sockaddr_un address;
    memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    const char *tmp = getenv("TMPDIR");
    snprintf(address.sun_path, sizeof address.sun_path, "%s/Quorvelin.McpBridge.v1",
             tmp && *tmp ? tmp : "/tmp");

    /* A line longer than a block grows the buffer; the batch of answers never outgrows one
     * answer per byte read. */
    size_t capacity = 2 * kBlock, used = 0;
    char *in = malloc(capacity);
    char *out = batch ? malloc(kBlock * (sizeof kAnswer - 1)) : NULL;
    if (!in || (batch && !out))
        return 1;
    for (;;) {
        if (capacity - used < kBlock) {
            char *grown = realloc(in, capacity *= 2);
            if (!grown)
                return 1;
            in = grown;
        }
        const ssize_t got = read(STDIN_FILENO, in + used, kBlock);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        size_t start = 0, pending = 0;
        const char *end;
        used += (size_t)got;
        while ((end = memchr(in + start, '\n', used - start))) {
            const size_t length = (size_t)(end - in) - start;
            if (memmem(in + start, length, "\"tools/call\"", 12)) {
                writeAll(STDOUT_FILENO, out, pending);
                pending = 0;
                toolCall(&address);
            } else if (batch) {
                memcpy(out + pending, kAnswer, sizeof kAnswer - 1);
                pending += sizeof kAnswer - 1;
            } else {
                writeAll(STDOUT_FILENO, kAnswer, sizeof kAnswer - 1);
            }
            start += length + 1;
        }
        writeAll(STDOUT_FILENO, out, pending);
        memmove(in, in + start, used - start);
        used -= start;
    }
    free(in);
    free(out);
    return 0;
}
