// A component library built against an older layout of the class factory: its table
// carries version 0, which a host must refuse without calling into it.
#include "component/abi.h"

namespace {

const orvix_class_factory_vtbl old_table = {0, nullptr, nullptr, nullptr};
orvix_class_factory old_factory = {&old_table};

} // namespace

extern "C" ORVIX_COMPONENT_EXPORT int32_t DllGetClassObject(const char*,
                                                            orvix_class_factory** out) {
    *out = &old_factory;
    return ORVIX_S_OK;
}
