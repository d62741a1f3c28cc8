// Stands in for quorvelin-mcp in the self-test, failing as QUORVELIN_FAKE says: "exit" answers
// initialize and ends; "silent" answers nothing and ignores the end of its input. It leaves its
// pid in $TMPDIR/fake.pid, so that a test can see it gone.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

int main() {
    const char *tmp = std::getenv("TMPDIR");
    if (FILE *pid = std::fopen((std::string(tmp ? tmp : "/tmp") + "/fake.pid").c_str(), "w")) {
        std::fprintf(pid, "%d", int(getpid()));
        std::fclose(pid);
    }
    const char *mode = std::getenv("QUORVELIN_FAKE");
    while (mode && std::string(mode) == "silent")
        pause();
    char line[4096];
    if (std::fgets(line, sizeof line, stdin))
        std::puts(R"({"id":1,"jsonrpc":"2.0","result":{"protocolVersion":"2024-11-05",)"
                  R"("serverInfo":{"build":"fake","name":"fake"}}})");
    return 0;
}
