// Compiled against one layer's include paths with one header of another layer: whether that
// include compiles is the whole test. The header comes from the build so that the upward and the
// downward probes differ in nothing else.
#include LAYER_PROBE_HEADER

int LayerProbeCompiled() { return 1; }
