#include "png_files.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>

namespace vyr::test {
namespace {

// State reached through a pointer, so a longjmp from libpng leaves none of it stale.
struct PngWriteJob {
    std::FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<png_bytep> rows;
};

bool runWrite(PngWriteJob* job, const PngPicture* picture)
{
    if (setjmp(png_jmpbuf(job->png)))
        return false;
    png_init_io(job->png, job->file);
    png_set_IHDR(job->png, job->info, picture->width, picture->height, picture->bitDepth, picture->colourType,
                 picture->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(job->png, job->info);
    if (picture->bitDepth < 8)
        png_set_packing(job->png);
    png_write_image(job->png, job->rows.data());
    png_write_end(job->png, nullptr);
    return true;
}

} // namespace

bool writePng(const std::filesystem::path& path, const PngPicture& picture)
{
    const int channels = picture.colourType == PNG_COLOR_TYPE_RGB ? 3 : 1;
    if (picture.samples.size() != size_t(channels) * picture.width * picture.height)
        return false;
    std::vector<uint8_t> samples = picture.samples;
    PngWriteJob job;
    for (uint32_t y = 0; y < picture.height; ++y)
        job.rows.push_back(samples.data() + size_t(channels) * picture.width * y);
    job.file = std::fopen(path.c_str(), "wb");
    if (!job.file)
        return false;
    job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    job.info = job.png ? png_create_info_struct(job.png) : nullptr;
    const bool written = job.info && runWrite(&job, &picture);
    png_destroy_write_struct(&job.png, &job.info);
    return std::fclose(job.file) == 0 && written;
}

std::optional<RgbPicture> readPngAsRgb(const std::filesystem::path& path)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return std::nullopt;
    RgbPicture picture;
    picture.width = image.width;
    picture.height = image.height;
    picture.storedAs8BitRgb = image.format == PNG_FORMAT_RGB;
    image.format = PNG_FORMAT_RGB;
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    return picture;
}

} // namespace vyr::test
