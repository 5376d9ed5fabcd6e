#include "OS/os.h"
#include "VyrUtility.h"
#include "core/cpu.h"

using vyr::core::machine;

extern "C" {

VYR_API uint32_t VYR_CALL VyrUtilGetCpuType(void) { return machine().cpuType(); }
VYR_API uint32_t VYR_CALL VyrUtilGetCpuFamily(void) { return machine().cpuFamily(); }
VYR_API uint32_t VYR_CALL VyrUtilGetCpuInfo(void) { return machine().cpuInfo(); }
VYR_API uint32_t VYR_CALL VyrUtilGetCpuBrandId(void) { return machine().brandId(); }
VYR_API uint32_t VYR_CALL VyrUtilGetCpuCLFlushSize(void) { return machine().clFlushSize(); }
VYR_API uint32_t VYR_CALL VyrUtilGetCpuApicId(void) { return machine().apicId(); }
VYR_API uint32_t VYR_CALL VyrUtilGetLogicalProcessorsPerProcessor(void)
{
    return machine().logicalProcessorsPerProcessor();
}
VYR_API uint32_t VYR_CALL VyrUtilGetProcessorCount(void) { return vyr::os::processorCount(); }
VYR_API VyrBool VYR_CALL VyrUtilGetCpuVendorId(uint8_t* buffer, uint32_t size)
{
    return machine().vendorId(buffer, size);
}
VYR_API VyrBool VYR_CALL VyrUtilGetCpuVendorString(char* buffer, uint32_t size)
{
    return machine().vendorString(buffer, size);
}
VYR_API VyrBool VYR_CALL VyrUtilIsGenuineIntel(void) { return machine().isGenuineIntel(); }
VYR_API VyrBool VYR_CALL VyrUtilIsAuthenticAMD(void) { return machine().isAuthenticAMD(); }
VYR_API VyrBool VYR_CALL VyrUtilIsMMX(void) { return machine().isMMX(); }
VYR_API VyrBool VYR_CALL VyrUtilIsSSE(void) { return machine().isSSE(); }
VYR_API VyrBool VYR_CALL VyrUtilIsSSE2(void) { return machine().isSSE2(); }
VYR_API VyrBool VYR_CALL VyrUtilIsOsSupportSSE(void) { return machine().isOsSupportSSE(); }
VYR_API VyrBool VYR_CALL VyrUtilIsOsSupportSSE2(void) { return machine().isOsSupportSSE2(); }
VYR_API VyrBool VYR_CALL VyrUtilIsPentium4OrLater(void) { return machine().isPentium4OrLater(); }
VYR_API VyrBool VYR_CALL VyrUtilIsHTSupported(void) { return machine().isHTSupported(); }
VYR_API VyrBool VYR_CALL VyrUtilIs3DNow(void) { return machine().is3DNow(); }
VYR_API VyrBool VYR_CALL VyrUtilIsE3DNow(void) { return machine().isE3DNow(); }

} // extern "C"
