#include "tool_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "bytes.h"

namespace vyr::test {
namespace {

std::string readText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

ScratchDirectory::ScratchDirectory()
{
    std::string pattern = (fs::temp_directory_path() / "vyrconvert-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        ADD_FAILURE() << "mkdtemp failed for " << pattern;
    path_ = pattern;
}

ScratchDirectory::~ScratchDirectory()
{
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (const auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
        if (entry.is_directory(ignored))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(path_, ignored);
}

ToolRun runTool(const std::vector<std::string>& args, const fs::path& workingDirectory)
{
    // Captures go beside the working directory so they never show up in its listing.
    ScratchDirectory captures;
    const std::string outPath = (captures.path() / "stdout").string();
    const std::string errPath = (captures.path() / "stderr").string();
    const std::string cwd = workingDirectory.string();

    std::vector<std::string> argvStrings{VYRCONVERT_PATH};
    argvStrings.insert(argvStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argvStrings)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    ToolRun run;
    const pid_t pid = fork();
    if (pid < 0) {
        ADD_FAILURE() << "fork failed";
        return run;
    }
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        const int outFd = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int errFd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (outFd < 0 || errFd < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0 || chdir(cwd.c_str()) != 0)
            _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    // A hung tool fails its test instead of stalling the whole run.
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    pid_t reaped = 0;
    while ((reaped = waitpid(pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (reaped == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << "vyrconvert did not finish within 30 s";
    } else if (reaped < 0) {
        ADD_FAILURE() << "waitpid failed";
        return run;
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = readText(outPath);
    run.err = readText(errPath);
    return run;
}

void writeFile(const fs::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::vector<uint8_t> readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::set<std::string> listTree(const fs::path& root)
{
    std::set<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        entries.insert(fs::relative(entry.path(), root).string());
    return entries;
}

::testing::AssertionResult failedWithOneLine(const ToolRun& run, const std::string& fragment)
{
    if (run.exitCode != 2)
        return ::testing::AssertionFailure() << "exit code " << run.exitCode << ", stderr: " << run.err;
    const auto lines = std::count(run.err.begin(), run.err.end(), '\n');
    if (lines != 1 || run.err.back() != '\n')
        return ::testing::AssertionFailure() << "stderr is not exactly one line: [" << run.err << "]";
    if (run.err.find(fragment) == std::string::npos)
        return ::testing::AssertionFailure() << "stderr [" << run.err << "] does not name '" << fragment << "'";
    return ::testing::AssertionSuccess();
}


std::vector<uint8_t> greyFrame(uint32_t width, uint32_t height, uint32_t seed)
{
    std::vector<uint8_t> grey = randomBytes(size_t(width) * height, seed);
    grey.front() = 0;
    grey.back() = 255;
    return grey;
}

std::vector<uint8_t> greyRepeated(const std::vector<uint8_t>& grey, size_t bytesPerPixel)
{
    std::vector<uint8_t> pixels;
    for (uint8_t v : grey)
        pixels.insert(pixels.end(), bytesPerPixel, v);
    return pixels;
}

} // namespace vyr::test
