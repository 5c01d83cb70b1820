#pragma once

namespace fnw::base {

// Replaces both installed iperf wrappers in the support folder ("native-iperf",
// "native-iPerf-2") with the resources' copies, modes included, and logs each copy's outcome.
// Start-up runs it on a thread of its own; tools and benchmarks call it directly.
void copyiPerfExecutableToAppSupportDir();

} // namespace fnw::base
