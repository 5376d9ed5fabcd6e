#include "tool_support.h"

#include <png.h>
#include <sys/wait.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

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
    std::error_code ignored; // directories a test made read-only must open again to be removed
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (const auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
        if (entry.is_directory(ignored))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(path_, ignored);
}

ToolRun runTool(const std::string& args, const fs::path& dir)
{
    ScratchDirectory captures; // beside dir, so they never show in its listing
    const fs::path out = captures.path() / "stdout", err = captures.path() / "stderr";
    const std::string command = "cd '" + dir.string() + "' && '" VYRCONVERT_PATH "' " + args + " >'" +
                                out.string() + "' 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    ToolRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    const std::vector<uint8_t> outBytes = readFile(out), errBytes = readFile(err);
    run.out.assign(outBytes.begin(), outBytes.end());
    run.err.assign(errBytes.begin(), errBytes.end());
    return run;
}

std::vector<uint8_t> converted(const std::string& args, const fs::path& dir)
{
    const ToolRun run = runTool(args, dir);
    EXPECT_EQ(0, run.exitCode) << args << ": " << run.err;
    EXPECT_EQ("", run.err) << args;
    return readFile(dir / args.substr(args.rfind(' ') + 1));
}

void writeFile(const fs::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    EXPECT_TRUE(out.good()) << "cannot write " << path;
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

std::vector<uint8_t> repeated(const std::vector<uint8_t>& bytes, size_t n)
{
    std::vector<uint8_t> out;
    for (uint8_t v : bytes)
        out.insert(out.end(), n, v);
    return out;
}

std::vector<uint8_t> Png::rgbBytes() const
{
    std::vector<uint8_t> out;
    for (uint16_t v : samples)
        out.insert(out.end(), rgb ? 1 : 3, uint8_t(v));
    return out;
}

namespace {

// libpng's state lives behind a pointer, so a longjmp out of it leaves no local stale.
struct PngJob {
    std::FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<uint8_t> bytes; // rows packed, 16-bit samples big-endian
    std::vector<png_bytep> rows;

    void pointRows(size_t rowBytes, uint32_t height)
    {
        for (uint32_t y = 0; y < height; ++y)
            rows.push_back(bytes.data() + rowBytes * y);
    }
};

bool runWrite(PngJob* job, const Png* p)
{
    if (setjmp(png_jmpbuf(job->png)))
        return false;
    png_init_io(job->png, job->file);
    png_set_IHDR(job->png, job->info, p->width, p->height, p->bitDepth,
                 p->rgb ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY,
                 p->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(job->png, job->info);
    if (p->bitDepth < 8)
        png_set_packing(job->png);
    png_write_image(job->png, job->rows.data());
    png_write_end(job->png, nullptr);
    return true;
}

bool runRead(PngJob* job, Png* p)
{
    if (setjmp(png_jmpbuf(job->png)))
        return false;
    png_init_io(job->png, job->file);
    png_read_info(job->png, job->info);
    const int type = png_get_color_type(job->png, job->info);
    p->bitDepth = png_get_bit_depth(job->png, job->info);
    if ((type != PNG_COLOR_TYPE_GRAY && type != PNG_COLOR_TYPE_RGB) || p->bitDepth < 8)
        return false;
    p->width = png_get_image_width(job->png, job->info);
    p->height = png_get_image_height(job->png, job->info);
    p->rgb = type == PNG_COLOR_TYPE_RGB;
    p->interlaced = png_set_interlace_handling(job->png) > 1;
    png_read_update_info(job->png, job->info);
    png_color_8p bits = nullptr;
    if (png_get_sBIT(job->png, job->info, &bits) && bits)
        p->significantBits = p->rgb ? bits->red : bits->gray;
    const size_t rowBytes = png_get_rowbytes(job->png, job->info);
    job->bytes.resize(rowBytes * p->height);
    job->pointRows(rowBytes, p->height);
    png_read_image(job->png, job->rows.data());
    png_read_end(job->png, nullptr);
    return true;
}

} // namespace

bool writePng(const fs::path& path, const Png& png)
{
    PngJob job;
    const size_t perRow = size_t(png.rgb ? 3 : 1) * png.width;
    if (png.samples.size() != perRow * png.height)
        return false;
    for (uint16_t s : png.samples) {
        if (png.bitDepth == 16)
            job.bytes.push_back(uint8_t(s >> 8));
        job.bytes.push_back(uint8_t(s));
    }
    job.pointRows(perRow * (png.bitDepth == 16 ? 2 : 1), png.height);
    if (!(job.file = std::fopen(path.c_str(), "wb")))
        return false;
    job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    job.info = job.png ? png_create_info_struct(job.png) : nullptr;
    const bool written = job.info && runWrite(&job, &png);
    png_destroy_write_struct(&job.png, &job.info);
    return std::fclose(job.file) == 0 && written;
}

std::optional<Png> readPng(const fs::path& path)
{
    PngJob job;
    if (!(job.file = std::fopen(path.c_str(), "rb")))
        return std::nullopt;
    job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    job.info = job.png ? png_create_info_struct(job.png) : nullptr;
    Png png;
    const bool read = job.info && runRead(&job, &png);
    png_destroy_read_struct(&job.png, &job.info, nullptr);
    std::fclose(job.file);
    if (!read)
        return std::nullopt;
    for (size_t i = 0; i < job.bytes.size(); i += png.bitDepth / 8)
        png.samples.push_back(png.bitDepth == 16 ? uint16_t(job.bytes[i] << 8 | job.bytes[i + 1])
                                                 : job.bytes[i]);
    return png;
}

} // namespace vyr::test
