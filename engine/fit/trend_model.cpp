#include "engine/engine.h"

int unknowns_of(Tendency t) {
    switch (t) {
        case Tendency::Linear3x3: return 3;
        case Tendency::Linear4x4: return 4;
        case Tendency::Linear6x6: return 6;
        case Tendency::Quadratic10x10: return 10;
        case Tendency::Linear3x3NteFay: return 3;
    }
    return 3;
}
