// Bayer mosaic formats and their demosaicing, with a report of its quality on the demo scene.
#pragma once

#include <cstdio>

#include "registry.h"

namespace vyr::tool {

struct Scene;

extern const Format kBayer8;
extern const Format kBayer15;

// Mosaics the scene in every pattern, demosaics it by both methods through every Bayer conversion
// and prints a table of the PSNR of each result against the scene.
void printDemosaicQuality(const Scene& scene, unsigned threadCount, std::FILE* out);

} // namespace vyr::tool
