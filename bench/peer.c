/* The bridge peer of the benchmarks: listens on a local socket and answers each connection's
 * request line with one fixed tool result line, the least a GUI program could do. Given a size,
 * the result is a screenshot: one image item whose "data" is that many bytes of base64, its
 * members in the order a GUI program writes them, not sorted. It prints "ready" once it listens
 * and serves until it is terminated. */
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

static const char kSmallReply[] = "{\"content\":[{\"text\":\"bench-ok\",\"type\":\"text\"}]}\n";
static const char kImageHead[] = "{\"content\":[{\"type\":\"image\",\"data\":\"";
static const char kImageTail[] = "\",\"mimeType\":\"image/png\"}]}\n";

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

/* The image reply: head, `bytes` of base64 text (a fixed pseudo-random sequence, so no layer
 * can compress or special-case it), tail. */
static char *imageReply(size_t bytes, size_t *size) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const size_t head = sizeof kImageHead - 1, tail = sizeof kImageTail - 1;
    char *reply = malloc(head + bytes + tail);
    if (!reply)
        return NULL;
    memcpy(reply, kImageHead, head);
    unsigned state = 12345;
    for (size_t i = 0; i < bytes; ++i) {
        state = state * 1103515245u + 12345u;
        reply[head + i] = kAlphabet[(state >> 16) & 63];
    }
    memcpy(reply + head + bytes, kImageTail, tail);
    *size = head + bytes + tail;
    return reply;
}

/* Reads until the request's "\n" (or the client gives up), then answers. */
static void serveConnection(int fd, const char *reply, size_t size) {
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return;
        if (memchr(buffer, '\n', (size_t)got))
            break;
    }
    writeAll(fd, reply, size);
}

int main(int argc, char **argv) {
    if (argc != 2 && argc != 3) {
        fprintf(stderr, "usage: %s SOCKET-PATH [IMAGE-BYTES]\n", argv[0]);
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    const char *reply = kSmallReply;
    size_t size = sizeof kSmallReply - 1;
    if (argc == 3 && !(reply = imageReply(strtoul(argv[2], NULL, 10), &size))) {
        fprintf(stderr, "bridge peer: no memory for the reply\n");
        return 1;
    }
    struct sockaddr_un address;
    memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (strlen(argv[1]) >= sizeof address.sun_path) {
        fprintf(stderr, "socket path too long: %s\n", argv[1]);
        return 2;
    }
    strcpy(address.sun_path, argv[1]);
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    unlink(argv[1]);
    if (listener < 0 || bind(listener, (struct sockaddr *)&address, sizeof address) < 0 ||
        listen(listener, 64) < 0) {
        perror("bridge peer: listen");
        return 1;
    }
    printf("ready\n");
    fflush(stdout);
    for (;;) {
        const int fd = accept(listener, NULL, NULL);
        if (fd < 0) {
            if (errno == EINTR)
                continue;
            perror("bridge peer: accept");
            return 1;
        }
        serveConnection(fd, reply, size);
        close(fd);
    }
}
