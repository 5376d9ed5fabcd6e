/* An application of the installed SDK: converts a MONO8 frame with a line pitch to RGB8888, line by
 * line, and splits it back into its planes. Exit status 0 when every pixel is as the rules say. */
#include <VyrUtility.h>
#include <stdio.h>
#include <string.h>

/* 37 pixels a line: a vector path's head, middle and tail all take part. */
enum { kWidth = 37, kHeight = 5, kPitch = 48 };

int main(void)
{
    uint8_t frame[kHeight * kPitch];
    uint32_t display[kHeight * kWidth];
    uint8_t planes[3][kWidth];
    int errors = 0;

    for (int i = 0; i < kHeight * kPitch; ++i)
        frame[i] = (uint8_t)(i * 7 + 3);
    for (int y = 0; y < kHeight; ++y)
        VyrUtilConvertMONO8toRGB8888(frame + y * kPitch, display + y * kWidth, kWidth, 0);

    for (int y = 0; y < kHeight; ++y) {
        const uint8_t* line = frame + y * kPitch;
        for (int x = 0; x < kWidth; ++x) {
            if (display[y * kWidth + x] != line[x] * 0x01010101u) {
                fprintf(stderr, "consumer: pixel %d,%d is %#x for grey %#x\n", x, y,
                        (unsigned)display[y * kWidth + x], (unsigned)line[x]);
                ++errors;
            }
        }
        VyrUtilSplitRGB8888toMONO8(display + y * kWidth, planes[0], planes[1], planes[2], kWidth);
        for (int p = 0; p < 3; ++p) {
            if (memcmp(planes[p], line, kWidth) != 0) {
                fprintf(stderr, "consumer: plane %d of line %d differs from the frame\n", p, y);
                ++errors;
            }
        }
    }
    if (errors)
        return 1;
    printf("consumer (C): %dx%d MONO8 frame to RGB8888 and back\n", kWidth, kHeight);
    return 0;
}
