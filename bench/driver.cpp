// The benchmark client: starts stdio MCP servers the way an AI client does, measures them side by
// side in one run and writes the figures, with the ratios against the targets, as Markdown.
//
// Each server runs with its own HOME, XDG_DATA_HOME, XDG_CONFIG_HOME and TMPDIR, so its bridge
// socket, catalogue and logs are private; the bridge peer listens in that TMPDIR.
#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QSysInfo>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kReadTimeoutMs = 30000;
constexpr int kExitTimeoutMs = 10000;
constexpr const char *kMarker = "bench-ok";

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// ---------------------------------------------------------------------------------------------
// Sandbox: a private home for one server process.

const char kCatalogue[] =
    R"({"tools":[{"description":"Echoes its text through the GUI bridge.",)"
    R"("inputSchema":{"properties":{"text":{"type":"string"}},"required":["text"],)"
    R"("type":"object"},"name":"bench_echo"}]})";

class Sandbox {
public:
    Sandbox() {
        char pattern[] = "/tmp/qbench-XXXXXX";
        if (!mkdtemp(pattern))
            return;
        root_ = pattern;
        const QString root = QString::fromStdString(root_);
        for (const char *sub : {"home", "data/Brenlow/Quorvelin", "config", "tmp"})
            QDir().mkpath(root + QLatin1Char('/') + QLatin1String(sub));
        QFile catalogue(root + QStringLiteral("/data/Brenlow/Quorvelin/mcp-tools.json"));
        if (catalogue.open(QIODevice::WriteOnly))
            catalogue.write(kCatalogue);
    }
    ~Sandbox() {
        if (!root_.empty())
            QDir(QString::fromStdString(root_)).removeRecursively();
    }
    Sandbox(const Sandbox &) = delete;
    Sandbox &operator=(const Sandbox &) = delete;

    bool isValid() const { return !root_.empty(); }
    std::string path(const char *sub) const { return root_ + '/' + sub; }
    std::string socketPath() const { return path("tmp/Quorvelin.McpBridge.v1"); }

    std::vector<std::string> environment() const {
        static const char *const kDropped[] = {"HOME=", "TMPDIR=", "XDG_",
                                               "QUORVELIN_DEV=", "QUORVELIN_MCP_YIELD_RETRY="};
        std::vector<std::string> env;
        for (char **entry = environ; *entry; ++entry) {
            const bool dropped =
                std::any_of(std::begin(kDropped), std::end(kDropped), [&](const char *prefix) {
                    return std::strncmp(*entry, prefix, std::strlen(prefix)) == 0;
                });
            if (!dropped)
                env.emplace_back(*entry);
        }
        env.push_back("HOME=" + path("home"));
        env.push_back("XDG_DATA_HOME=" + path("data"));
        env.push_back("XDG_CONFIG_HOME=" + path("config"));
        env.push_back("TMPDIR=" + path("tmp"));
        return env;
    }

private:
    std::string root_;
};

// ---------------------------------------------------------------------------------------------
// Child processes over pipes.

// What a child wrote and the driver has not consumed yet. Reads land in place (no bounce buffer)
// and every byte is searched for the line feed once, so reading an answer costs time linear in
// its length however many reads it takes: a harness that searched the whole buffer after each
// read would measure itself on a 40 MiB answer.
class InBuffer {
public:
    InBuffer() = default;
    InBuffer(InBuffer &&other) noexcept { *this = std::move(other); }
    InBuffer &operator=(InBuffer &&other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
        std::swap(start_, other.start_);
        std::swap(searched_, other.searched_);
        return *this;
    }
    ~InBuffer() { std::free(data_); }

    // Room for `bytes` more at free(); consumed bytes are dropped first when that is cheap.
    char *reserve(size_t bytes) {
        if (start_ > 0 && (start_ == size_ || start_ > size_ / 2)) {
            std::memmove(data_, data_ + start_, size_ - start_);
            size_ -= start_;
            searched_ -= start_;
            start_ = 0;
        }
        if (capacity_ - size_ < bytes) {
            const size_t capacity = std::max(capacity_ * 2, size_ + bytes);
            char *grown = static_cast<char *>(std::realloc(data_, capacity));
            if (!grown)
                std::abort();
            data_ = grown;
            capacity_ = capacity;
        }
        return data_ + size_;
    }
    void grew(size_t bytes) { size_ += bytes; }

    // The next complete line without its line feed, consumed; nullopt while none is complete.
    // The view is valid until the next reserve().
    std::optional<std::string_view> takeLine() {
        const void *end = std::memchr(data_ + searched_, '\n', size_ - searched_);
        if (!end) {
            searched_ = size_;
            return std::nullopt;
        }
        const size_t at = size_t(static_cast<const char *>(end) - data_);
        const std::string_view line(data_ + start_, at - start_);
        start_ = searched_ = at + 1;
        return line;
    }

private:
    char *data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
    size_t start_ = 0;    // first unconsumed byte
    size_t searched_ = 0; // bytes before this hold no line feed after start_
};

struct Child {
    pid_t pid = -1;
    int in = -1;  // the child's standard input
    int out = -1; // the child's standard output
    InBuffer buffer;
};

std::vector<char *> cStrings(std::vector<std::string> &strings) {
    std::vector<char *> pointers;
    for (std::string &s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Starts `argv` with pipes on its standard input and output and its standard error in a file.
std::optional<Child> spawn(std::vector<std::string> argv, const Sandbox &sandbox,
                           const std::string &errFile) {
    int inPipe[2];
    int outPipe[2];
    if (pipe2(inPipe, O_CLOEXEC) != 0)
        return std::nullopt;
    if (pipe2(outPipe, O_CLOEXEC) != 0) {
        close(inPipe[0]);
        close(inPipe[1]);
        return std::nullopt;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inPipe[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> env = sandbox.environment();
    std::vector<char *> args = cStrings(argv);
    std::vector<char *> envp = cStrings(env);
    Child child;
    const int status =
        posix_spawnp(&child.pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(inPipe[0]);
    close(outPipe[1]);
    if (status != 0) {
        std::fprintf(stderr, "cannot start %s: %s\n", args[0], std::strerror(status));
        close(inPipe[1]);
        close(outPipe[0]);
        return std::nullopt;
    }
    child.in = inPipe[1];
    child.out = outPipe[0];
    fcntl(child.out, F_SETFL, fcntl(child.out, F_GETFL) | O_NONBLOCK);
    return child;
}

bool writeAll(int fd, const char *data, size_t size) {
    while (size > 0) {
        const ssize_t done = write(fd, data, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        size -= size_t(done);
    }
    return true;
}

bool writeAll(int fd, const std::string &text) {
    return writeAll(fd, text.data(), text.size());
}

// Reads more of the child's output; false on end of output, error or time-out. The read comes
// first and poll only when nothing is waiting, so a busy server costs one system call per chunk.
bool fill(Child &child, int timeoutMs) {
    constexpr size_t kChunk = 1 << 16;
    for (;;) {
        const ssize_t got = read(child.out, child.buffer.reserve(kChunk), kChunk);
        if (got > 0) {
            child.buffer.grew(size_t(got));
            return true;
        }
        if (got == 0 || (errno != EINTR && errno != EAGAIN))
            return false;
        if (errno == EAGAIN) {
            pollfd pfd{child.out, POLLIN, 0};
            const int ready = poll(&pfd, 1, timeoutMs);
            if (ready == 0 || (ready < 0 && errno != EINTR))
                return false;
        }
    }
}

// The next line; the view is valid until the next read from the child.
std::optional<std::string_view> readLineView(Child &child, int timeoutMs = kReadTimeoutMs) {
    for (;;) {
        if (const std::optional<std::string_view> line = child.buffer.takeLine())
            return line;
        if (!fill(child, timeoutMs))
            return std::nullopt;
    }
}

std::optional<std::string> readLine(Child &child, int timeoutMs = kReadTimeoutMs) {
    const std::optional<std::string_view> line = readLineView(child, timeoutMs);
    return line ? std::optional<std::string>(std::string(*line)) : std::nullopt;
}

// Counts answer lines until `count` have arrived, without keeping them.
bool skipLines(Child &child, long count) {
    for (; count > 0; --count) {
        if (!readLineView(child))
            return false;
    }
    return true;
}

// The high-water mark of the process's resident set. Taken from /proc rather than from
// wait4's rusage, which also counts the spawning process's memory from before the exec.
double peakRssMiB(pid_t pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return NAN;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return NAN;
}

struct Exit {
    bool exited = false;
    double afterCloseMs = 0; // from closing standard input to the end of standard output
    double peakRssMiB = NAN; // just before standard input was closed
};

// Closes the child's standard input and waits for it to end; kills it after kExitTimeoutMs.
Exit closeAndWait(Child &child) {
    Exit result;
    result.peakRssMiB = peakRssMiB(child.pid);
    const Clock::time_point closed = Clock::now();
    close(child.in);
    child.in = -1;
    while (fill(child, kExitTimeoutMs)) {
    }
    char probe;
    const bool ended = read(child.out, &probe, 1) == 0; // end of output, not a time-out
    result.afterCloseMs = msBetween(closed, Clock::now());
    if (!ended)
        kill(child.pid, SIGKILL);
    int status = 0;
    waitpid(child.pid, &status, 0);
    close(child.out);
    child.out = -1;
    result.exited = ended && WIFEXITED(status);
    return result;
}

// ---------------------------------------------------------------------------------------------
// Statistics.

double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const size_t rank = size_t(std::ceil(p * double(values.size())));
    return values[std::min(values.size() - 1, rank == 0 ? 0 : rank - 1)];
}

// ---------------------------------------------------------------------------------------------
// The measurements.

std::string request(long id, const char *method, const char *params = nullptr) {
    std::string line =
        "{\"jsonrpc\":\"2.0\",\"id\":" + std::to_string(id) + ",\"method\":\"" + method + '"';
    if (params)
        line += std::string(",\"params\":") + params;
    return line + "}\n";
}

const char kInitializeParams[] = R"({"protocolVersion":"2024-11-05","capabilities":{},)"
                                 R"("clientInfo":{"name":"quorvelin-bench","version":"1.0.0"}})";
const char kToolCallParams[] = R"({"name":"bench_echo","arguments":{"text":"hello"}})";

struct Server {
    std::string label;
    std::vector<std::string> argv;
};

struct Figures {
    std::vector<double> coldMs;
    std::vector<double> exitMs;
    std::vector<double> startRssMiB;
    std::vector<double> pingUs;
    double pipelinedPerSecond = NAN;
    std::vector<double> toolUs;
    double peakRssMiB = NAN;
    std::string problem; // why a figure is missing
};

void note(Figures &figures, const std::string &what) {
    if (figures.problem.empty())
        figures.problem = what;
    std::fprintf(stderr, "  ! %s\n", what.c_str());
}

// One fresh process: initialize and tools/list written together, both answers awaited.
void coldStart(const Server &server, Figures &figures) {
    Sandbox sandbox;
    if (!sandbox.isValid())
        return note(figures, "no sandbox");
    const std::string lines =
        request(1, "initialize", kInitializeParams) + request(2, "tools/list");
    const Clock::time_point begin = Clock::now();
    std::optional<Child> child = spawn(server.argv, sandbox, sandbox.path("stderr.log"));
    if (!child)
        return note(figures, "cannot start");
    writeAll(child->in, lines);
    const std::optional<std::string> initialize = readLine(*child);
    const std::optional<std::string> tools = initialize ? readLine(*child) : std::nullopt;
    const Clock::time_point end = Clock::now();
    const Exit exit = closeAndWait(*child);
    if (!tools)
        return note(figures, "no answer to initialize and tools/list");
    figures.coldMs.push_back(msBetween(begin, end));
    figures.startRssMiB.push_back(exit.peakRssMiB);
    if (exit.exited)
        figures.exitMs.push_back(exit.afterCloseMs);
    else
        note(figures, "did not exit after its standard input closed");
}

struct Peer {
    pid_t pid = -1;
    ~Peer() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
};

struct SessionSizes {
    int pings = 5000;
    long pipelined = 100000;
    int toolCalls = 2000;
};

// One long-lived server with its own bridge peer. The sessions of all servers run side by side
// and take turns in short blocks of round trips (see inBlocks), so a burst of load on the shared
// machine hits every server alike; only the pipelined phase runs one server at a time.
struct Session {
    Sandbox sandbox;
    Peer peer;
    std::optional<Child> child;
    Figures *figures = nullptr;
    long id = 1;
    bool ok = false;
    bool toolsOk = false;
};

// `peerArguments` follow the socket path on the bridge peer's command line.
bool startSession(Session &session, const Server &server, const std::string &peerProgram,
                  const std::vector<std::string> &peerArguments = {}) {
    Figures &figures = *session.figures;
    if (!session.sandbox.isValid())
        return note(figures, "no sandbox"), false;
    std::vector<std::string> peerArgv = {peerProgram, session.sandbox.socketPath()};
    peerArgv.insert(peerArgv.end(), peerArguments.begin(), peerArguments.end());
    std::optional<Child> peerChild =
        spawn(peerArgv, session.sandbox, session.sandbox.path("peer.log"));
    if (!peerChild)
        return note(figures, "cannot start the bridge peer"), false;
    session.peer.pid = peerChild->pid;
    close(peerChild->in);
    const std::optional<std::string> ready = readLine(*peerChild);
    close(peerChild->out);
    if (ready != "ready")
        return note(figures, "the bridge peer did not come up"), false;
    session.child = spawn(server.argv, session.sandbox, session.sandbox.path("stderr.log"));
    if (!session.child)
        return note(figures, "cannot start"), false;
    writeAll(session.child->in, request(session.id++, "initialize", kInitializeParams));
    if (!readLine(*session.child))
        return note(figures, "no answer to initialize"), false;
    return true;
}

// One request, its answer awaited; the round trip in microseconds, or NaN without an answer.
// The answer's view is valid until the next read from the session's server.
double roundTrip(Session &session, const char *method, const char *params,
                 std::string_view *answer = nullptr) {
    const std::string line = request(session.id++, method, params);
    const Clock::time_point begin = Clock::now();
    writeAll(session.child->in, line);
    const std::optional<std::string_view> reply = readLineView(*session.child);
    const double us = std::chrono::duration<double, std::micro>(Clock::now() - begin).count();
    if (!reply)
        return NAN;
    if (answer)
        *answer = *reply;
    return us;
}

// CPU time used so far by every thread of `pid`, in nanoseconds, from the scheduler's own
// account; /proc/PID/stat counts in 10 ms ticks, too coarse to see a 1 ms burst. Nullopt when the
// process is gone or the kernel keeps no such account.
std::optional<long long> cpuNs(pid_t pid) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR *dir = opendir(tasks.c_str());
    if (!dir)
        return std::nullopt;
    std::optional<long long> total;
    while (const dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        FILE *file = std::fopen((tasks + '/' + entry->d_name + "/schedstat").c_str(), "r");
        if (!file)
            continue; // the thread ended meanwhile
        long long ns = 0;
        if (std::fscanf(file, "%lld", &ns) == 1)
            total = total.value_or(0) + ns;
        std::fclose(file);
    }
    closedir(dir);
    return total;
}

std::optional<long long> cpuNs(const std::vector<pid_t> &pids) {
    std::optional<long long> total;
    for (pid_t pid : pids) {
        if (const std::optional<long long> ns = cpuNs(pid))
            total = total.value_or(0) + *ns;
    }
    return total;
}

// Measured on the 2-core machine: after a block of round trips the node server's garbage
// collector and helper threads went on for up to 40 ms, in bursts with gaps of up to 15 ms, while
// the C processes fell silent at once. A quiet spell of 20 ms caught every burst in 86 traced
// blocks. After the pause the first round trips of every server are slow (the first up to 5x,
// the next few up to 2x, for the sleeping processes and caches to wake up), so each block begins
// with uncounted ones. Blocks of 50 keep a round of all servers to about 150 ms, so a burst of
// outside load still reaches each of them, and cost about 20 ms of waiting per block.
constexpr int kBlock = 50;
constexpr int kBlockWarmUp = 10;
constexpr int kQuietMs = 20;
constexpr long long kIdleNsPerPoll = 50000; // per 1 ms poll
constexpr int kSettleLimitMs = 1000;

// Waits until the processes `pids` have used (next to) no CPU for kQuietMs; false when they were
// still busy after kSettleLimitMs. Without the scheduler's account it just pauses kQuietMs.
bool settle(const std::vector<pid_t> &pids) {
    const Clock::time_point begin = Clock::now();
    Clock::time_point quietSince = begin;
    std::optional<long long> last = cpuNs(pids);
    if (!last) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kQuietMs));
        return true;
    }
    while (msBetween(begin, Clock::now()) < kSettleLimitMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const std::optional<long long> now = cpuNs(pids);
        if (!now)
            return true; // all of them have ended
        if (*now - *last >= kIdleNsPerPoll || *now < *last)
            quietSince = Clock::now();
        else if (msBetween(quietSince, Clock::now()) >= kQuietMs)
            return true;
        last = now;
    }
    return false;
}

// The server and bridge peer processes of every session.
std::vector<pid_t> processes(const std::vector<std::unique_ptr<Session>> &sessions) {
    std::vector<pid_t> pids;
    for (const auto &session : sessions) {
        if (session->child)
            pids.push_back(session->child->pid);
        if (session->peer.pid > 0)
            pids.push_back(session->peer.pid);
    }
    return pids;
}

int busyAfterSettling = 0; // settles that gave up, told on standard error at the end

void settleAll(const std::vector<std::unique_ptr<Session>> &sessions) {
    if (!settle(processes(sessions)))
        ++busyAfterSettling;
}

constexpr int kPipelinedRuns = 3;

// `count` round trips for every session still in the run, in blocks of kBlock: one session's
// block, then the next session's, the order turning each round, with the machine settled before
// each block, so no server is measured while another one's after-work still runs.
void inBlocks(std::vector<std::unique_ptr<Session>> &sessions, bool Session::*inRun,
              const char *method, const char *params, int count,
              std::vector<double> Figures::*samples) {
    const size_t n = sessions.size();
    for (int done = 0, round = 0; done < count; done += kBlock, ++round) {
        const int size = std::min(kBlock, count - done);
        for (size_t k = 0; k < n; ++k) {
            Session &session = *sessions[(size_t(round) + k) % n];
            if (!(session.*inRun))
                continue;
            settleAll(sessions);
            for (int i = -kBlockWarmUp; i < size && session.*inRun; ++i) {
                const double us = roundTrip(session, method, params);
                if (std::isnan(us)) {
                    note(*session.figures, std::string(method) + " went unanswered");
                    session.*inRun = false;
                    session.ok = false;
                } else if (samples && i >= 0) {
                    (session.figures->*samples).push_back(us);
                }
            }
        }
    }
}

// Messages per second: `count` pings written in one go by a thread while the answers are read.
double pipelined(Session &session, long count) {
    std::string batch;
    for (long i = 0; i < count; ++i)
        batch += request(session.id++, "ping");
    const Clock::time_point begin = Clock::now();
    std::thread writer([&] { writeAll(session.child->in, batch); });
    session.ok = skipLines(*session.child, count);
    const double seconds = msBetween(begin, Clock::now()) / 1000.0;
    writer.join();
    if (session.ok)
        return double(count) / seconds;
    note(*session.figures, "pipelined pings went unanswered");
    return NAN;
}

void sessions(const std::vector<Server> &servers, const std::string &peerProgram,
              const SessionSizes &sizes, std::vector<Figures> &figures) {
    std::vector<std::unique_ptr<Session>> live;
    for (size_t i = 0; i < servers.size(); ++i) {
        live.push_back(std::make_unique<Session>());
        live.back()->figures = &figures[i];
        live.back()->ok = startSession(*live.back(), servers[i], peerProgram);
    }
    std::fprintf(stderr, "sequential pings\n");
    inBlocks(live, &Session::ok, "ping", nullptr, 200, nullptr);
    inBlocks(live, &Session::ok, "ping", nullptr, sizes.pings, &Figures::pingUs);
    // Runs of the servers take turns too; each server's median stands.
    std::vector<std::vector<double>> rates(live.size());
    for (int run = 0; run < kPipelinedRuns; ++run) {
        for (size_t i = 0; i < live.size(); ++i) {
            std::fprintf(stderr, "pipelined pings: %s, run %d\n", servers[i].label.c_str(),
                         run + 1);
            if (!live[i]->ok)
                continue;
            settleAll(live);
            const double rate = pipelined(*live[i], sizes.pipelined);
            if (!std::isnan(rate))
                rates[i].push_back(rate);
        }
    }
    for (size_t i = 0; i < live.size(); ++i)
        figures[i].pipelinedPerSecond = percentile(rates[i], .5);
    std::fprintf(stderr, "tool calls\n");
    for (auto &session : live) {
        if (!session->ok)
            continue;
        std::string_view answer;
        const double us = roundTrip(*session, "tools/call", kToolCallParams, &answer);
        session->toolsOk = !std::isnan(us) && answer.find(kMarker) != std::string::npos;
        if (!session->toolsOk)
            note(*session->figures,
                 "tool call did not reach the bridge peer: " +
                     (std::isnan(us) ? "no answer" : std::string(answer.substr(0, 160))));
    }
    inBlocks(live, &Session::toolsOk, "tools/call", kToolCallParams, 50, nullptr);
    inBlocks(live, &Session::toolsOk, "tools/call", kToolCallParams, sizes.toolCalls,
             &Figures::toolUs);
    for (auto &session : live) {
        if (!session->child)
            continue;
        if (!session->toolsOk)
            session->figures->toolUs.clear();
        session->figures->peakRssMiB = closeAndWait(*session->child).peakRssMiB;
    }
}

// ---------------------------------------------------------------------------------------------
// Big tool results: a screenshot comes back as one image item of base64, megabytes long.

struct BigFigures {
    size_t megabytes = 0;
    std::vector<double> directMs; // the floor: the same reply moved once over the same socket
    std::vector<double> oursMs;
    std::vector<double> sdkMs;
    double oursRssMiB = NAN;
    double sdkRssMiB = NAN;
    std::string problem;
};

constexpr int kBigCalls = 7;

void note(BigFigures &figures, const std::string &what) {
    if (figures.problem.empty())
        figures.problem = what;
    std::fprintf(stderr, "  ! %zu MiB: %s\n", figures.megabytes, what.c_str());
}

// The floor of a relayed reply: one exchange with the bridge peer by the five system calls
// (socket, connect, write, read until the line feed, close), reading in place into a buffer that
// is already large enough, so nothing but the kernel's copy is paid. The reply, without its line
// feed, stays in `reply`; milliseconds, or NaN when no complete line came.
double directTransferMs(const std::string &socketPath, std::vector<char> &reply, size_t *length) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    static const char kRequest[] = "{\"arguments\":{\"text\":\"hello\"},\"name\":\"bench_echo\"}\n";
    const Clock::time_point begin = Clock::now();
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    size_t size = 0;
    bool complete = false;
    if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 &&
        writeAll(fd, kRequest, sizeof kRequest - 1)) {
        while (size < reply.size()) {
            const ssize_t got = read(fd, reply.data() + size, reply.size() - size);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            const void *end = std::memchr(reply.data() + size, '\n', size_t(got));
            size += size_t(got);
            if (end) {
                size = size_t(static_cast<const char *>(end) - reply.data());
                complete = true;
                break;
            }
        }
    }
    if (fd >= 0)
        close(fd);
    const double ms = msBetween(begin, Clock::now());
    *length = size;
    return complete ? ms : NAN;
}

// The base64 text of the peer's image reply: what lies between "data":" and the next quote.
std::string_view imageData(std::string_view reply) {
    static constexpr std::string_view kKey = "\"data\":\"";
    const size_t begin = reply.find(kKey);
    if (begin == std::string_view::npos)
        return {};
    const size_t end = reply.find('"', begin + kKey.size());
    return end == std::string_view::npos
               ? std::string_view()
               : reply.substr(begin + kKey.size(), end - begin - kKey.size());
}

// Our answer must be byte for byte what Qt writes for the reply object: members sorted by key.
bool isExactAnswer(std::string_view answer, long id, std::string_view data) {
    const std::string head = "{\"id\":" + std::to_string(id) +
                             ",\"jsonrpc\":\"2.0\",\"result\":{\"content\":[{\"data\":\"";
    static constexpr std::string_view kTail =
        "\",\"mimeType\":\"image/png\",\"type\":\"image\"}]}}";
    return answer.size() == head.size() + data.size() + kTail.size() &&
           answer.substr(0, head.size()) == head &&
           answer.substr(head.size(), data.size()) == data &&
           answer.substr(head.size() + data.size()) == kTail;
}

// The SDK server orders members its own way; its answer must carry the whole image.
bool carriesImage(std::string_view answer, std::string_view data) {
    return imageData(answer) == data;
}

// For each size: a session of ours and one of the SDK server, each with a bridge peer answering
// that image; calls of the three (direct transfer, ours, SDK) take turns, each after the machine
// has settled, the first of each uncounted. The peak RSS is each server's over its session.
std::vector<BigFigures> bigResults(const Server &ours, const Server &sdk,
                                   const std::string &peerProgram) {
    std::vector<BigFigures> rows;
    for (const size_t megabytes : {1, 10, 40}) {
        std::fprintf(stderr, "big results: %zu MiB\n", megabytes);
        BigFigures row;
        row.megabytes = megabytes;
        const std::vector<std::string> peerArguments = {std::to_string(megabytes << 20)};
        Figures oursNotes, sdkNotes;
        Session oursSession, sdkSession;
        oursSession.figures = &oursNotes;
        sdkSession.figures = &sdkNotes;
        oursSession.ok = startSession(oursSession, ours, peerProgram, peerArguments);
        sdkSession.ok = startSession(sdkSession, sdk, peerProgram, peerArguments);
        std::vector<char> reply((megabytes << 20) + (1 << 16));
        size_t length = 0;
        if (std::isnan(directTransferMs(oursSession.sandbox.socketPath(), reply, &length))) {
            note(row, "no reply from the bridge peer");
            rows.push_back(row);
            continue;
        }
        const std::string data(imageData(std::string_view(reply.data(), length)));
        const std::vector<pid_t> pids = {
            oursSession.child ? oursSession.child->pid : -1, oursSession.peer.pid,
            sdkSession.child ? sdkSession.child->pid : -1, sdkSession.peer.pid};
        const auto call = [&](Session &session, bool exact, std::vector<double> *samples) {
            if (!session.ok)
                return;
            if (!settle(pids))
                ++busyAfterSettling;
            const long id = session.id;
            std::string_view answer;
            const double us = roundTrip(session, "tools/call", kToolCallParams, &answer);
            const bool right = !std::isnan(us) && (exact ? isExactAnswer(answer, id, data)
                                                         : carriesImage(answer, data));
            if (!right) {
                session.ok = false;
                note(row, session.figures == &oursNotes
                              ? "quorvelin-mcp's answer is not the exact relayed image"
                              : "the SDK server's answer does not carry the image");
            } else if (samples) {
                samples->push_back(us / 1000);
            }
        };
        for (int i = -1; i < kBigCalls; ++i) {
            if (!settle(pids))
                ++busyAfterSettling;
            const double ms = directTransferMs(oursSession.sandbox.socketPath(), reply, &length);
            if (i >= 0 && !std::isnan(ms))
                row.directMs.push_back(ms);
            call(oursSession, true, i >= 0 ? &row.oursMs : nullptr);
            call(sdkSession, false, i >= 0 ? &row.sdkMs : nullptr);
        }
        if (!oursSession.ok)
            row.oursMs.clear();
        if (!sdkSession.ok)
            row.sdkMs.clear();
        if (oursSession.child)
            row.oursRssMiB = closeAndWait(*oursSession.child).peakRssMiB;
        if (sdkSession.child)
            row.sdkRssMiB = closeAndWait(*sdkSession.child).peakRssMiB;
        rows.push_back(row);
    }
    return rows;
}

// ---------------------------------------------------------------------------------------------
// The report.

std::string fixed(double value, int decimals) {
    if (std::isnan(value))
        return "n/a";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string thousands(double value) {
    if (std::isnan(value))
        return "n/a";
    std::string digits = std::to_string(std::llround(value));
    for (int i = int(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(size_t(i), ",");
    return digits;
}

std::string firstLine(const char *command) {
    std::string text;
    if (FILE *pipe = popen(command, "r")) {
        char line[512];
        if (std::fgets(line, sizeof line, pipe))
            text = line;
        pclose(pipe);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

// Other work on this shared machine slows every server of a run, the light C floors most in
// proportion; a run that began busy says so.
std::string busyNote(const std::string &loadAverages) {
    return std::atof(loadAverages.c_str()) >= 0.7 ? " (not quiet: other work ran beside this run)"
                                                  : "";
}

// `loadAtStart`: the load averages before the run began (before its build and micro-benchmarks,
// which load the machine themselves); read now when empty.
std::string machine(std::string loadAtStart) {
    if (loadAtStart.empty())
        loadAtStart = firstLine("cut -d' ' -f1-3 /proc/loadavg");
    std::string cpu = "unknown processor";
    QFile cpuinfo(QStringLiteral("/proc/cpuinfo"));
    if (cpuinfo.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : cpuinfo.readAll().split('\n')) {
            if (line.startsWith("model name")) {
                cpu = line.mid(line.indexOf(':') + 1).trimmed().toStdString();
                break;
            }
        }
    }
    const long pages = sysconf(_SC_PHYS_PAGES);
    const double memGiB = double(pages) * double(sysconf(_SC_PAGESIZE)) / (1 << 30);
    return cpu + ", " + std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + " cores, " +
           fixed(memGiB, 0) + " GiB; " + QSysInfo::prettyProductName().toStdString() + ", Linux " +
           QSysInfo::kernelVersion().toStdString() + "; load average at start " + loadAtStart +
           busyNote(loadAtStart);
}

struct Target {
    std::string what;
    std::string measured;
    std::string ratio;
    std::optional<bool> met; // empty: not measured
};

std::string verdict(const std::optional<bool> &met) {
    return met ? (*met ? "met" : "**not met**") : "not measured";
}

// ratio = ours / theirs; the target holds while it is within `limit` (or beyond, for `atLeast`).
Target compare(const std::string &what, double ours, double theirs, double limit, bool atLeast,
               const std::string &unit, int decimals) {
    Target target;
    target.what = what;
    if (std::isnan(ours) || std::isnan(theirs) || theirs <= 0) {
        target.measured = "n/a";
        target.ratio = "n/a";
        return target;
    }
    const double ratio = ours / theirs;
    const auto show = [decimals](double v) { return decimals ? fixed(v, decimals) : thousands(v); };
    target.measured = show(ours) + " vs " + show(theirs) + ' ' + unit;
    target.ratio = ratio >= 1 ? fixed(ratio, 2) + "×" : "1/" + fixed(1 / ratio, 1);
    target.met = atLeast ? ratio >= limit : ratio <= limit;
    return target;
}

struct Micro {
    std::string name;
    double time = NAN;
    double cpuTime = NAN;
    std::string unit;
};

std::vector<Micro> readMicro(const std::string &path) {
    std::vector<Micro> rows;
    QFile file(QString::fromStdString(path));
    if (path.empty() || !file.open(QIODevice::ReadOnly))
        return rows;
    const QJsonArray benchmarks = QJsonDocument::fromJson(file.readAll())
                                      .object()
                                      .value(QStringLiteral("benchmarks"))
                                      .toArray();
    for (const QJsonValue &value : benchmarks) {
        const QJsonObject row = value.toObject();
        // With repetitions, the median row stands for the benchmark.
        const QString aggregate = row.value(QStringLiteral("aggregate_name")).toString();
        if (row.value(QStringLiteral("run_type")).toString() == QLatin1String("aggregate") &&
            aggregate != QLatin1String("median"))
            continue;
        QString name = row.value(QStringLiteral("run_name")).toString();
        if (name.isEmpty())
            name = row.value(QStringLiteral("name")).toString();
        rows.push_back({name.toStdString(), row.value(QStringLiteral("real_time")).toDouble(),
                        row.value(QStringLiteral("cpu_time")).toDouble(),
                        row.value(QStringLiteral("time_unit")).toString().toStdString()});
    }
    return rows;
}

double toMs(const Micro &micro, double Micro::*field = &Micro::time) {
    static const std::pair<const char *, double> kScale[] = {
        {"ns", 1e-6}, {"us", 1e-3}, {"ms", 1}, {"s", 1e3}};
    for (const auto &[unit, scale] : kScale) {
        if (micro.unit == unit)
            return micro.*field * scale;
    }
    return NAN;
}

std::string duration(double ms) {
    if (std::isnan(ms))
        return "n/a";
    if (ms < 1)
        return fixed(ms * 1000, ms < 0.01 ? 2 : 1) + " µs";
    return fixed(ms, ms < 10 ? 2 : 1) + " ms";
}

struct Options {
    std::string sidecar;
    std::string floor;
    std::string peer;
    std::string sdkScript;
    std::string node = "node";
    std::string micro;
    std::string out;
    std::string command = "quorvelin-bench-driver";
    int coldRuns = 30;
    SessionSizes sizes;
    std::string phases = "all"; // all, stdio or big
    std::string loadAtStart;
};

std::string sdkVersion(const Options &options) {
    QFile file(QString::fromStdString(options.sdkScript).section(QLatin1Char('/'), 0, -2) +
               QStringLiteral("/node_modules/@modelcontextprotocol/sdk/package.json"));
    if (!file.open(QIODevice::ReadOnly))
        return "?";
    return QJsonDocument::fromJson(file.readAll())
        .object()
        .value(QStringLiteral("version"))
        .toString()
        .toStdString();
}

std::string report(const Options &options, const std::vector<Server> &servers,
                   const std::vector<Figures> &figures, const std::vector<BigFigures> &bigs,
                   const std::string &machineText) {
    const Figures &ours = figures[0];
    const Figures &sdk = figures[1];
    const Figures &floor = figures[2];
    const Figures &batched = figures[3];
    std::string md = "# Benchmark results\n\n";
    md += "Written by `" + options.command + "` on " +
          QDateTime::currentDateTime().toString(Qt::ISODate).toStdString() + ".\n\n";
    md += "- Machine: " + machineText + "; at the end " +
          firstLine("cut -d' ' -f1-3 /proc/loadavg") + "\n";
    md += "- Servers: `quorvelin-mcp` (Release build); a server on `@modelcontextprotocol/sdk` " +
          sdkVersion(options) + " (node " + firstLine((options.node + " --version").c_str()) +
          ", `bench/sdk-server/`); and two floors, C programs answering each line with a fixed "
          "line (`bench/floor.c`), one write per answer and batched.\n";
    md += "- Every process has its own HOME, XDG_DATA_HOME and TMPDIR; tool calls go to the same "
          "C bridge peer (`bench/peer.c`) over a local socket, one connection per call.\n";
    md += "- Cold start: " + std::to_string(options.coldRuns) +
          " fresh processes each, interleaved; ping: " + std::to_string(options.sizes.pings) +
          " sequential round trips; pipelined: " + thousands(double(options.sizes.pipelined)) +
          " pings written in one go by a thread while answers are read, " +
          std::to_string(kPipelinedRuns) + " runs per server taking turns, the median kept; tool " +
          "calls: " + std::to_string(options.sizes.toolCalls) +
          " sequential; big results: " + std::to_string(kBigCalls) +
          " calls per size and server after one uncounted call.\n";
    md += "- Sequential round trips go in blocks of " + std::to_string(kBlock) +
          " per server, the servers taking turns, so a burst of outside load reaches all of them. "
          "Before each block, before each pipelined run and before each big call, the driver "
          "waits until every server and bridge peer has used no CPU for " +
          std::to_string(kQuietMs) + " ms, and the block's first " + std::to_string(kBlockWarmUp) +
          " round trips are not counted: a server's tail then holds its own after-work (garbage "
          "collection, helper threads) and not that of the server measured before it, nor the "
          "wake-up from the pause.\n";
    md += "- The driver reads answers in place into one buffer and searches each byte for the "
          "line feed once, so reading a 40 MiB answer costs it one pass, not one per read.\n\n";

    md += "## The anchors, each as fast as it can be made\n\n"
          "- **Floor** (`quorvelin-bench-floor`): reads standard input with read(2) in 64 KiB "
          "blocks into one buffer, splits lines with memchr, parses nothing and answers each line "
          "with a fixed line in its own write(2), as an MCP server must (no answer may wait for "
          "the next request). No stdio, no allocation per line.\n"
          "- **Floor, batched** (`quorvelin-bench-floor --batch`): the same, but the answers to "
          "all complete lines of one read leave in one write(2). No real server may hold answers "
          "back like that; it shows what the per-answer system call costs.\n"
          "- **Floor bridge call**: a line naming tools/call makes the floor do socket, connect, "
          "write, read until the reply's line feed (straight into its answer buffer) and close, "
          "then the one write of the answer; nothing else.\n"
          "- **Direct transfer** (floor of big results): the driver itself does the exchange with "
          "the bridge peer by those five system calls, reading in place into a buffer that is "
          "already large enough and already touched, so only the kernel's copy is paid: the same "
          "reply moved once over the same kind of socket.\n"
          "- **SDK server** (`bench/sdk-server/server.mjs`): `McpServer` with one tool registered "
          "by `registerTool` and a zod schema, connected to `StdioServerTransport`, as the SDK's "
          "documentation shows it; nothing added to the message path. Its bridge client keeps "
          "the chunks of a reply as they come and searches only the newest one for the line "
          "feed, then parses once.\n"
          "- **Bridge peer** (`quorvelin-bench-peer`): C; answers each connection with a reply "
          "built once at start, written in one loop of write(2). For big results it answers one "
          "image item of pseudo-random base64, its members in the order a GUI program writes "
          "them (type, data, mimeType), so a relay must reorder them to write Qt's form.\n\n";

    md += "## Stdio servers, same run\n\n|  |";
    for (const Server &server : servers)
        md += ' ' + server.label + " |";
    md += "\n|---|";
    for (size_t i = 0; i < servers.size(); ++i)
        md += "---:|";
    md += '\n';
    struct Row {
        const char *label;
        std::string (*cell)(const Figures &);
    };
    static const Row kRows[] = {
        {"cold start, median (ms)",
         [](const Figures &f) { return fixed(percentile(f.coldMs, .5), 1); }},
        {"cold start, p90 (ms)",
         [](const Figures &f) { return fixed(percentile(f.coldMs, .9), 1); }},
        {"ping round trip, p50 (µs)",
         [](const Figures &f) { return fixed(percentile(f.pingUs, .5), 1); }},
        {"ping round trip, p99 (µs)",
         [](const Figures &f) { return fixed(percentile(f.pingUs, .99), 1); }},
        {"pipelined pings (messages/s)",
         [](const Figures &f) { return thousands(f.pipelinedPerSecond); }},
        {"tool call via bridge, p50 (µs)",
         [](const Figures &f) { return fixed(percentile(f.toolUs, .5), 1); }},
        {"tool call via bridge, p99 (µs)",
         [](const Figures &f) { return fixed(percentile(f.toolUs, .99), 1); }},
        {"peak RSS over the session (MiB)",
         [](const Figures &f) { return fixed(f.peakRssMiB, 1); }},
        {"peak RSS of a cold start (MiB)",
         [](const Figures &f) { return fixed(percentile(f.startRssMiB, .5), 1); }},
        {"exit after stdin closes, median (ms)",
         [](const Figures &f) { return fixed(percentile(f.exitMs, .5), 2); }},
    };
    for (const Row &row : kRows) {
        md += std::string("| ") + row.label + " |";
        for (const Figures &f : figures)
            md += ' ' + row.cell(f) + " |";
        md += '\n';
    }
    for (size_t i = 0; i < servers.size(); ++i) {
        if (!figures[i].problem.empty())
            md += "\n" + servers[i].label + ": " + figures[i].problem + "\n";
    }

    md += "\n## Big tool results: one image item of base64, relayed\n\n"
          "Medians in ms. Our answer is checked byte for byte against the reply the direct "
          "transfer received (members sorted as Qt writes them); the SDK server's must carry the "
          "whole image. Peak RSS is each server's over its session at that size.\n\n"
          "| reply | quorvelin-mcp | direct transfer | ratio | SDK server | ours / SDK | "
          "our peak RSS (MiB) | × the reply | SDK peak RSS (MiB) |\n"
          "|---|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    for (const BigFigures &big : bigs) {
        const double oursMs = percentile(big.oursMs, .5);
        const double directMs = percentile(big.directMs, .5);
        const double sdkMs = percentile(big.sdkMs, .5);
        md += "| " + std::to_string(big.megabytes) + " MiB | " + fixed(oursMs, 1) + " | " +
              fixed(directMs, 1) + " | " + fixed(oursMs / directMs, 2) + "× | " + fixed(sdkMs, 1) +
              " | 1/" + fixed(sdkMs / oursMs, 1) + " | " + fixed(big.oursRssMiB, 1) + " | " +
              fixed(big.oursRssMiB / double(big.megabytes), 2) + " | " + fixed(big.sdkRssMiB, 1) +
              " |\n";
    }
    for (const BigFigures &big : bigs) {
        if (!big.problem.empty())
            md += "\n" + std::to_string(big.megabytes) + " MiB: " + big.problem + "\n";
    }

    std::vector<Target> targets = {
        compare("Cold start at most 1/25 of the SDK server's", percentile(ours.coldMs, .5),
                percentile(sdk.coldMs, .5), 1.0 / 25, false, "ms", 1),
        compare("Cold start within 15× of the floor's", percentile(ours.coldMs, .5),
                percentile(floor.coldMs, .5), 15, false, "ms", 1),
        compare("Pipelined throughput at least 10× the SDK server's", ours.pipelinedPerSecond,
                sdk.pipelinedPerSecond, 10, true, "messages/s", 0),
        compare("Pipelined throughput at least 1/4 of the floor's (one write per answer)",
                ours.pipelinedPerSecond, floor.pipelinedPerSecond, 0.25, true, "messages/s", 0),
        compare("Tool call p50 at most 1.5× the floor bridge call", percentile(ours.toolUs, .5),
                percentile(floor.toolUs, .5), 1.5, false, "µs", 1),
        compare("Tool call p99 at most 1/5 of the SDK server's", percentile(ours.toolUs, .99),
                percentile(sdk.toolUs, .99), 1.0 / 5, false, "µs", 1),
        compare("Peak RSS at most 1/10 of the SDK server's", ours.peakRssMiB, sdk.peakRssMiB,
                1.0 / 10, false, "MiB", 1),
    };
    const auto bigAt = [&bigs](size_t megabytes) {
        for (const BigFigures &big : bigs) {
            if (big.megabytes == megabytes)
                return big;
        }
        return BigFigures{};
    };
    for (const size_t megabytes : {10, 40}) {
        const BigFigures big = bigAt(megabytes);
        const std::string size = std::to_string(megabytes) + " MiB";
        targets.push_back(
            compare("A " + size + " image reply relayed within 7× the direct transfer",
                    percentile(big.oursMs, .5), percentile(big.directMs, .5), 7, false, "ms", 1));
    }
    targets.push_back(compare("The 40 MiB call at most 4.5× the 10 MiB call",
                              percentile(bigAt(40).oursMs, .5), percentile(bigAt(10).oursMs, .5),
                              4.5, false, "ms", 1));
    for (const size_t megabytes : {10, 40}) {
        const BigFigures big = bigAt(megabytes);
        const double limit = 4.0 * double(megabytes) + 15;
        targets.push_back(compare("Peak RSS with a " + std::to_string(megabytes) +
                                      " MiB reply at most 4× the reply + 15 MiB (" +
                                      fixed(limit, 0) + " MiB)",
                                  big.oursRssMiB, limit, 1, false, "MiB", 1));
    }
    const std::vector<Micro> micro = readMicro(options.micro);
    // Qt's own indented writer, whose output is the designed form by construction, took 46 ms
    // where the hand-written one it replaced took 39 ms (medians of 5, side by side).
    constexpr double kInstallBudgetMs = 80;
    Target install{"Install into a 5 MB .claude.json under 80 ms", "n/a", "n/a", std::nullopt};
    for (const Micro &row : micro) {
        if (row.name.find("Install") != std::string::npos && !std::isnan(toMs(row))) {
            install.measured = fixed(toMs(row), 1) + " ms";
            install.ratio = fixed(toMs(row) / kInstallBudgetMs, 2) + "× the limit";
            install.met = toMs(row) < kInstallBudgetMs;
        }
    }
    targets.push_back(install);

    md += "\n## Targets\n\nRatio: ours / theirs, medians of this run (for peak RSS: ours / the "
          "limit). Pipelined throughput against the batched floor, for reference: " +
          (std::isnan(ours.pipelinedPerSecond / batched.pipelinedPerSecond)
               ? std::string("n/a")
               : "1/" + fixed(batched.pipelinedPerSecond / ours.pipelinedPerSecond, 1)) +
          ". The install writes JSON with "
          "Qt's own indented writer, so its output is Qt's by construction; measured side by side, "
          "that costs 46 ms where the hand-written writer it replaced took 39 ms (+7 ms), and the "
          "budget went from 100 ms to 80 ms.\n\n"
          "| target | measured | ratio | verdict |\n|---|---|---|---|\n";
    for (const Target &t : targets)
        md +=
            "| " + t.what + " | " + t.measured + " | " + t.ratio + " | " + verdict(t.met) + " |\n";

    md += "\n## Micro-benchmarks (Google Benchmark, median of the repetitions)\n\n";
    if (micro.empty()) {
        md += "Not run.\n";
    } else {
        md += "| benchmark | wall time | CPU time |\n|---|---:|---:|\n";
        for (const Micro &row : micro)
            md += "| " + row.name + " | " + duration(toMs(row)) + " | " +
                  duration(toMs(row, &Micro::cpuTime)) + " |\n";
    }
    return md;
}

bool parse(int argc, char **argv, Options &options) {
    struct Flag {
        const char *name;
        std::string Options::*text;
    };
    static const Flag kFlags[] = {
        {"--sidecar", &Options::sidecar}, {"--floor", &Options::floor},
        {"--peer", &Options::peer},       {"--sdk-script", &Options::sdkScript},
        {"--node", &Options::node},       {"--micro", &Options::micro},
        {"--out", &Options::out},         {"--command", &Options::command},
        {"--phases", &Options::phases},   {"--load-at-start", &Options::loadAtStart},
    };
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char *value = argv[i + 1];
        bool known = false;
        for (const Flag &flag : kFlags) {
            if (name == flag.name) {
                options.*flag.text = value;
                known = true;
            }
        }
        if (name == "--cold-runs")
            options.coldRuns = std::max(1, std::atoi(value)), known = true;
        if (name == "--pings")
            options.sizes.pings = std::max(1, std::atoi(value)), known = true;
        if (name == "--pipelined")
            options.sizes.pipelined = std::max(1L, std::atol(value)), known = true;
        if (name == "--tool-calls")
            options.sizes.toolCalls = std::max(1, std::atoi(value)), known = true;
        if (!known) {
            std::fprintf(stderr, "unknown option %s\n", name.c_str());
            return false;
        }
    }
    return (argc % 2) == 1 && !options.sidecar.empty() && !options.floor.empty() &&
           !options.peer.empty() && !options.sdkScript.empty();
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s --sidecar PATH --sdk-script server.mjs --floor PATH --peer PATH\n"
                     "          [--node PATH] [--micro micro.json] [--out RESULTS.md]\n"
                     "          [--command TEXT] [--cold-runs N] [--pings N] [--pipelined N]\n"
                     "          [--tool-calls N] [--phases all|stdio|big] [--load-at-start TEXT]\n",
                     argv[0]);
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    const std::string machineText = machine(options.loadAtStart);
    const std::vector<Server> servers = {
        {"quorvelin-mcp", {options.sidecar}},
        {"SDK server", {options.node, options.sdkScript}},
        {"floor", {options.floor}},
        {"floor, batched", {options.floor, "--batch"}},
    };
    std::vector<Figures> figures(servers.size());

    // Interleaved, so a burst of load on the shared machine hits every server alike.
    const bool stdio = options.phases != "big";
    std::fprintf(stderr, "cold starts: %d rounds\n", stdio ? options.coldRuns : 0);
    for (int run = 0; stdio && run < options.coldRuns; ++run) {
        for (size_t i = 0; i < servers.size(); ++i)
            coldStart(servers[i], figures[i]);
    }
    if (stdio)
        sessions(servers, options.peer, options.sizes, figures);
    const std::vector<BigFigures> bigs = options.phases == "stdio"
                                             ? std::vector<BigFigures>()
                                             : bigResults(servers[0], servers[1], options.peer);
    if (busyAfterSettling > 0)
        std::fprintf(stderr, "  ! %d times the servers were still using CPU after %d ms\n",
                     busyAfterSettling, kSettleLimitMs);

    const std::string md = report(options, servers, figures, bigs, machineText);
    std::fputs(md.c_str(), stdout);
    if (!options.out.empty()) {
        QFile file(QString::fromStdString(options.out));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(md.data(), qint64(md.size())) != qint64(md.size())) {
            std::fprintf(stderr, "cannot write %s\n", options.out.c_str());
            return 1;
        }
    }
    return 0;
}
