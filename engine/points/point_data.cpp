#include "engine/engine.h"

void PointData::clear() {
    survey.clear();
    survey.shrink_to_fit();
    work.clear();
    work.shrink_to_fit();
    count = 0;
    extent = PointExtent{};
}
