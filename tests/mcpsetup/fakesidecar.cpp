// A stand-in for quorvelin-mcp that misbehaves on request, for the self-test's tests.
// QUORVELIN_FAKE_MODE picks the behaviour; QUORVELIN_FAKE_PIDFILE receives the pid and
// QUORVELIN_FAKE_RECORD every line read, so a test can check what was sent and that we are gone.
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include <unistd.h>

namespace {

const std::string kInitialize =
    R"({"id":1,"jsonrpc":"2.0","result":{"protocolVersion":"2024-11-05",)"
    R"("serverInfo":{"build":"fake","name":"fake-sidecar","version":"0"}}})";
const std::string kTools = R"({"id":2,"jsonrpc":"2.0","result":{"tools":[{"name":"one"},)"
                           R"({"name":"two"},{"name":"three"}]}})";
const std::string kToolsError =
    R"({"error":{"code":-32601,"message":"Method not found: tools/list"},"id":2,"jsonrpc":"2.0"})";

void put(const std::string &bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(1, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            std::exit(3);
        done += std::size_t(n);
    }
}

void pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::string env(const char *name) {
    const char *value = std::getenv(name);
    return value ? value : "";
}

// Reads one request line; false at the end of input.
bool readRequest() {
    std::string line;
    if (!std::getline(std::cin, line))
        return false;
    const std::string record = env("QUORVELIN_FAKE_RECORD");
    if (!record.empty())
        std::ofstream(record, std::ios::app) << line << '\n';
    return true;
}

void drainInput() {
    while (readRequest()) {
    }
}

// Deaf to the end of its input: only a kill ends it.
[[noreturn]] void hang() {
    for (;;)
        pause(1000);
}

// Each mode starts after the first request line has been read.
void answerBoth() {
    put(kInitialize + "\n");
    readRequest();
    put(kTools + "\n");
    drainInput();
}

void exitAfterInitialize() {
    put(kInitialize + "\n");
    readRequest();
}

void initializeOnly() {
    put(kInitialize + "\n");
    drainInput();
}

void toolsError() {
    put(kInitialize + "\n");
    readRequest();
    put(kToolsError + "\n");
    drainInput();
}

void silent() {
    drainInput();
    hang();
}

// Every answer arrives in pieces, its line feed in a piece of its own.
void split() {
    for (const std::string &answer : {kInitialize, kTools}) {
        for (std::size_t at = 0; at < answer.size(); at += 16) {
            put(answer.substr(at, 16));
            pause(10);
        }
        put("\n");
        pause(10);
    }
    drainInput();
}

// Both answers in one write, tools/list first.
void together() {
    readRequest();
    put(kTools + "\n" + kInitialize + "\n");
    drainInput();
}

void crlf() {
    put(kInitialize + "\r\n" + kTools + "\r\n");
    drainInput();
}

// Lines a client must skip, then the real answers with a blank line between them.
void noise() {
    put("\n   \t\nnot json at all\n[1,2]\n{\"broken\":\n");
    put(R"({"jsonrpc":"2.0","method":"notifications/message","params":{}})"
        "\n");
    put(R"({"id":"1","jsonrpc":"2.0","result":{"serverInfo":{"name":"wrong"}}})"
        "\n");
    put(R"({"id":99,"jsonrpc":"2.0","result":{"tools":[]}})"
        "\n");
    put(kInitialize + "\n\n" + kTools + "\n");
    drainInput();
}

struct Mode {
    const char *name;
    void (*run)();
};

const Mode kModes[] = {
    {"answer", answerBoth},
    {"exit-after-initialize", exitAfterInitialize},
    {"initialize-only", initializeOnly},
    {"tools-error", toolsError},
    {"silent", silent},
    {"split", split},
    {"together", together},
    {"crlf", crlf},
    {"noise", noise},
};

} // namespace

int main() {
    const std::string pidFile = env("QUORVELIN_FAKE_PIDFILE");
    if (!pidFile.empty())
        std::ofstream(pidFile) << ::getpid() << '\n';
    const std::string mode = env("QUORVELIN_FAKE_MODE");
    // "exit" leaves before reading anything.
    if (mode == "exit")
        return 0;
    for (const Mode &candidate : kModes) {
        if (mode == candidate.name) {
            if (readRequest())
                candidate.run();
            return 0;
        }
    }
    std::cerr << "fake sidecar: unknown QUORVELIN_FAKE_MODE \"" << mode << "\"\n";
    return 2;
}
