/* The floor of the benchmarks: a stdio server that answers every line with a fixed line and
 * parses no JSON. A line naming tools/call first makes one bridge exchange (connect, one
 * request line, one reply line, close) and wraps the reply bytes in its answer, so its tool
 * call costs what the socket round trip costs and nothing more. */
#define _GNU_SOURCE /* memmem, getline */
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
    char answer[70000];
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
            char *end = memchr(answer + length, '\n', (size_t)got);
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

int main(void) {
    signal(SIGPIPE, SIG_IGN);
    struct sockaddr_un address;
    memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    const char *tmp = getenv("TMPDIR");
    snprintf(address.sun_path, sizeof address.sun_path, "%s/Quorvelin.McpBridge.v1",
             tmp && *tmp ? tmp : "/tmp");

    char *line = NULL;
    size_t capacity = 0;
    ssize_t length;
    while ((length = getline(&line, &capacity, stdin)) >= 0) {
        if (memmem(line, (size_t)length, "\"tools/call\"", 12))
            toolCall(&address);
        else
            writeAll(STDOUT_FILENO, kAnswer, sizeof kAnswer - 1);
    }
    free(line);
    return 0;
}
