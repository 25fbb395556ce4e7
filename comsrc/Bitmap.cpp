#include "Bitmap.h"

#include "DrawingContext.h"

namespace comsrc {

Bitmap::~Bitmap() {
    DestroyContext();
}

void Bitmap::DestroyContext() {
    delete context;
    context = nullptr;
}

} // namespace comsrc
