// A tiny shared module for the module-loading tests.
extern "C" int ProbeAnswer() {
    return PROBE_ANSWER;
}
