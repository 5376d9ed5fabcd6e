/* The public header compiles as plain C99 (built with -std=c99 -pedantic). */
#include "VyrUtility.h"

int vyrHeaderIsC99(void);

int vyrHeaderIsC99(void)
{
    uint8_t grey[2] = {1, 2};
    uint8_t rgb[6];
    char vendor[13];
    VyrBool ok = VyrUtilGetCpuVendorString(vendor, sizeof vendor);
    return (int)VyrUtilConvertMONO8toRGB888(grey, rgb, 2, 0) + (ok ? 0 : 1);
}
