#include "adapter/BusFrame.h"

#include "interop/BusTiming.h"

unsigned frameBits(const BusFrame& f) {
    return canFrameBits(f.identifier, f.extended, f.remote, f.length, f.data);
}
