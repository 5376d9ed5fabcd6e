#include "png_io.h"

#include <png.h>
#include <sys/stat.h>

#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <new>

#include "error.h"
#include "frame.h"
#include "output_file.h"

namespace vyr::tool {
namespace {

// libpng reports errors by longjmp: the setjmp in each step below keeps its state in the object,
// not in locals that a longjmp could leave stale.
struct PngErrorText {
    char text[256] = "unknown libpng error";
};

void onPngError(png_structp png, png_const_charp message)
{
    auto* error = static_cast<PngErrorText*>(png_get_error_ptr(png));
    std::snprintf(error->text, sizeof error->text, "%s", message);
    png_longjmp(png, 1);
}

// Warnings would add lines to stderr, where the tool promises at most one.
void onPngWarning(png_structp, png_const_charp) {}

PngChannels channelsOf(int colourType)
{
    switch (colourType) {
    case PNG_COLOR_TYPE_GRAY: return PngChannels::Grey;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return PngChannels::GreyAlpha;
    case PNG_COLOR_TYPE_RGB: return PngChannels::Rgb;
    case PNG_COLOR_TYPE_RGB_ALPHA: return PngChannels::Rgba;
    default: return PngChannels::None;
    }
}

class PngReader {
public:
    explicit PngReader(std::FILE* file) : file_(file)
    {
        png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error_, onPngError, onPngWarning);
        if (png_)
            info_ = png_create_info_struct(png_);
    }
    ~PngReader() { png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr); }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    bool created() const { return png_ && info_; }
    const char* errorText() const { return error_.text; }

    bool readHeader(PngImage& image)
    {
        if (setjmp(png_jmpbuf(png_)))
            return false;
        png_init_io(png_, file_);
        png_set_sig_bytes(png_, 8);
        png_read_info(png_, info_);
        const uint64_t encodedRow = (uint64_t(png_get_image_width(png_, info_)) *
                                         png_get_channels(png_, info_) * png_get_bit_depth(png_, info_) +
                                     7) /
                                    8;
        image.encodedBytes = encodedRow * png_get_image_height(png_, info_);
        const int colourType = png_get_color_type(png_, info_);
        if (colourType == PNG_COLOR_TYPE_PALETTE)
            png_set_palette_to_rgb(png_);
        if (colourType == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(png_, info_) < 8)
            png_set_expand_gray_1_2_4_to_8(png_);
        png_set_interlace_handling(png_);
        png_read_update_info(png_, info_);
        image.width = png_get_image_width(png_, info_);
        image.height = png_get_image_height(png_, info_);
        image.layout = {channelsOf(png_get_color_type(png_, info_)), png_get_bit_depth(png_, info_)};
        image.bytesPerRow = png_get_rowbytes(png_, info_);
        return true;
    }

    bool readRows(png_bytepp rows)
    {
        if (setjmp(png_jmpbuf(png_)))
            return false;
        png_read_image(png_, rows);
        png_read_end(png_, nullptr);
        return true;
    }

private:
    std::FILE* file_;
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
    PngErrorText error_;
};

class PngWriter {
public:
    explicit PngWriter(std::FILE* file) : file_(file)
    {
        png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error_, onPngError, onPngWarning);
        if (png_)
            info_ = png_create_info_struct(png_);
    }
    ~PngWriter() { png_destroy_write_struct(&png_, info_ ? &info_ : nullptr); }
    PngWriter(const PngWriter&) = delete;
    PngWriter& operator=(const PngWriter&) = delete;

    bool created() const { return png_ && info_; }
    const char* errorText() const { return error_.text; }

    // significantBits 0: no sBIT chunk.
    bool writeHeader(uint32_t width, uint32_t height, int bitDepth, int colourType, unsigned significantBits)
    {
        if (setjmp(png_jmpbuf(png_)))
            return false;
        png_init_io(png_, file_);
        png_set_IHDR(png_, info_, width, height, bitDepth, colourType, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        if (significantBits) {
            png_color_8 bits{};
            bits.red = bits.green = bits.blue = bits.gray = png_byte(significantBits);
            png_set_sBIT(png_, info_, &bits);
        }
        // Faster than the default level at little cost in size for these images.
        png_set_compression_level(png_, 3);
        png_write_info(png_, info_);
        return true;
    }

    bool writeRow(const uint8_t* rgb)
    {
        if (setjmp(png_jmpbuf(png_)))
            return false;
        png_write_row(png_, rgb);
        return true;
    }

    bool finish()
    {
        if (setjmp(png_jmpbuf(png_)))
            return false;
        png_write_end(png_, nullptr);
        return true;
    }

private:
    std::FILE* file_;
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
    PngErrorText error_;
};

class InputStream {
public:
    explicit InputStream(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {}
    ~InputStream()
    {
        if (file_)
            std::fclose(file_);
    }
    InputStream(const InputStream&) = delete;
    InputStream& operator=(const InputStream&) = delete;
    std::FILE* get() const { return file_; }

private:
    std::FILE* file_;
};

} // namespace

bool fileCanHold(const PngImage& header)
{
    // Deflate packs at most 258 bytes into 2 bits; the filter byte of each row only adds to it.
    constexpr uint64_t kMostInflation = 1032;
    return header.fileBytes == 0 || header.encodedBytes / kMostInflation <= header.fileBytes;
}

PngImage readPng(const std::string& path, const std::function<void(const PngImage& header)>& acceptHeader)
{
    InputStream input(path);
    if (!input.get())
        throw ToolError("cannot open input '" + path + "': " + systemErrorText(errno));
    png_byte signature[8] = {};
    const size_t signatureBytes = std::fread(signature, 1, sizeof signature, input.get());
    if (std::ferror(input.get()))
        throw ToolError("cannot read input '" + path + "': " + systemErrorText(errno));
    if (signatureBytes != sizeof signature || png_sig_cmp(signature, 0, sizeof signature) != 0)
        throw ToolError("cannot read PNG '" + path + "': not a PNG file");

    PngReader reader(input.get());
    if (!reader.created())
        throw ToolError("cannot read PNG '" + path + "': libpng could not start");
    PngImage image;
    struct stat status;
    if (fstat(fileno(input.get()), &status) == 0 && S_ISREG(status.st_mode))
        image.fileBytes = uint64_t(status.st_size);
    if (!reader.readHeader(image))
        throw ToolError("cannot read PNG '" + path + "': " + reader.errorText());
    acceptHeader(image);
    try {
        image.pixels.resize(image.bytesPerRow * image.height);
    } catch (const std::bad_alloc&) {
        throw ToolError("cannot read PNG '" + path + "': its " +
                        std::to_string(image.bytesPerRow * image.height) +
                        " bytes of pixels are more than memory allows");
    }
    std::vector<png_bytep> rows(image.height);
    for (uint32_t y = 0; y < image.height; ++y)
        rows[y] = image.pixels.data() + image.bytesPerRow * y;
    if (!reader.readRows(rows.data()))
        throw ToolError("cannot read PNG '" + path + "': " + reader.errorText());
    return image;
}

Frame frameFromPng(const PngImage& image, const Format& format)
{
    Frame frame = makeFrame(format, image.width, image.height);
    for (uint32_t y = 0; y < image.height; ++y)
        format.lineFromPng(image.pixels.data() + image.bytesPerRow * y, image.width, frame.line(y));
    return frame;
}

namespace {

// Rows of samplesPerPixel samples of bitDepth bits (8 or 16) a pixel.
void writePng(OutputFile& output, uint32_t width, uint32_t height, int bitDepth, int colourType,
              size_t samplesPerPixel, unsigned significantBits,
              const std::function<void(uint32_t y, uint8_t* row)>& renderRow)
{
    PngWriter writer(output.stream());
    if (!writer.created())
        output.fail("libpng could not start");
    if (!writer.writeHeader(width, height, bitDepth, colourType, significantBits))
        output.fail(writer.errorText());
    std::vector<uint8_t> row(samplesPerPixel * size_t(bitDepth / 8) * width);
    for (uint32_t y = 0; y < height; ++y) {
        renderRow(y, row.data());
        if (!writer.writeRow(row.data()))
            output.fail(writer.errorText());
    }
    if (!writer.finish())
        output.fail(writer.errorText());
}

} // namespace

void writeRgbPng(OutputFile& output, uint32_t width, uint32_t height,
                 const std::function<void(uint32_t y, uint8_t* rgb)>& renderRow)
{
    writePng(output, width, height, 8, PNG_COLOR_TYPE_RGB, 3, 0, renderRow);
}

void writeGreyPng(OutputFile& output, uint32_t width, uint32_t height,
                  const std::function<void(uint32_t y, uint8_t* grey)>& renderRow)
{
    writePng(output, width, height, 8, PNG_COLOR_TYPE_GRAY, 1, 0, renderRow);
}

void writeDeepPng(OutputFile& output, uint32_t width, uint32_t height, const PngLayout& layout,
                  unsigned significantBits, const std::function<void(uint32_t y, uint8_t* row)>& renderRow)
{
    const bool grey = layout.channels == PngChannels::Grey;
    writePng(output, width, height, 16, grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, grey ? 1 : 3,
             significantBits, renderRow);
}

} // namespace vyr::tool
