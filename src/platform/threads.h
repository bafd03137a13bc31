#pragma once
// Thread scheduling for the converter's stages.

namespace platform {

// Lowers the calling thread's scheduling priority a little, so that on a busy machine the
// threads it works beside (the decoder's, on the converter's critical path) run first.
void YieldToOtherThreads();

// Processor time and thread switches so far: the calling thread's, or the whole process's
// (threads that ended included). "waits" counts the times it gave up the core to wait,
// "preempted" the times the system took the core away; Windows counts neither (0).
struct ThreadUsage {
    double cpuSeconds = 0;
    long waits = 0;
    long preempted = 0;
};
ThreadUsage ThisThreadUsage();
ThreadUsage ProcessUsage();

}  // namespace platform
