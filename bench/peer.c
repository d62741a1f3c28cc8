/* The bridge peer of the benchmarks: listens on a local socket and answers each connection's
 * request line with one fixed tool result line, the least a GUI program could do. It prints
 * "ready" once it listens and serves until it is terminated. */
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

static const char kReply[] = "{\"content\":[{\"text\":\"bench-ok\",\"type\":\"text\"}]}\n";

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

/* Reads until the request's "\n" (or the client gives up), then answers. */
static void serveConnection(int fd) {
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
    writeAll(fd, kReply, sizeof kReply - 1);
}

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s SOCKET-PATH\n", argv[0]);
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
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
        serveConnection(fd);
        close(fd);
    }
}
