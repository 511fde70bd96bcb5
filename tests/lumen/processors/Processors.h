#pragma once

// Every image processor of the library, for the tests that run or name them all.
#include "Lumen/foundation/ImageProcessor.h"
#include "Lumen/foundation/processors/BlurImageProcessor.h"
#include "Lumen/foundation/processors/BorderImageProcessor.h"
#include "Lumen/foundation/processors/ColorControlsProcessor.h"
#include "Lumen/foundation/processors/CompositingImageProcessor.h"
#include "Lumen/foundation/processors/CroppingImageProcessor.h"
#include "Lumen/foundation/processors/DownsamplingImageProcessor.h"
#include "Lumen/foundation/processors/GeneralProcessor.h"
#include "Lumen/foundation/processors/LivePhotoImageProcessor.h"
#include "Lumen/foundation/processors/OverlayImageProcessor.h"
#include "Lumen/foundation/processors/ResizingImageProcessor.h"
#include "Lumen/foundation/processors/RoundCornerImageProcessor.h"
#include "Lumen/foundation/processors/TintImageProcessor.h"
