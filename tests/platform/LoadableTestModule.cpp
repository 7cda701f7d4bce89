// A loadable module for the bundle tests: two exported C functions to look up.
extern "C" {
__attribute__((visibility("default"))) int kwTestModuleAnswer() { return 42; }
__attribute__((visibility("default"))) int kwTestModuleTwice(int value) { return value * 2; }
}
