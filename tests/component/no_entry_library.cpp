// A shared library that is no component: it exports no entry point.
extern "C" __attribute__((visibility("default"))) int orvix_test_not_a_component() {
    return 42;
}
