// Frames from a GenICam stack: Aravis's fake camera, in this process through its "Fake" interface.
// Every pixel format it offers is grabbed at an odd size, converted by its name through VyrFrame and
// compared with the VyrUtility exports called line by line on the same bytes, with this file's own
// reading of the names.
#include <arv.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "VyrFrame.h"
#include "VyrUtility.h"

namespace {

struct Grab {
    std::vector<uint8_t> bytes;
    uint32_t width = 0, height = 0, code = 0;
};

Grab grab(ArvCamera* camera, const std::string& format, int width, int height)
{
    GError* error = nullptr;
    arv_camera_set_pixel_format_from_string(camera, format.c_str(), &error);
    EXPECT_EQ(nullptr, error) << format;
    arv_camera_set_region(camera, 0, 0, width, height, &error);
    EXPECT_EQ(nullptr, error) << format;
    ArvBuffer* buffer = arv_camera_acquisition(camera, 2000000, &error);
    Grab g;
    if (!buffer || error) {
        ADD_FAILURE() << "no frame in " << format << (error ? std::string(": ") + error->message : "");
        return g;
    }
    EXPECT_EQ(ARV_BUFFER_STATUS_SUCCESS, arv_buffer_get_status(buffer));
    size_t size = 0;
    const uint8_t* data = static_cast<const uint8_t*>(arv_buffer_get_image_data(buffer, &size));
    g.bytes.assign(data, data + size);
    g.width = uint32_t(arv_buffer_get_image_width(buffer));
    g.height = uint32_t(arv_buffer_get_image_height(buffer));
    g.code = arv_buffer_get_image_pixel_format(buffer);
    g_object_unref(buffer);
    return g;
}

// The phase of a Bayer name's top-left cell: its first two letters, in VyrUtility's numbering.
uint32_t phaseOfName(const std::string& name)
{
    const std::string first = name.substr(5, 2);
    return first == "GB" ? 0 : first == "BG" ? 1 : first == "RG" ? 2 : 3;
}

// RGB8888 of the grabbed bytes, line by line through the exports (Bayer by the 2x2 method, the last
// line with the line above, the last column from the cell on its left).
std::vector<uint8_t> reference(const std::string& name, const Grab& g, uint32_t fill)
{
    const uint32_t w = g.width, h = g.height;
    std::vector<uint8_t> out(4 * size_t(w) * h, uint8_t(fill));
    const size_t sample = name == "Mono16" ? 2 : name == "RGB8" ? 3 : 1;
    for (uint32_t y = 0; y < h; ++y) {
        const uint8_t* line = g.bytes.data() + sample * w * y;
        uint8_t* dst = out.data() + 4 * size_t(w) * y;
        if (name == "Mono8")
            VyrUtilConvertMONO8toRGB8888(line, dst, w, 0);
        else if (name == "Mono16")
            VyrUtilConvertMONO16toRGB8888(line, dst, w, 0);
        else if (name == "RGB8")
            VyrUtilConvertRGBR888toRGB8888(line, dst, w, 0);
        else if (name.rfind("Bayer", 0) == 0 && name.size() == 8 && name[7] == '8') {
            const uint8_t* next = g.bytes.data() + size_t(w) * (y + 1 < h ? y + 1 : y - 1);
            VyrUtilConvertBayer8_2x2toRGB8888(line, next, dst, w, phaseOfName(name) ^ (y % 2 ? 2u : 0u), 0,
                                              1);
        } else
            return {};
    }
    return out;
}

TEST(FakeCamera, EveryOfferedFormatConvertsByNameAsTheExportsDo)
{
    arv_enable_interface("Fake");
    GError* error = nullptr;
    std::unique_ptr<ArvCamera, void (*)(gpointer)> camera(arv_camera_new("Fake_1", &error), g_object_unref);
    ASSERT_EQ(nullptr, error) << error->message;
    guint n = 0;
    const char** names = arv_camera_dup_available_pixel_formats_as_strings(camera.get(), &n, &error);
    ASSERT_EQ(nullptr, error);
    const std::vector<std::string> formats(names, names + n);
    g_free(names);
    ASSERT_GE(formats.size(), 7u);
    for (const std::string& name : formats) {
        SCOPED_TRACE(name);
        const Grab g = grab(camera.get(), name, 33, 21);
        ASSERT_EQ(33u, g.width);
        ASSERT_EQ(21u, g.height);
        const VyrFrameCameraFormat* format = VyrFrameGetCameraFormat(g.code);
        ASSERT_NE(nullptr, format);
        EXPECT_EQ(name, format->name);
        ASSERT_EQ(VyrFrameLineBytes(format->format, g.width) * g.height, g.bytes.size());
        const std::vector<uint8_t> want = reference(name, g, 0x5A);
        ASSERT_FALSE(want.empty()) << "this test knows no reference for " << name;
        for (uint32_t threads : {1u, 2u}) {
            std::vector<uint8_t> got(want.size(), 0x5A);
            const VyrFrameImage image = {
                VYR_FRAME_RGB8888, g.width, g.height, ptrdiff_t(4 * g.width), {got.data()}};
            VyrFrameOptions options = {};
            options.method = format->pattern ? VYR_FRAME_METHOD_2X2 : 0;
            options.threads = threads;
            const ptrdiff_t pitch = ptrdiff_t(VyrFrameLineBytes(format->format, g.width));
            ASSERT_EQ(VYR_FRAME_OK,
                      VyrFrameConvertCamera(format->name, g.bytes.data(), pitch, &image, &options))
                << VyrFrameLastMessage();
            EXPECT_EQ(want, got) << threads << " threads";
        }
    }
    camera.reset();
    arv_shutdown();
}

} // namespace
