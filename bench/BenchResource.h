#pragma once

// The driver carries the 64 MiB payload as this BIN resource of its own image,
// as Setup carries its payloads (BenchResource.rc.in).
#define BENCH_PAYLOAD_ID 145
