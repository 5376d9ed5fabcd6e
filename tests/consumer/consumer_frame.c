/* An application of the installed SDK's frame library: demosaics a Bayer frame with a line pitch on two
 * threads, and is refused a destination whose pitch is shorter than its lines. Exit status 0 when every
 * pixel is as the rules say (a uniform field stays uniform) and the refusal names its reason. */
#include <VyrFrame.h>
#include <stdio.h>
#include <string.h>

enum { kWidth = 33, kHeight = 9, kPitch = 40, kGrey = 77 };

int main(void)
{
    static uint8_t mosaic[kHeight * kPitch];
    static uint32_t rgb[kHeight * kWidth];
    int errors = 0;

    memset(mosaic, kGrey, sizeof mosaic);
    VyrFrameImage src = {VYR_FRAME_BAYER8, kWidth, kHeight, kPitch, {mosaic}};
    VyrFrameImage dst = {VYR_FRAME_RGB8888, kWidth, kHeight, kWidth * 4, {rgb}};
    VyrFrameOptions options = {0, VYR_FRAME_PATTERN_RGGB, VYR_FRAME_METHOD_MALVAR, 0, 2};
    if (VyrFrameConvert(&src, &dst, &options) != VYR_FRAME_OK) {
        fprintf(stderr, "consumer_frame: %s\n", VyrFrameLastMessage());
        return 1;
    }
    for (int i = 0; i < kHeight * kWidth; ++i) {
        if ((rgb[i] & 0xFFFFFFu) != kGrey * 0x010101u) {
            fprintf(stderr, "consumer_frame: pixel %d is %#x\n", i, (unsigned)rgb[i]);
            ++errors;
        }
    }
    dst.pitch = kWidth * 4 - 1;
    if (VyrFrameConvert(&src, &dst, &options) != VYR_FRAME_ERROR_PITCH ||
        !strstr(VyrFrameLastMessage(), "pitch")) {
        fprintf(stderr, "consumer_frame: a short pitch gave \"%s\"\n", VyrFrameLastMessage());
        ++errors;
    }
    return errors != 0;
}
