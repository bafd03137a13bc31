#pragma once
// Thread scheduling for the converter's stages.

namespace platform {

// Lowers the calling thread's scheduling priority a little, so that on a busy machine the
// threads it works beside (the decoder's, on the converter's critical path) run first.
void YieldToOtherThreads();

}  // namespace platform
