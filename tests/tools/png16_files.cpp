#include "png16_files.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>

namespace vyr::test {
namespace {

// libpng's state lives behind pointers, so a longjmp out of it leaves no local stale.
struct PngJob {
    std::FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<uint8_t> bytes; // big-endian samples, rows packed
    std::vector<png_bytep> rows;
};

void pointRows(PngJob* job, size_t rowBytes, uint32_t height)
{
    job->rows.clear();
    for (uint32_t y = 0; y < height; ++y)
        job->rows.push_back(job->bytes.data() + rowBytes * y);
}

bool runWrite(PngJob* job, const DeepPicture* picture)
{
    if (setjmp(png_jmpbuf(job->png)))
        return false;
    png_init_io(job->png, job->file);
    png_set_IHDR(job->png, job->info, picture->width, picture->height, 16,
                 picture->rgb ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(job->png, job->info);
    png_write_image(job->png, job->rows.data());
    png_write_end(job->png, nullptr);
    return true;
}

bool runRead(PngJob* job, DeepPicture* picture)
{
    if (setjmp(png_jmpbuf(job->png)))
        return false;
    png_init_io(job->png, job->file);
    png_read_info(job->png, job->info);
    const int type = png_get_color_type(job->png, job->info);
    if (png_get_bit_depth(job->png, job->info) != 16 || (type != PNG_COLOR_TYPE_GRAY && type != PNG_COLOR_TYPE_RGB))
        return false;
    picture->width = png_get_image_width(job->png, job->info);
    picture->height = png_get_image_height(job->png, job->info);
    picture->rgb = type == PNG_COLOR_TYPE_RGB;
    png_color_8p bits = nullptr;
    if (png_get_sBIT(job->png, job->info, &bits) && bits)
        picture->significantBits = picture->rgb ? bits->red : bits->gray;
    const size_t rowBytes = png_get_rowbytes(job->png, job->info);
    job->bytes.resize(rowBytes * picture->height);
    pointRows(job, rowBytes, picture->height);
    png_read_image(job->png, job->rows.data());
    png_read_end(job->png, nullptr);
    return true;
}

} // namespace

bool writePng16(const std::filesystem::path& path, const DeepPicture& picture)
{
    const size_t perRow = size_t(picture.rgb ? 3 : 1) * picture.width;
    if (picture.samples.size() != perRow * picture.height)
        return false;
    PngJob job;
    for (uint16_t s : picture.samples) {
        job.bytes.push_back(uint8_t(s >> 8));
        job.bytes.push_back(uint8_t(s));
    }
    pointRows(&job, 2 * perRow, picture.height);
    job.file = std::fopen(path.c_str(), "wb");
    if (!job.file)
        return false;
    job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    job.info = job.png ? png_create_info_struct(job.png) : nullptr;
    const bool written = job.info && runWrite(&job, &picture);
    png_destroy_write_struct(&job.png, &job.info);
    return std::fclose(job.file) == 0 && written;
}

std::optional<DeepPicture> readPng16(const std::filesystem::path& path)
{
    PngJob job;
    job.file = std::fopen(path.c_str(), "rb");
    if (!job.file)
        return std::nullopt;
    job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    job.info = job.png ? png_create_info_struct(job.png) : nullptr;
    DeepPicture picture;
    const bool read = job.info && runRead(&job, &picture);
    png_destroy_read_struct(&job.png, &job.info, nullptr);
    std::fclose(job.file);
    if (!read)
        return std::nullopt;
    for (size_t i = 0; i + 1 < job.bytes.size(); i += 2)
        picture.samples.push_back(uint16_t(job.bytes[i] << 8 | job.bytes[i + 1]));
    return picture;
}

} // namespace vyr::test
