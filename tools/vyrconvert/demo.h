// Renders the test scene, runs every registered conversion on it, writes PNGs of the results into
// vyrconvert-demo/ and prints the throughput of each conversion.
#pragma once

namespace vyr::tool {

int runDemo(unsigned threadCount);

} // namespace vyr::tool
