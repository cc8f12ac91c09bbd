#pragma once
// The PPM compressor: a context-modelling compressor (PPMII with secondary
// escape estimation and binary-context estimation, variant G) driving a
// carry-less range coder, its model held in the unit heap of ABSPPMMemory.
//
// Stream: a little-endian 32-bit header (bits 0-3 maximum order - 1, bits
// 4-11 model memory in MB - 1, bits 12-15 the variant 6, the rest zero), then
// the coder's bytes. There is no length field: the end is coded as an escape
// out of the order-0 context, so the caller keeps the uncompressed size.
//
// Calls are serialised by one module lock (a call may take up to 100 MB of
// model memory).

#include <cstdint>
#include <vector>

// Levels outside 1 .. 9 act as the nearest one.
struct TPPMLevelParams {
  int MaxOrder;
  int MemoryMB;
};
TPPMLevelParams PPMLevelParams(int Level);

// Compresses InSize bytes; OutBuf becomes the stream and OutSize its length.
// Incompressible input grows the output as needed. Raises Exception
// "PPM Compression error" when nothing could be coded (no model memory).
void PPMCompressBuf(const void* InBuf, int32_t InSize, std::vector<uint8_t>& OutBuf, int32_t& OutSize, int Level);

// Decodes at most OutSize bytes (the exact size should be known); OutSize
// becomes the number decoded. Raises "PPM DecpmpressBuf: OutSize must be set"
// for OutSize <= 0 and "PPM Decompression error" for a foreign or corrupt
// stream, one that decodes to nothing, or one that would pass OutSize bytes.
void PPMDecompressBuf(const void* InBuf, int32_t InSize, std::vector<uint8_t>& OutBuf, int32_t& OutSize);

// How often the model ran out of memory and restarted during the last call.
int PPMLastModelRestarts();
