#include "plot/PlotToolRun.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr const char *kToolName = "qz_vozozi_DE";
constexpr const char *kOutputFile = "qzkit-tool-output.txt";
constexpr const char *kRecordExtension = ".ecg";
constexpr const char *kConstantsExtension = ".pvx.filters.v1";
constexpr int kExecFailed = 127;
constexpr std::chrono::milliseconds kPollInterval{5};

// A fresh directory, removed with its contents when the object goes away.
class TemporaryDirectory {
public:
    TemporaryDirectory()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "qzkit-plot-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw ToolkitError("cannot create a temporary directory in " +
                               std::filesystem::temp_directory_path().string());
        }
        path_ = pattern;
    }
    ~TemporaryDirectory()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryDirectory(const TemporaryDirectory &) = delete;
    TemporaryDirectory &operator=(const TemporaryDirectory &) = delete;

    const std::filesystem::path &path() const { return path_; }

private:
    std::filesystem::path path_;
};

bool IsExecutable(const std::filesystem::path &path)
{
    std::error_code ignored;
    return std::filesystem::is_regular_file(path, ignored) && access(path.c_str(), X_OK) == 0;
}

std::filesystem::path WithSuffix(std::filesystem::path path, const char *suffix)
{
    path += suffix;
    return path;
}

// Copies base + extension to directory/name + extension, keeping the name.
std::string CopyInput(const std::filesystem::path &base, const char *extension, const std::filesystem::path &directory)
{
    const std::string name = base.filename().string();
    if (name.empty() || name == "." || name == "..") {
        throw ToolkitError("'" + base.string() + "' does not name a file");
    }
    std::error_code error;
    std::filesystem::copy_file(WithSuffix(base, extension), directory / (name + extension), error);
    if (error) {
        throw ToolkitError("cannot read " + WithSuffix(base, extension).string() + ": " + error.message());
    }
    return name;
}

std::string LastLine(const std::filesystem::path &path)
{
    std::ifstream stream(path);
    std::string line;
    std::string last;
    while (std::getline(stream, line)) {
        if (!line.empty()) {
            last = line;
        }
    }
    return last;
}

volatile std::sig_atomic_t interruptedBy = 0;

extern "C" void NoteInterruption(int signal)
{
    interruptedBy = signal;
}

// While it lives, an interrupt, hang-up or termination request is noted
// rather than ending the program at once, so that the run can stop the tool
// and remove its temporary directory first.
class InterruptionNote {
public:
    InterruptionNote()
    {
        interruptedBy = 0;
        struct sigaction action {};
        action.sa_handler = NoteInterruption;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            sigaction(kSignals[i], &action, &previous_[i]);
        }
    }
    ~InterruptionNote()
    {
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            sigaction(kSignals[i], &previous_[i], nullptr);
        }
    }
    InterruptionNote(const InterruptionNote &) = delete;
    InterruptionNote &operator=(const InterruptionNote &) = delete;

    static void ThrowIfInterrupted()
    {
        if (interruptedBy != 0) {
            throw ToolkitError("interrupted by signal " + std::to_string(interruptedBy));
        }
    }

private:
    static constexpr std::array<int, 3> kSignals{SIGINT, SIGHUP, SIGTERM};
    std::array<struct sigaction, 3> previous_{};
};

// Ends the child's whole process group (a script and what it started) and reaps it.
void StopChild(pid_t child)
{
    kill(-child, SIGKILL);
    int ignored = 0;
    while (waitpid(child, &ignored, 0) < 0 && errno == EINTR) {
    }
}

// Waits for the child to end within `seconds`; stops it and throws on an
// interruption or when the time is up.
int WaitFor(pid_t child, const std::string &program, double seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    while (true) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) {
            return status;
        }
        if (done < 0 && errno != EINTR) {
            throw ToolkitError("lost track of " + program);
        }
        if (interruptedBy != 0 || std::chrono::steady_clock::now() > deadline) {
            StopChild(child);
            InterruptionNote::ThrowIfInterrupted();
            throw ToolkitError(program + " did not finish within " + Readable(seconds) + " s; stopped");
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

// Runs `arguments` (the program first) with `directory` as the working
// directory and both output streams in `output`, for at most `seconds`;
// returns the exit status.
int RunIn(const std::filesystem::path &directory, const std::vector<std::string> &arguments,
          const std::filesystem::path &output, double seconds)
{
    std::vector<char *> argv;
    for (const std::string &argument : arguments) {
        argv.push_back(const_cast<char *>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        throw ToolkitError("cannot start " + arguments.front());
    }
    if (child == 0) {
        setpgid(0, 0);
        const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || chdir(directory.c_str()) != 0 || dup2(fd, STDOUT_FILENO) < 0 || dup2(fd, STDERR_FILENO) < 0) {
            _exit(kExecFailed);
        }
        execv(argv.front(), argv.data());
        _exit(kExecFailed);
    }
    setpgid(child, child);  // also here, so that StopChild never misses the group
    const int status = WaitFor(child, arguments.front(), seconds);
    if (WIFSIGNALED(status)) {
        throw ToolkitError(arguments.front() + " was ended by signal " + std::to_string(WTERMSIG(status)));
    }
    return WEXITSTATUS(status);
}

std::vector<std::string> ToolArguments(const ToolRunRequest &request, const std::string &constantsName,
                                       const std::string &recordName)
{
    const RunSettings &settings = request.settings;
    return {std::filesystem::absolute(request.tool).string(),
            constantsName,
            recordName,
            std::to_string(settings.mask.value()),
            std::to_string(settings.peakDetection.value()),
            std::to_string(settings.beatMethod.value()),
            std::to_string(settings.derivativeOrder.value()),
            "0"};
}

}  // namespace

RunFiles RunToolAndRead(const ToolRunRequest &request)
{
    if (!IsExecutable(request.tool)) {
        throw ToolkitError(request.tool.string() + " is not an executable file");
    }
    const InterruptionNote interruptions;
    const TemporaryDirectory directory;
    const std::string recordName = CopyInput(request.record, kRecordExtension, directory.path());
    const std::string constantsName = CopyInput(request.constants, kConstantsExtension, directory.path());
    const std::filesystem::path output = directory.path() / kOutputFile;
    const int status =
        RunIn(directory.path(), ToolArguments(request, constantsName, recordName), output, request.timeLimitSeconds);
    if (status == kExecFailed && LastLine(output).empty()) {
        throw ToolkitError("cannot run " + request.tool.string());
    }
    if (status != 0) {
        const std::string said = LastLine(output);
        throw ToolkitError(request.tool.filename().string() + " failed (status " + std::to_string(status) +
                           "): " + (said.empty() ? "no output" : said));
    }
    RunFiles files = ReadRunFiles({directory.path() / recordName, directory.path() / constantsName,
                                   directory.path() / "thresholdmethod.info"});
    InterruptionNote::ThrowIfInterrupted();
    return files;
}

std::filesystem::path FindTool(const std::filesystem::path &given, const std::filesystem::path &companion)
{
    if (!given.empty()) {
        return given;
    }
    const std::filesystem::path here = companion.parent_path();
    for (const std::filesystem::path &candidate : {here / kToolName, here.parent_path() / kToolName}) {
        if (!here.empty() && IsExecutable(candidate)) {
            return candidate;
        }
    }
    const char *path = std::getenv("PATH");
    std::istringstream directories(path != nullptr ? path : "");
    std::string directory;
    while (std::getline(directories, directory, ':')) {
        if (!directory.empty() && IsExecutable(std::filesystem::path(directory) / kToolName)) {
            return std::filesystem::path(directory) / kToolName;
        }
    }
    throw ToolkitError(std::string("cannot find ") + kToolName + " beside this program or on PATH; give it with --tool");
}

}  // namespace qzkit
