#pragma once
#include "bench/CBenchRig.h"
#include "bench/CReport.h"

#include <string>

// Each adds its figures to the report. Times are medians over runs taken in
// the same driver run as their references, interleaved where they start
// programs; every measurement throws when a run goes wrong.

// In process: a trace call while the trace is off, and a line to its file.
// First, while the trace object is still untouched.
void MeasureTrace(const CBenchRig& rig, CReport& report);
// In process: Setup's extraction of a 64 MiB resource against CopyFileW.
void MeasureExtraction(const CBenchRig& rig, CReport& report);
// Start to end of Setup, of the minimal launcher and of the payload alone;
// from the payload's exit to the exit of whoever started it.
void MeasureOverhead(const CBenchRig& rig, CReport& report);
// CPU time while the payload runs 5 s.
void MeasureWaitingCost(const CBenchRig& rig, CReport& report);
// Peak private bytes with a 64 MiB payload and with a small one.
void MeasureMemory(const CBenchRig& rig, CReport& report);
// The size of the shipped Setup.exe built with empty payloads.
void MeasureFootprint(const std::wstring& setupWithoutPayloads, const std::wstring& peerWithoutPayload,
                      CReport& report);
