#pragma once
// Heap settings for a process that draws with a software GL driver.

namespace GCore {

// The driver allocates and frees tens of megabytes of vertex and binning
// memory every frame. glibc's default gives the top of the heap back to the
// system whenever a frame's buffers are freed and takes it again on the next
// frame, so every frame pays page faults and page clearing for memory it just
// returned (about 60 ms a frame at 50,000 sprites on llvmpipe). Keeping up to
// kKeptHeapTop of free heap, and serving blocks up to kLargestHeapBlock from
// the heap instead of fresh mappings, lets frames reuse that memory. The peak
// resident size does not grow: the memory kept is what a frame needs anyway.
void KeepFrameMemory();

}  // namespace GCore
