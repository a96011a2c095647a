// A tiny shared library that lives in its own bundle directory, so tests can ask which bundle
// holds code that is not the executable's.
extern "C" const void* coreProbeAddress();

extern "C" const void* coreProbeAddress() {
    return reinterpret_cast<const void*>(&coreProbeAddress);
}
