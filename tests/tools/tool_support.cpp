#include "tool_support.h"

#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

namespace vyr::test {

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
    fs::remove_all(path_, ignored);
}

namespace {

ToolRun ended(int status, const fs::path& captures)
{
    ToolRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    const Bytes outBytes = readFile(captures / "stdout"), errBytes = readFile(captures / "stderr");
    run.out.assign(outBytes.begin(), outBytes.end());
    run.err.assign(errBytes.begin(), errBytes.end());
    return run;
}

} // namespace

ToolRun runTool(const std::string& args, const fs::path& dir, const std::string& setup,
                const std::function<bool()>& ready, int signal)
{
    ScratchDirectory captures; // beside dir, so they never show in its listing
    const std::string command = "cd '" + dir.string() + "' && " + setup + "exec '" VYRCONVERT_PATH "' " +
                                args + " >'" + (captures.path() / "stdout").string() + "' 2>'" +
                                (captures.path() / "stderr").string() + "'";
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ready && !ready()) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            ADD_FAILURE() << args << ": ended before it was ready";
            return ended(status, captures.path());
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << args << ": not ready in 20 s";
            signal = SIGKILL;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (ready)
        kill(pid, signal);
    waitpid(pid, &status, 0);
    return ended(status, captures.path());
}

Bytes converted(const std::string& args, const fs::path& dir)
{
    const ToolRun run = runTool(args, dir);
    EXPECT_EQ(0, run.exitCode) << args << ": " << run.err;
    EXPECT_EQ("", run.err) << args;
    return readFile(dir / args.substr(args.rfind(' ') + 1));
}

void writeFile(const fs::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    EXPECT_TRUE(out.good()) << "cannot write " << path;
}

Bytes readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::set<std::string> listTree(const fs::path& root)
{
    std::set<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        entries.insert(entry.path().lexically_relative(root).string()); // links as links
    return entries;
}

::testing::AssertionResult failedWithOneLine(const ToolRun& run, const std::string& fragment)
{
    if (run.exitCode != 2 || !run.out.empty())
        return ::testing::AssertionFailure()
               << "exit code " << run.exitCode << ", stdout [" << run.out << "]";
    if (std::count(run.err.begin(), run.err.end(), '\n') != 1 || run.err.back() != '\n')
        return ::testing::AssertionFailure() << "stderr is not exactly one line: [" << run.err << "]";
    if (run.err.find(fragment) == std::string::npos)
        return ::testing::AssertionFailure()
               << "stderr [" << run.err << "] does not name '" << fragment << "'";
    return ::testing::AssertionSuccess();
}

Bytes repeated(const Bytes& bytes, size_t n)
{
    Bytes out;
    for (uint8_t v : bytes)
        out.insert(out.end(), n, v);
    return out;
}

// libpng's simplified API, which frees its state on every error itself.
bool writeGreyPng(const fs::path& path, uint32_t width, uint32_t height, const Bytes& grey)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_GRAY;
    return grey.size() == size_t(width) * height &&
           png_image_write_to_file(&image, path.c_str(), 0, grey.data(), 0, nullptr);
}

std::optional<Png> readPng(const fs::path& path)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return std::nullopt;
    Png png{image.width, image.height, (image.format & PNG_FORMAT_FLAG_COLOR) != 0, {}};
    image.format = PNG_FORMAT_RGB;
    png.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, png.rgb.data(), 0, nullptr))
        return std::nullopt;
    return png;
}

} // namespace vyr::test
