#pragma once
// Files that tests and benches make once and keep between runs are named by
// their definition: the text of every parameter that shapes their bytes is
// hashed into the name, so a changed definition makes a file of its own and
// is never checked against one made before the change.

#include <cstdint>
#include <cstdio>
#include <string>

// 64-bit FNV-1a: the same in every build and run, unlike std::hash.
inline uint64_t DefinitionHash(const std::string& Definition) {
  uint64_t h = 14695981039346656037ull;
  for (const unsigned char c : Definition) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

// "clip.mp4" of definition D is "clip-<16 hex digits of D's hash>.mp4".
inline std::string CachedFileName(const std::string& Name, const std::string& Definition) {
  char hash[17];
  std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(DefinitionHash(Definition)));
  const size_t dot = Name.rfind('.');
  if (dot == std::string::npos) return Name + "-" + hash;
  return Name.substr(0, dot) + "-" + hash + Name.substr(dot);
}
