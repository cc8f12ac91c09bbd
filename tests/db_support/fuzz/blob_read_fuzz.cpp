// The compressed BLOB stream over an arbitrary descriptor and underlying
// stream: opening, reading everywhere, appending and cutting must end in
// data or an engine error, never out of bounds.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "db/support/DAZCompressedBLOB.h"
#include "db/support/DAZExcept.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < TABSBLOBDescriptor::StoredSize + 1) return 0;
  TABSBLOBDescriptor d = TABSBLOBDescriptor::DecodeFrom(data);
  const uint8_t flags = data[TABSBLOBDescriptor::StoredSize];
  data += TABSBLOBDescriptor::StoredSize + 1;
  size -= TABSBLOBDescriptor::StoredSize + 1;
  // Keep the harness inside a few megabytes: block sizes up to 4 MB, and no PPM
  // (a PPM block may ask for a 256 MB model; its decoder has a target of its own).
  // Algorithm 3 stands for an unknown one.
  d.BlockSize = d.BlockSize > 0 ? 1 + d.BlockSize % (4 << 20) : d.BlockSize;
  d.StartPosition = d.StartPosition < 0 ? d.StartPosition : d.StartPosition % static_cast<int64_t>(size + 1);
  d.CompressionAlgorithm = static_cast<TABSCompressionAlgorithm>(d.CompressionAlgorithm % 4 == 3 ? 7 : d.CompressionAlgorithm % 4);

  TABSMemoryStream under;
  under.Write(data, static_cast<int64_t>(size));
  try {
    TABSCompressedBLOBStream blob(under, d, false, (flags & 1) != 0);
    std::vector<uint8_t> buf(4096);
    const int64_t total = blob.Size();
    const int64_t step = std::max<int64_t>(3000, total / 32);
    for (int64_t pos = 0; pos < total; pos += step) {
      blob.Seek(pos, soBeginning);
      const int64_t got = blob.Read(buf.data(), static_cast<int64_t>(buf.size()));
      if (got < 0 || got > static_cast<int64_t>(buf.size())) __builtin_trap();
    }
    if (flags & 2) {
      blob.Seek(0, soEnd);
      blob.Write("appended", 8);
    }
    if (flags & 4) blob.SetSize(blob.Size() / 2);
  } catch (const Exception&) {
  }
  return 0;
}
