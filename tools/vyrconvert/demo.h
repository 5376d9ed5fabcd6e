// Renders the test scene, runs every registered conversion on it, writes PNGs of the results into
// vyrconvert-demo/ and prints the throughput of each conversion and the PSNR of its round trip
// (after the unused bits some conversions run with and the Bayer demosaicing table). Destination
// formats with demo planes (the H, S and V of HSV, the L of LAB) also get a grey PNG per plane,
// <conversion>.<plane>.png, listed in the table as <conversion>:<plane>.
#pragma once

namespace vyr::tool {

int runDemo(unsigned threadCount);

} // namespace vyr::tool
